#include "code_pages.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "code_page_tables.h"
#include "text.h"

namespace tabulon {

namespace {

const SingleByteCodePage* FindTable(int code_page) {
  for (size_t i = 0; i < kSingleByteCodePageCount; ++i)
    if (kSingleByteCodePages[i].Number == code_page) return &kSingleByteCodePages[i];
  return nullptr;
}

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The Windows-1251 byte of a code point; false when 1251 has none.
bool CodePointToAnsiByte(uint32_t code, uint8_t& byte) {
  if (code < 0x80) {
    byte = uint8_t(code);
    return true;
  }
  for (int b = 0x80; b <= 0xFF; ++b) {
    if (AnsiToCodePoint(uint8_t(b)) == code) {
      byte = uint8_t(b);
      return true;
    }
  }
  return false;
}

// One code point in a single-byte page (866 through its 1251 twins).
bool EncodeCodePoint(int code_page, const SingleByteCodePage* table, uint32_t code, uint8_t& byte) {
  if (code < 0x80) {
    byte = uint8_t(code);
    return true;
  }
  if (code_page == kDosRussianCodePage) {
    uint8_t ansi = 0;
    return CodePointToAnsiByte(code, ansi) && AnsiToOemChar(ansi, byte);
  }
  for (int i = 0; i < 128; ++i) {
    if (table->High[i] == code) {
      byte = uint8_t(0x80 + i);
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsKnownCodePage(int code_page) {
  return code_page == kUtf8CodePage || code_page == kDosRussianCodePage || FindTable(code_page) != nullptr;
}

std::vector<int> GetSingleByteCodePages() {
  std::vector<int> pages;
  for (size_t i = 0; i < kSingleByteCodePageCount; ++i) pages.push_back(kSingleByteCodePages[i].Number);
  std::sort(pages.begin(), pages.end());
  return pages;
}

bool IsDosCodePage(int code_page) {
  // 437 to 869 (874, Thai, is the Windows page too).
  return code_page >= 437 && code_page < 874;
}

int CodePageTwin(int code_page) {
  switch (code_page) {
    case 866: return 1251;
    case 1251: return 866;
    case 437:
    case 850:
    case 860:
    case 861:
    case 863:
    case 865: return 1252;
    case 1252: return 850;
    case 852: return 1250;
    case 1250: return 852;
    case 737: return 1253;
    case 1253: return 737;
    case 857: return 1254;
    case 1254: return 857;
    case 862: return 1255;
    case 1255: return 862;
    default: return 0;
  }
}

int CodePageOfName(const std::string& name) {
  std::string n;
  for (char c : name)
    if (!std::isspace(uint8_t(c))) n += char(std::toupper(uint8_t(c)));
  auto drop = [&n](const char* prefix) {
    const std::string p(prefix);
    if (n.compare(0, p.size(), p) != 0) return false;
    n.erase(0, p.size());
    return true;
  };
  if (n == "UTF-8" || n == "UTF8") return kUtf8CodePage;
  if (n == "KOI8-R" || n == "KOI8R") return 20866;
  // "ISO-8859-5", "ISO8859_5", "8859-5", "88595": ISO pages have Windows
  // numbers 28590 + n.
  drop("ISO");
  if (!n.empty() && (n[0] == '-' || n[0] == '_')) n.erase(0, 1);
  if (drop("8859")) {
    if (!n.empty() && (n[0] == '-' || n[0] == '_')) n.erase(0, 1);
    if (n.size() != 1 || !std::isdigit(uint8_t(n[0]))) return 0;
    const int page = 28590 + (n[0] - '0');
    return IsKnownCodePage(page) ? page : 0;
  }
  for (const char* prefix : {"ANSI", "OEM", "WINDOWS", "CP", "IBM", "DOS", "MS"})
    if (drop(prefix)) break;
  if (!n.empty() && (n[0] == '-' || n[0] == '_')) n.erase(0, 1);
  if (n.empty() || n.size() > 5 || n.find_first_not_of("0123456789") != std::string::npos) return 0;
  const int page = std::stoi(n);
  return IsKnownCodePage(page) ? page : 0;
}

bool NextCodePoint(const std::string& s, size_t& i, uint32_t& code) {
  const uint8_t b = uint8_t(s[i]);
  if (b < 0x80) {
    code = b;
    ++i;
    return true;
  }
  const int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
  uint32_t u = b & (0x3F >> extra);
  bool ok = extra > 0;
  for (int k = 1; ok && k <= extra; ++k) {
    if (i + size_t(k) >= s.size() || (uint8_t(s[i + size_t(k)]) & 0xC0) != 0x80) {
      ok = false;
      break;
    }
    u = (u << 6) | (uint8_t(s[i + size_t(k)]) & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are no characters.
  static const uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (!ok || u < kLeast[extra] || (u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF) {
    ++i;
    return false;
  }
  code = u;
  i += size_t(extra) + 1;
  return true;
}

void AppendCodePoint(std::string& out, uint32_t u) {
  if (u < 0x80) {
    out += char(u);
  } else if (u < 0x800) {
    out += char(0xC0 | (u >> 6));
    out += char(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += char(0xE0 | (u >> 12));
    out += char(0x80 | ((u >> 6) & 0x3F));
    out += char(0x80 | (u & 0x3F));
  } else {
    out += char(0xF0 | (u >> 18));
    out += char(0x80 | ((u >> 12) & 0x3F));
    out += char(0x80 | ((u >> 6) & 0x3F));
    out += char(0x80 | (u & 0x3F));
  }
}

std::string DecodeText(int code_page, const std::string& bytes) {
  // Plain ASCII, the most of most tables, is its own UTF-8.
  size_t i = 0;
  while (i < bytes.size() && uint8_t(bytes[i]) < 0x80) ++i;
  if (i == bytes.size()) return bytes;
  if (code_page == kDosRussianCodePage) return AnsiToUtf8(OemToAnsi(bytes));
  std::string out(bytes, 0, i);
  out.reserve(bytes.size() * 2);
  if (code_page == kUtf8CodePage) {
    while (i < bytes.size()) {
      const size_t start = i;
      uint32_t code = 0;
      if (NextCodePoint(bytes, i, code))
        out.append(bytes, start, i - start);
      else
        out += kReplacement;
    }
    return out;
  }
  const SingleByteCodePage* table = FindTable(code_page);
  if (!table) table = FindTable(kWindowsRussianCodePage);
  for (; i < bytes.size(); ++i) {
    const uint8_t b = uint8_t(bytes[i]);
    AppendCodePoint(out, b < 0x80 ? b : table->High[b - 0x80]);
  }
  return out;
}

size_t StoredCharacterLength(int code_page, const std::string& bytes, size_t at) {
  if (code_page != kUtf8CodePage) return 1;
  size_t i = at;
  uint32_t code = 0;
  NextCodePoint(bytes, i, code);
  return i - at;
}

bool EncodeText(int code_page, const std::string& utf8, std::string& bytes, std::string& missing) {
  bytes.clear();
  missing.clear();
  const SingleByteCodePage* table = FindTable(code_page);
  size_t i = 0;
  while (i < utf8.size()) {
    const size_t start = i;
    uint32_t code = 0;
    if (!NextCodePoint(utf8, i, code)) {
      missing = kReplacement;
      return false;
    }
    if (code_page == kUtf8CodePage) {
      bytes.append(utf8, start, i - start);
      continue;
    }
    uint8_t byte = 0;
    if ((!table && code_page != kDosRussianCodePage) || !EncodeCodePoint(code_page, table, code, byte)) {
      missing = utf8.substr(start, i - start);
      return false;
    }
    bytes += char(byte);
  }
  return true;
}

uint32_t LowerCodePoint(uint32_t u) {
  if (u < 0x80) return u >= 'A' && u <= 'Z' ? u + 32 : u;
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return u + 32;  // Latin-1
  if (u >= 0x100 && u <= 0x17F) {                            // Latin Extended-A
    if (u == 0x130) return 'i';
    if (u == 0x178) return 0xFF;
    const bool odd_capitals = (u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E);
    if (u == 0x131 || u == 0x138 || u == 0x149 || u == 0x17F) return u;
    return (u % 2 == 1) == odd_capitals ? u + 1 : u;
  }
  if (u >= 0x391 && u <= 0x3AB && u != 0x3A2) return u + 32;  // Greek
  if (u == 0x386) return 0x3AC;
  if (u >= 0x388 && u <= 0x38A) return u + 37;
  if (u == 0x38C) return 0x3CC;
  if (u == 0x38E || u == 0x38F) return u + 63;
  if (u >= 0x410 && u <= 0x42F) return u + 32;  // Cyrillic
  if (u >= 0x400 && u <= 0x40F) return u + 80;
  if (((u >= 0x460 && u <= 0x481) || (u >= 0x48A && u <= 0x4BF)) && u % 2 == 0) return u + 1;
  return u;
}

std::string LowerUtf8(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const size_t start = i;
    uint32_t code = 0;
    if (NextCodePoint(utf8, i, code))
      AppendCodePoint(out, LowerCodePoint(code));
    else
      out.append(utf8, start, i - start);
  }
  return out;
}

}  // namespace tabulon
