#include "applet.h"
#include "win32_internal.h"

namespace tabulon {

// Task-modal with no owner: every window of the program is disabled while
// the box is up, whichever of them is active.
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  return MessageBoxW(nullptr, AnsiToWide(text).c_str(), AnsiToWide(caption).c_str(), flags);
}

}  // namespace tabulon
