// Text at the API boundary: the program's UTF-8 strings become UTF-16 for
// the wide API, so that any table's letters show on a Windows of any
// language.
#include <algorithm>
#include <cwchar>

#include "win32_internal.h"

namespace tabulon {

std::wstring Utf8ToWide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], n);
  return wide;
}

std::string WideToUtf8(const wchar_t* wide, size_t length) {
  if (length == 0) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, int(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(size_t(std::max(n, 0)), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide, int(length), &utf8[0], n, nullptr, nullptr);
  return utf8;
}

std::string WideToUtf8(const wchar_t* wide) { return WideToUtf8(wide, wcslen(wide)); }

}  // namespace tabulon
