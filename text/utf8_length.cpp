#include "utf8_length.h"

namespace tabulon {

size_t Utf8CharBytes(const std::string& s, size_t i) {
  const uint8_t b = uint8_t(s[i]);
  const size_t n = b < 0xC2 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 1;
  if (i + n > s.size()) return 1;
  for (size_t k = 1; k < n; ++k)
    if ((uint8_t(s[i + k]) & 0xC0) != 0x80) return 1;
  return n;
}

size_t Utf8Length(const std::string& utf8) {
  size_t chars = 0;
  for (size_t i = 0; i < utf8.size(); i += Utf8CharBytes(utf8, i)) ++chars;
  return chars;
}

size_t Utf8Offset(const std::string& utf8, size_t chars) {
  size_t i = 0;
  for (; i < utf8.size() && chars > 0; --chars) i += Utf8CharBytes(utf8, i);
  return i;
}

std::string Utf8Prefix(const std::string& utf8, size_t chars) { return utf8.substr(0, Utf8Offset(utf8, chars)); }

}  // namespace tabulon
