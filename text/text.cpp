#include "text.h"

#include <array>

#include "code_page_tables.h"

namespace tabulon {
namespace {

// Bytes 0x80..0xFF of code page 866 as OemToCharA gives them in code page
// 1251 (bytes below 0x80 stay). Letters map to letters; the box-drawing and
// shading characters, which 1251 lacks, take the look-alikes of the
// platform's best-fit table ('-', '+', '|'-like 0xA6, 'L', 'T', ...), the
// square root becomes 'v' and the bullet operator the bullet 0x95.
const uint8_t kOemToAnsiHigh[128] = {
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
    0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF,
    0x2D, 0x2D, 0x2D, 0xA6, 0x2B, 0xA6, 0xA6, 0xAC, 0xAC, 0xA6, 0xA6, 0xAC, 0x2D, 0x2D, 0x2D, 0xAC,
    0x4C, 0x2B, 0x54, 0x2B, 0x2D, 0x2B, 0xA6, 0xA6, 0x4C, 0xE3, 0xA6, 0x54, 0xA6, 0x3D, 0x2B, 0xA6,
    0xA6, 0x54, 0x54, 0x4C, 0x4C, 0x2D, 0xE3, 0x2B, 0x2B, 0x2D, 0x2D, 0x2D, 0x2D, 0xA6, 0xA6, 0x2D,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF,
    0xA8, 0xB8, 0xAA, 0xBA, 0xAF, 0xBF, 0xA1, 0xA2, 0xB0, 0x95, 0xB7, 0x76, 0xB9, 0xA4, 0xA6, 0xA0,
};

// Unicode code points of Windows-1251 bytes 0x80..0xFF, from the generated
// table of every single-byte page.
const uint16_t* AnsiHighToUnicode() {
  static const uint16_t* const high = [] {
    for (size_t i = 0; i < kSingleByteCodePageCount; ++i)
      if (kSingleByteCodePages[i].Number == 1251) return kSingleByteCodePages[i].High;
    return static_cast<const uint16_t*>(nullptr);
  }();
  return high;
}

}  // namespace

uint8_t OemToAnsiChar(uint8_t oem) { return oem < 0x80 ? oem : kOemToAnsiHigh[oem - 0x80]; }

std::string OemToAnsi(const std::string& oem) {
  std::string out(oem);
  for (char& c : out) c = char(OemToAnsiChar(uint8_t(c)));
  return out;
}

namespace {

// The 866 bytes whose 1251 form is the same character, not a look-alike:
// the letters, Ёё Єє Її Ўў, the degree sign, the middle dot, №, ¤ and the
// no-break space. Box drawing, ∙, √ and ■ have no twin.
bool HasAnsiTwin(uint8_t oem) {
  return oem < 0xB0 || (oem >= 0xE0 && oem <= 0xF8) || oem == 0xFA || oem == 0xFC || oem == 0xFD ||
         oem == 0xFF;
}

}  // namespace

bool AnsiToOemChar(uint8_t ansi, uint8_t& oem) {
  // 1251 bytes 0x80..0xFF to their 866 twins; 0 where there is none.
  static const std::array<uint8_t, 128> kTwins = [] {
    std::array<uint8_t, 128> twins{};
    for (int o = 0x80; o <= 0xFF; ++o)
      if (HasAnsiTwin(uint8_t(o))) twins[size_t(kOemToAnsiHigh[o - 0x80] - 0x80)] = uint8_t(o);
    return twins;
  }();
  if (ansi < 0x80) {
    oem = ansi;
    return true;
  }
  oem = kTwins[size_t(ansi - 0x80)];
  return oem != 0;
}

uint8_t LowerAnsiChar(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return uint8_t(c + 32);
  if (c >= 0xC0 && c <= 0xDF) return uint8_t(c + 32);  // А..Я
  switch (c) {
    case 0x80: return 0x90;  // Ђ
    case 0x81: return 0x83;  // Ѓ
    case 0x8A: return 0x9A;  // Љ
    case 0x8C: return 0x9C;  // Њ
    case 0x8D: return 0x9D;  // Ќ
    case 0x8E: return 0x9E;  // Ћ
    case 0x8F: return 0x9F;  // Џ
    case 0xA1: return 0xA2;  // Ў
    case 0xA3: return 0xBC;  // Ј
    case 0xA5: return 0xB4;  // Ґ
    case 0xA8: return 0xB8;  // Ё
    case 0xAA: return 0xBA;  // Є
    case 0xAF: return 0xBF;  // Ї
    case 0xB2: return 0xB3;  // І
    case 0xBD: return 0xBE;  // Ѕ
    default: return c;
  }
}

std::string LowerAnsi(const std::string& text) {
  std::string out(text);
  for (char& c : out) c = char(LowerAnsiChar(uint8_t(c)));
  return out;
}

bool AnsiToOem(const std::string& ansi, std::string& oem, uint8_t& missing) {
  oem.resize(ansi.size());
  for (size_t i = 0; i < ansi.size(); ++i) {
    uint8_t byte = 0;
    if (!AnsiToOemChar(uint8_t(ansi[i]), byte)) {
      missing = uint8_t(ansi[i]);
      return false;
    }
    oem[i] = char(byte);
  }
  return true;
}

uint8_t UpperAnsiChar(uint8_t c) {
  static const std::array<uint8_t, 256> kUpper = [] {
    std::array<uint8_t, 256> upper{};
    for (int b = 0; b < 256; ++b) upper[size_t(b)] = uint8_t(b);
    for (int b = 0; b < 256; ++b) {
      const uint8_t lower = LowerAnsiChar(uint8_t(b));
      if (lower != b) upper[lower] = uint8_t(b);
    }
    return upper;
  }();
  return kUpper[c];
}

std::string UpperAnsi(const std::string& text) {
  std::string out(text);
  for (char& c : out) c = char(UpperAnsiChar(uint8_t(c)));
  return out;
}

namespace {

// А..Я а..я Ё ё in each code page.
bool IsRussianOem(uint8_t c) { return (c >= 0x80 && c <= 0xAF) || (c >= 0xE0 && c <= 0xF1); }
bool IsRussianAnsi(uint8_t c) { return c >= 0xC0 || c == 0xA8 || c == 0xB8; }
bool IsSmallRussianAnsi(uint8_t c) { return c >= 0xE0 || c == 0xB8; }

}  // namespace

// 1251's capitals are 866's box drawing: they count only beside a small
// letter, so DOS frames are no words, and capitals-only 1251 text tells
// nothing (it could be frames).
void AddCyrillicEvidence(const std::string& text, CyrillicEvidence& evidence) {
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const uint8_t c = uint8_t(text[i]);
    if (c < 0x80 || (i > 0 && uint8_t(text[i - 1]) == c)) continue;
    const uint8_t before = i > 0 ? uint8_t(text[i - 1]) : 0;
    const uint8_t after = i + 1 < n ? uint8_t(text[i + 1]) : 0;
    const bool oem = IsRussianOem(c), ansi = IsRussianAnsi(c);
    if (oem && !ansi && (IsRussianOem(before) || IsRussianOem(after))) ++evidence.Oem;
    if (ansi && !oem) {
      const bool small = IsSmallRussianAnsi(c);
      auto word = small ? IsRussianAnsi : IsSmallRussianAnsi;
      if (word(before) || word(after)) ++evidence.Ansi;
    }
  }
}

uint32_t AnsiToCodePoint(uint8_t c) { return c < 0x80 ? c : AnsiHighToUnicode()[c - 0x80]; }

namespace {

void AppendUtf8(std::string& out, uint32_t u) {
  if (u < 0x80) {
    out += char(u);
  } else if (u < 0x800) {
    out += char(0xC0 | (u >> 6));
    out += char(0x80 | (u & 0x3F));
  } else {
    out += char(0xE0 | (u >> 12));
    out += char(0x80 | ((u >> 6) & 0x3F));
    out += char(0x80 | (u & 0x3F));
  }
}

}  // namespace

std::string CodePointToUtf8(uint32_t u) {
  std::string out;
  AppendUtf8(out, u);
  return out;
}

std::string AnsiToUtf8(std::string ansi) {
  // Plain ASCII, the most of most tables, is its own UTF-8.
  size_t i = 0;
  while (i < ansi.size() && uint8_t(ansi[i]) < 0x80) ++i;
  if (i == ansi.size()) return ansi;
  std::string out;
  out.reserve(ansi.size() * 2);
  out.assign(ansi, 0, i);
  for (; i < ansi.size(); ++i) AppendUtf8(out, AnsiToCodePoint(uint8_t(ansi[i])));
  return out;
}

namespace {

char CodePointToAnsi(uint32_t u) {
  if (u < 0x80) return char(u);
  for (int i = 0; i < 128; ++i) {
    if (AnsiHighToUnicode()[i] == u) return char(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string Utf8ToAnsi(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  const size_t n = utf8.size();
  while (i < n) {
    uint8_t b = uint8_t(utf8[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + size_t(extra) >= n) {  // bad lead byte or cut short
      out += '?';
      ++i;
      continue;
    }
    uint32_t u = extra == 0 ? b : (b & (0x3F >> extra));
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      uint8_t cb = uint8_t(utf8[i + size_t(k)]);
      if ((cb & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      u = (u << 6) | (cb & 0x3F);
    }
    if (!ok) {
      out += '?';
      ++i;
      continue;
    }
    out += CodePointToAnsi(u);
    i += size_t(extra) + 1;
  }
  return out;
}

}  // namespace tabulon
