// The clipboard as Unicode text (CF_UNICODETEXT), so that Cyrillic reaches
// every other program whatever its code page.
#include <cstring>

#include "clipboard.h"
#include "win32_internal.h"

namespace tabulon {
namespace {

// Open for the scope; the clipboard is the whole session's, so it is held
// as briefly as possible.
class OpenedClipboard {
 public:
  OpenedClipboard() : open_(OpenClipboard(nullptr) != FALSE) {}
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

}  // namespace

bool SetClipboardText(const std::string& text) {
  const std::wstring wide = Utf8ToWide(text);
  const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return false;
  void* target = GlobalLock(memory);
  if (target == nullptr) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(target, wide.c_str(), bytes);
  GlobalUnlock(memory);
  OpenedClipboard clipboard;
  // Once SetClipboardData takes the memory, the system owns it.
  if (!clipboard.IsOpen() || !EmptyClipboard() || SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
    GlobalFree(memory);
    return false;
  }
  return true;
}

std::string GetClipboardText() {
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return std::string();
  OpenedClipboard clipboard;
  if (!clipboard.IsOpen()) return std::string();
  HANDLE memory = GetClipboardData(CF_UNICODETEXT);
  if (memory == nullptr) return std::string();
  const auto* wide = static_cast<const wchar_t*>(GlobalLock(memory));
  if (wide == nullptr) return std::string();
  // The text ends at its first zero, within the block whatever it holds.
  const size_t capacity = GlobalSize(memory) / sizeof(wchar_t);
  size_t length = 0;
  while (length < capacity && wide[length] != L'\0') ++length;
  std::string text = WideToUtf8(wide, length);
  GlobalUnlock(memory);
  return text;
}

}  // namespace tabulon
