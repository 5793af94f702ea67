#include "color.h"
#include "win32_internal.h"

namespace tabulon {

uint32_t ResolveColor(Color c) {
  if (IsSystemColor(c)) return GetSysColor(GetSystemColorIndex(c));
  return c & 0x00FFFFFF;
}

}  // namespace tabulon
