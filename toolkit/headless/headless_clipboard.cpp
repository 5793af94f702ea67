// The clipboard of the headless backend: a string in memory.
#include "clipboard.h"

namespace tabulon {
namespace {

std::string& Held() {
  static std::string text;
  return text;
}

}  // namespace

bool SetClipboardText(const std::string& text) {
  Held() = text;
  return true;
}

std::string GetClipboardText() { return Held(); }

}  // namespace tabulon
