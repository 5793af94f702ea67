#include "applet.h"
#include "win32_internal.h"

namespace tabulon {

// Task-modal with no owner: every window of the program is disabled while
// the box is up, whichever of them is active.
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  return MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), flags);
}

}  // namespace tabulon
