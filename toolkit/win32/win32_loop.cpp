// The applet's main loop, the modal loop of forms and the processing of
// pending messages.
#include <vector>

#include "driver.h"
#include "form.h"
#include "win32_internal.h"

namespace tabulon {
namespace {

bool terminated = false;

void DispatchOne(MSG& msg) {
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

// Disables the other visible windows of the program while a modal form is
// up, and enables them again when it ends.
class OtherWindowsDisabled {
 public:
  explicit OtherWindowsDisabled(HWND modal) : modal_(modal) {
    EnumThreadWindows(GetCurrentThreadId(), &OtherWindowsDisabled::Visit, reinterpret_cast<LPARAM>(this));
    for (HWND w : disabled_) EnableWindow(w, FALSE);
  }
  ~OtherWindowsDisabled() {
    for (HWND w : disabled_) {
      if (IsWindow(w)) EnableWindow(w, TRUE);
    }
  }
  OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
  OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

 private:
  static BOOL CALLBACK Visit(HWND w, LPARAM self) {
    auto* me = reinterpret_cast<OtherWindowsDisabled*>(self);
    if (w != me->modal_ && IsWindowVisible(w) && IsWindowEnabled(w)) me->disabled_.push_back(w);
    return TRUE;
  }
  HWND modal_;
  std::vector<HWND> disabled_;
};

}  // namespace

void RunMainLoop(Form&) {
  terminated = false;
  MSG msg;
  while (!terminated) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
    DispatchOne(msg);
  }
  terminated = false;
}

void RunModalLoop(Form& form) {
  HWND self = AsHwnd(form.GetHandle());
  HWND previous = GetActiveWindow();
  {
    OtherWindowsDisabled others(self);
    EnableWindow(self, TRUE);
    form.Show();
    SetActiveWindow(self);
    MSG msg;
    while (form.GetModalResult() == kMrNone && !form.IsCloseAccepted()) {
      if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
        PostQuitMessage(int(msg.wParam));  // for the loop outside this one
        break;
      }
      DispatchOne(msg);
    }
  }
  // Back to where the user was before, now that it takes input again.
  if (previous != nullptr && previous != self && IsWindow(previous)) SetActiveWindow(previous);
}

void ProcessPendingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(int(msg.wParam));
      break;
    }
    DispatchOne(msg);
  }
}

void TerminateMainLoop() {
  terminated = true;
  // Wakes GetMessage so that the loop sees the flag.
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

}  // namespace tabulon
