// Form: a top-level window with caption, screen position, client size,
// font, border icons, a close request that can be refused, and modal
// showing that ends when a result is set.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "control.h"

namespace tabulon {

class MenuBar;

// Modal results (0 keeps a modal showing going).
constexpr int kMrNone = 0;
constexpr int kMrOk = 1;
constexpr int kMrCancel = 2;

class Form : public Control {
 public:
  explicit Form(const std::string& caption);
  ~Form() override;

  // The screen position of the whole window (SetPosition of Control).
  // The client area's size; the window grows by its frame and menu.
  void SetClientSize(int width, int height);
  // The smallest client area the form may get, from the user's dragging of
  // its frame or from SetClientSize (0 by 0, no limit, by default).
  void SetMinClientSize(Size size);
  Size GetMinClientSize() const { return min_client_; }
  // Minimise and maximise boxes of the title bar (both on by default).
  void SetBorderIcons(bool minimize_box, bool maximize_box);

  // Shows the form modally: every other form is disabled until a modal
  // result is set (SetModalResult, or an accepted close request, which
  // gives kMrCancel). The form stays visible afterwards; callers hide it.
  int ShowModal();
  void SetModalResult(int result);
  int GetModalResult() const { return modal_result_; }
  bool IsModal() const { return modal_; }

  // Asks the form to close, as the close box does (kWmClose).
  void Close();
  // can_close is true on entry; set it false to refuse. A refused close
  // leaves the form as it was; an accepted one hides it (and ends the
  // applet's message loop for the main form).
  std::function<void(Form& sender, bool& can_close)> OnCloseQuery;

  // The form's menu bar (set by NewMenuBar); nullptr when it has none.
  MenuBar* GetMenuBar() const { return menu_; }

  // Backends only.
  void AttachMenuBar(MenuBar* menu) { menu_ = menu; }
  void SetMainForm(bool on) { main_form_ = on; }
  bool IsMainForm() const { return main_form_; }
  bool IsCloseAccepted() const { return closed_; }
  void ResetClosed() { closed_ = false; }

 protected:
  bool HandleMessage(Message& message, intptr_t& result) override;

 private:
  int modal_result_ = kMrNone;
  bool modal_ = false;
  bool main_form_ = false;
  bool closed_ = false;
  MenuBar* menu_ = nullptr;
  Size min_client_;
  // The control inside the form that had the focus when the form was last
  // deactivated; it gets the focus back when the form is activated again.
  WindowHandle last_focus_ = nullptr;
};

std::unique_ptr<Form> NewForm(const std::string& caption);

}  // namespace tabulon
