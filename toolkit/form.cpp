#include "form.h"

#include <algorithm>

#include "driver.h"
#include "input.h"
#include "menu.h"

namespace tabulon {
namespace {

ControlParams FormParams() {
  ControlParams p;
  p.Kind = ControlKind::Form;
  p.Options = kOptMinimizeBox | kOptMaximizeBox;
  p.Bounds = NewRectOfSize(0, 0, 320, 240);
  return p;
}

}  // namespace

Form::Form(const std::string& caption) : Control(nullptr, FormParams()) { SetText(caption); }

Form::~Form() {
  if (menu_ != nullptr) GetPeer().SetMenu(nullptr);
}

void Form::SetClientSize(int width, int height) {
  Size w = GetPeer().WindowSizeForClient(
      Size{std::max(width, min_client_.Width), std::max(height, min_client_.Height)});
  SetSize(w.Width, w.Height);
}

void Form::SetMinClientSize(Size size) {
  min_client_ = size;
  const Size now = GetClientSize();
  if (now.Width < size.Width || now.Height < size.Height) SetClientSize(now.Width, now.Height);
}

void Form::SetBorderIcons(bool minimize_box, bool maximize_box) {
  GetPeer().SetOptions((minimize_box ? kOptMinimizeBox : 0) | (maximize_box ? kOptMaximizeBox : 0));
}

int Form::ShowModal() {
  if (modal_) return kMrNone;  // already up: a second loop would never end cleanly
  modal_result_ = kMrNone;
  closed_ = false;
  modal_ = true;
  RunModalLoop(*this);
  modal_ = false;
  return modal_result_;
}

void Form::SetModalResult(int result) { modal_result_ = result; }

void Form::Close() { Perform(kWmClose); }

bool Form::HandleMessage(Message& m, intptr_t& result) {
  if (m.Id == kWmClose) {
    bool can_close = true;
    if (OnCloseQuery) OnCloseQuery(*this, can_close);
    if (can_close) {
      closed_ = true;
      if (modal_ && modal_result_ == kMrNone) modal_result_ = kMrCancel;
      Hide();
      if (main_form_) TerminateMainLoop();
    }
    result = 0;
    return true;  // the toolkit, not the platform, decides when a window dies
  }
  if (m.Id == kWmActivate) {
    // The platform would give the focus to the form itself: keys would no
    // longer reach the control the user worked in (after a modal window,
    // or when switching back from another program).
    if (LoWord(m.WParam) == kWaInactive) {
      Control* focused = FindControl(GetFocus());
      for (Control* c = focused; c != nullptr; c = c->GetParent())
        if (c->GetParent() == this) last_focus_ = focused->GetHandle();
      return false;
    }
    Control* saved = FindControl(last_focus_);
    if (saved == nullptr || !saved->IsVisible() || !saved->IsEnabled()) return false;
    saved->SetFocus();
    result = 0;
    return true;
  }
  if (m.Id == kWmCommand && m.LParam == 0 && HiWord(m.WParam) == 0 && menu_ != nullptr) {
    menu_->Choose(int(LoWord(m.WParam)) - MenuBar::kMenuCommandBase);
    result = 0;
    return true;
  }
  return false;
}

std::unique_ptr<Form> NewForm(const std::string& caption) { return std::make_unique<Form>(caption); }

}  // namespace tabulon
