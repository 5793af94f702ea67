// The memo editor's window, its two buttons and its close box.
#include "memo_editor_window.h"

#include "text.h"
#include "texts.h"

namespace tabulon {

MemoEditorWindow::MemoEditorWindow() {
  Window = NewForm(texts::kMemoEditorCaption);
  Window->Hide();
  Window->SetPosition(303, 219);
  Window->SetClientSize(468, 413);

  ButtonPanel = NewPanel(Window.get(), PanelOptions{Align::Bottom, 36, true});
  SaveButton = NewButton(ButtonPanel.get(), (texts::kSaveButton));
  SaveButton->SetBounds(13, 5, 96, 22);
  ExitButton = NewButton(ButtonPanel.get(), (texts::kExitButton));
  ExitButton->SetPosition(359, 5);
  SaveNote = NewLabel(ButtonPanel.get(), "");
  SaveNote->SetBounds(120, 9, 230, 16);

  MemoOptions options;
  options.VScrollBar = true;
  options.HScrollBar = true;
  options.AutoVScroll = true;
  options.AutoHScroll = true;  // lines are not wrapped
  Memo1 = NewMemo(Window.get(), options);
  Memo1->SetAlign(Align::Client);
  Memo1->SetColor(kClWindow);
  Memo1->SetText(texts::kMemoEditorInitialText);
  Memo1->SetMaxLength(kMemoEditorMaxLength);

  SaveButton->OnClick = [this](Button&) {
    const std::string text = Memo1->GetText();
    SaveNote->SetText("");
    if (OnSave && !OnSave(text)) return;
    SavedText = text;
    MemoEditResult = kMemoSaved;
    SaveNote->SetText(texts::kMemoStored);
  };
  ExitButton->OnClick = [this](Button&) { Window->SetModalResult(MemoEditResult); };
  // The close box ends the showing as "Выйти" does; the window lives on.
  Window->OnCloseQuery = [this](Form& form, bool& can_close) {
    can_close = false;
    form.SetModalResult(MemoEditResult);
  };
}

int MemoEditorWindow::ShowModal() {
  MemoEditResult = kMemoNotSaved;
  SaveNote->SetText("");
  return Window->ShowModal();
}

}  // namespace tabulon
