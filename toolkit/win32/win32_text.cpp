// Text at the API boundary: the program's Windows-1251 strings become
// UTF-16 for the wide API through the toolkit's own 1251 table, so that
// Cyrillic shows the same on a Windows of any language.
#include <vector>

#include "text.h"
#include "win32_internal.h"

namespace tabulon {
namespace {

// UTF-16 code unit to its Windows-1251 byte; '?' where 1251 has none.
const std::vector<uint8_t>& WideToAnsiTable() {
  static const std::vector<uint8_t> table = [] {
    std::vector<uint8_t> t(0x10000, uint8_t('?'));
    for (int b = 0; b < 256; ++b) t[AnsiToCodePoint(uint8_t(b))] = uint8_t(b);
    return t;
  }();
  return table;
}

}  // namespace

std::wstring AnsiToWide(const std::string& ansi) {
  std::wstring wide;
  wide.reserve(ansi.size());
  for (char c : ansi) wide += wchar_t(AnsiToCodePoint(uint8_t(c)));
  return wide;
}

std::string WideToAnsi(const wchar_t* wide, size_t length) {
  const std::vector<uint8_t>& table = WideToAnsiTable();
  std::string ansi;
  ansi.reserve(length);
  for (size_t i = 0; i < length; ++i) ansi += char(table[uint16_t(wide[i])]);
  return ansi;
}

std::wstring Utf8ToWide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], n);
  return wide;
}

std::string WideToUtf8(const wchar_t* wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string utf8(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], n, nullptr, nullptr);
  utf8.resize(size_t(n - 1));
  return utf8;
}

}  // namespace tabulon
