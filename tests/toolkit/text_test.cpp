#include <gtest/gtest.h>

#include "text.h"

namespace tabulon {
namespace {

// Unicode of code page 866 bytes 0x80..0xFF (the published code page).
const uint32_t kCp866High[128] = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429,
    0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436,
    0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, 0x0401, 0x0451, 0x0404, 0x0454, 0x0407,
    0x0457, 0x040E, 0x045E, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

// The Windows-1251 byte of a code point, -1 when the code page lacks it.
int AnsiByteOf(uint32_t u) {
  for (int b = 0; b < 256; ++b)
    if (AnsiToCodePoint(uint8_t(b)) == u) return b;
  return -1;
}

// Small letter of a code point, by the Unicode case pairs of the letters
// Windows-1251 holds.
uint32_t UnicodeLower(uint32_t u) {
  if (u >= 'A' && u <= 'Z') return u + 32;
  if (u >= 0x0410 && u <= 0x042F) return u + 0x20;
  if (u >= 0x0400 && u <= 0x040F) return u + 0x50;
  if (u == 0x0490) return 0x0491;
  return u;
}

TEST(TextTest, OemToAnsiKeepsEveryCharacterBothCodePagesHold) {
  int exact = 0;
  for (int b = 0; b < 256; ++b) {
    uint32_t u = b < 0x80 ? uint32_t(b) : kCp866High[b - 0x80];
    int expected = AnsiByteOf(u);
    uint8_t got = OemToAnsiChar(uint8_t(b));
    if (expected < 0) continue;  // box drawing and shading: look-alikes, checked below
    EXPECT_EQ(got, expected) << "OEM byte " << b;
    ++exact;
  }
  EXPECT_EQ(exact, 128 + 64 + 8 + 5);  // ASCII, А..я, Ёё Єє Її Ўў, ° · № ¤ and the fixed space
  EXPECT_EQ(OemToAnsiChar(0xC4), '-');   // ─
  EXPECT_EQ(OemToAnsiChar(0xC5), '+');   // ┼
  EXPECT_EQ(OemToAnsiChar(0xB3), 0xA6);  // │ becomes the broken bar
  EXPECT_EQ(OemToAnsiChar(0xCD), '=');   // ═
  EXPECT_EQ(OemToAnsi("\x8F\xE0\xA8\xA2\xA5\xE2, \xF0!"), "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8!");
}

TEST(TextTest, LowerAnsiFoldsEveryCapitalOfTheCodePage) {
  int folded = 0;
  for (int b = 0; b < 256; ++b) {
    uint32_t lower = UnicodeLower(AnsiToCodePoint(uint8_t(b)));
    int expected = AnsiByteOf(lower);
    ASSERT_GE(expected, 0);
    EXPECT_EQ(LowerAnsiChar(uint8_t(b)), expected) << "byte " << b;
    if (expected != b) ++folded;
  }
  EXPECT_EQ(folded, 26 + 32 + 15);
  EXPECT_EQ(LowerAnsi(std::string("\xC0\xA8Z\0\xDF", 5)), std::string("\xE0\xB8z\0\xFF", 5));
}

// The strict inverse gives back exactly the characters 866 holds, and
// nothing for the rest (box-drawing look-alikes among them).
TEST(TextTest, AnsiToOemConvertsOnlyWhatCodePage866Holds) {
  int converted = 0;
  for (int a = 0; a < 256; ++a) {
    const uint32_t u = AnsiToCodePoint(uint8_t(a));
    int expected = u < 0x80 ? int(u) : -1;
    for (int o = 0; o < 128; ++o)
      if (kCp866High[o] == u) expected = 0x80 + o;
    uint8_t oem = 0;
    ASSERT_EQ(AnsiToOemChar(uint8_t(a), oem), expected >= 0) << "byte " << a;
    if (expected < 0) continue;
    EXPECT_EQ(oem, expected) << "byte " << a;
    EXPECT_EQ(OemToAnsiChar(oem), a);
    ++converted;
  }
  EXPECT_EQ(converted, 128 + 64 + 8 + 5);
  std::string oem;
  uint8_t missing = 0;
  EXPECT_TRUE(AnsiToOem("\xCF\xF0\xE8\xE2\xE5\xF2, \xA8!", oem, missing));
  EXPECT_EQ(oem, "\x8F\xE0\xA8\xA2\xA5\xE2, \xF0!");
  EXPECT_FALSE(AnsiToOem("a-\xA6-b\x95", oem, missing));  // ¦, the look-alike of │
  EXPECT_EQ(missing, 0xA6);
}

TEST(TextTest, UpperAnsiUndoesLowerAnsi) {
  int raised = 0;
  for (int b = 0; b < 256; ++b) {
    const uint8_t upper = UpperAnsiChar(uint8_t(b));
    EXPECT_EQ(LowerAnsiChar(upper), LowerAnsiChar(uint8_t(b))) << "byte " << b;
    if (upper == b) continue;
    EXPECT_EQ(LowerAnsiChar(upper), b) << "byte " << b;  // only small letters rise
    ++raised;
  }
  EXPECT_EQ(raised, 26 + 32 + 15);
  EXPECT_EQ(UpperAnsi("\xB8\xEB\xEA\xE0 z1"), "\xA8\xCB\xCA\xC0 Z1");  // "ёлка z1"
}

TEST(TextTest, CyrillicEvidenceCountsWordsOfOneCodePage) {
  struct Case {
    const char* text;
    uint32_t oem, ansi;
  };
  const Case cases[] = {
      {"\x8F\xE0\xA8\xA2\xA5\xE2", 3, 0},          // "Привет" in 866: П, в, е are 866's own
      {"\xCF\xF0\xE8\xE2\xE5\xF2", 0, 2},          // "Привет" in 1251: П, т
      {"\x88\x82\x80\x8D\x8E\x82", 6, 0},          // "ИВАНОВ" in 866
      {"\xC8\xC2\xC0\xCD\xCE\xC2", 0, 0},          // "ИВАНОВ" in 1251: could be a DOS frame
      {"\xC9\xCD\xCD\xCD\xCD\xBB", 0, 0},          // ╔════╗ in 866
      {"\xAB\xCA\xEE\xF2\xBB", 0, 2},              // "«Кот»" in 1251: « is 866's л, but in no 866 word
      {"\xA0 x\x8F y", 0, 0},                      // lone letters
      {"\xA2\xA2\xA2\xA2", 1, 0},                  // a run counts once
      {"abc 123", 0, 0},
  };
  for (const Case& c : cases) {
    CyrillicEvidence evidence;
    AddCyrillicEvidence(c.text, evidence);
    EXPECT_EQ(evidence.Oem, c.oem) << c.text;
    EXPECT_EQ(evidence.Ansi, c.ansi) << c.text;
  }
  CyrillicEvidence both;  // evidence adds up
  AddCyrillicEvidence(cases[0].text, both);
  AddCyrillicEvidence(cases[1].text, both);
  EXPECT_EQ(both.Oem, 3u);
  EXPECT_EQ(both.Ansi, 2u);
}

TEST(TextTest, Utf8RoundTripAndMalformedInput) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += char(b);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
  EXPECT_EQ(AnsiToUtf8("\xCA\xEE\xF2"), "\xD0\x9A\xD0\xBE\xD1\x82");  // Кот
  EXPECT_EQ(AnsiToUtf8("\x88"), "\xE2\x82\xAC");                      // euro sign
  EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"), "?");                         // a character 1251 lacks
  EXPECT_EQ(Utf8ToAnsi("a\xD0"), "a?");                               // cut short
  EXPECT_EQ(Utf8ToAnsi("\xFF" "b"), "?b");                            // bad lead byte
  EXPECT_EQ(Utf8ToAnsi("\xD0" "b"), "?b");                            // bad continuation
}

}  // namespace
}  // namespace tabulon
