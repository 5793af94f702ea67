// The help and about windows.
#include "info_windows.h"

#include "text.h"
#include "texts.h"

namespace tabulon {

namespace {

std::unique_ptr<Memo> NewTextBox(Form& form, const MemoOptions& options, Color color,
                                 const std::string& utf8) {
  auto box = NewMemo(&form, options);
  box->SetAlign(Align::Client);
  box->SetText(utf8);
  box->SetColor(color);
  return box;
}

}  // namespace

InfoWindow::InfoWindow(const char* caption, int left, int top, int width, int height) {
  Window = NewForm(caption);
  Window->Hide();
  Window->SetBorderIcons(false, false);
  Window->SetPosition(left, top);
  Window->SetClientSize(width, height);
  Window->OnCloseQuery = [](Form& form, bool& can_close) {
    can_close = false;
    form.SetModalResult(kMrCancel);
  };
}

HelpWindow::HelpWindow() : InfoWindow(texts::kHelpCaption, 320, 189, 458, 374) {
  MemoOptions options;
  options.ReadOnly = true;
  options.VScrollBar = true;
  options.AutoVScroll = true;
  options.Border = BorderStyle::Single;
  HelpText = NewTextBox(*Window, options, kCl3DLight, texts::HelpText());
}

AboutWindow::AboutWindow() : InfoWindow(texts::kAboutCaption, 427, 274, 372, 139) {
  MemoOptions options;
  options.ReadOnly = true;
  options.AutoVScroll = false;
  options.Border = BorderStyle::None;
  AboutText = NewTextBox(*Window, options, kClBtnFace, texts::AboutText());
}

}  // namespace tabulon
