// The code page a loaded table is shown in, and what typed text becomes in
// a table shown through the OEM conversion.
#include <gtest/gtest.h>

#include "code_page.h"

namespace tabulon {
namespace {

TEST(CodePageTest, TheTextOverrulesTheLanguageDriverOnlyWhenItIsClear) {
  using P = ShownCodePage;
  struct Case {
    DbfCodePage driver;
    uint32_t oem, ansi;
    P expected;
  };
  const Case cases[] = {
      {DbfCodePage::Unknown, 0, 0, P::Undecided},      // nothing said
      {DbfCodePage::Unknown, 2, 0, P::Oem},            // one DOS word
      {DbfCodePage::Unknown, 0, 2, P::Ansi},
      {DbfCodePage::Unknown, 1, 0, P::Undecided},      // one letter is no word
      {DbfCodePage::Unknown, 4, 2, P::Undecided},      // a tie or near it
      {DbfCodePage::Unknown, 5, 2, P::Oem},
      {DbfCodePage::Dos866, 0, 0, P::Oem},             // the byte decides what the text leaves open
      {DbfCodePage::Dos866, 3, 2, P::Oem},
      {DbfCodePage::Dos866, 2, 3, P::Oem},
      {DbfCodePage::Windows1251, 0, 1, P::Ansi},
      {DbfCodePage::Windows1252, 0, 0, P::Ansi},
      {DbfCodePage::Dos866, 1, 40, P::Ansi},           // a 1251 text under a DOS driver
      {DbfCodePage::Windows1252, 40, 1, P::Oem},       // a DOS text under a Windows driver
      {DbfCodePage::Windows1251, 7, 3, P::Oem},
  };
  for (const Case& c : cases) {
    CyrillicEvidence text;
    text.Oem = c.oem;
    text.Ansi = c.ansi;
    EXPECT_EQ(ChooseShownCodePage(c.driver, text), c.expected)
        << int(c.driver) << " " << c.oem << ":" << c.ansi;
  }
}

TEST(CodePageTest, TypedTextKeepsTheBytesTheUserLeftAlone) {
  using O = TypedOutcome;
  // "╔═Кот═╗" in 866 shows as "+=Кот=+"-like look-alikes; 1251 "Пёс" is 866 8F F1 E1.
  const std::string framed = "\xC9\xCD\x8A\xAE\xE2\xCD\xBB";
  const std::string shown = OemToAnsi(framed);
  struct Case {
    std::string stored, typed;
    bool oem;
    O outcome;
    std::string bytes;
    uint8_t refused;
  };
  const Case cases[] = {
      {framed, shown, true, O::Unchanged, "", 0},
      {framed, shown.substr(0, 2) + "\xCF\xB8\xF1" + shown.substr(5), true, O::Store,
       "\xC9\xCD\x8F\xF1\xE1\xCD\xBB", 0},                          // the frame stays
      {framed, shown.substr(0, 6), true, O::Store, framed.substr(0, 6), 0},  // cut at the end
      {framed, "x" + shown, true, O::Store, "x" + framed, 0},       // put in front
      {framed, shown + "\xA6", true, O::Refused, "", 0xA6},         // ¦ only looks like │
      {"\xC4\xC4", "--", true, O::Unchanged, "", 0},                // ── looks like --
      {"\xC4\xC4", "-=-", true, O::Store, "\xC4=\xC4", 0},
      {"", "\xCA\xEE\xF2", true, O::Store, "\x8A\xAE\xE2", 0},      // "Кот"
      {"", "\x88", true, O::Refused, "", 0x88},                     // the euro sign
      {"\x8A\xAE\xE2", "\x8A\xAE\xE2", false, O::Unchanged, "", 0}, // shown as stored
      {"\x8A\xAE\xE2", "\xCA\xEE\xF2", false, O::Store, "\xCA\xEE\xF2", 0},
      {"abc", "", true, O::Store, "", 0},
  };
  for (const Case& c : cases) {
    const TypedValue value = StoredFormOfTyped(c.stored, c.typed, c.oem);
    EXPECT_EQ(value.Outcome, c.outcome) << c.typed;
    EXPECT_EQ(value.Bytes, c.bytes) << c.typed;
    EXPECT_EQ(value.Refused, c.refused) << c.typed;
  }
}

// Every byte of every single-byte page reads as a character that goes back
// to that byte alone; ASCII is itself; a character a page lacks is refused.
TEST(CodePageTest, EveryPageGoesBackToItsOwnBytes) {
  const int pages[] = {437, 737, 850, 852, 857, 860, 861, 862, 863, 865, 866, 874, 1250, 1251, 1252,
                       1253, 1254, 1255, 1256, 1257, 10000, 10006, 10007, 10029, 20866, 28591, 28595};
  for (int page : pages) {
    SCOPED_TRACE(page);
    EXPECT_TRUE(IsKnownCodePage(page));
    for (int b = 0x20; b <= 0xFF; ++b) {
      uint8_t twin = 0;
      // 866 shows box drawing as 1251 look-alikes, which do not go back.
      if (page == 866 && b >= 0x80 && !(AnsiToOemChar(OemToAnsiChar(uint8_t(b)), twin) && twin == b)) continue;
      const std::string byte(1, char(b));
      std::string back, missing;
      EXPECT_TRUE(EncodeText(page, DecodeText(page, byte), back, missing)) << b;
      EXPECT_EQ(back, byte) << b;
    }
  }
  struct Case {
    int page;
    std::string text, bytes;
  };
  const Case cases[] = {
      {437, "╔é", "\xC9\x82"},   {850, "Ø", "\x9D"},        {852, "łŁ", "\x88\x9D"},
      {1250, "łŁ", "\xB3\xA3"},  {1252, "é€", "\xE9\x80"}, {1253, "Ω", "\xD9"},
      {737, "Ω", "\x97"},         {857, "ş", "\x9F"},        {1254, "ş", "\xFE"},
      {10007, "Ж", "\x86"},       {65001, "Жé", "\xD0\x96\xC3\xA9"},
  };
  for (const Case& c : cases) {
    std::string bytes, missing;
    EXPECT_TRUE(EncodeText(c.page, c.text, bytes, missing)) << c.page;
    EXPECT_EQ(bytes, c.bytes) << c.page;
    EXPECT_EQ(DecodeText(c.page, c.bytes), c.text) << c.page;
    EXPECT_FALSE(EncodeText(c.page == 65001 ? 1252 : c.page, "x日", bytes, missing));
    EXPECT_EQ(missing, "日");
  }
  // Stray UTF-8 bytes show as U+FFFD and are kept when the user leaves them.
  const std::string stray = "a\xD0" "b\xFF";
  EXPECT_EQ(DecodeText(65001, stray), "a\uFFFD" "b\uFFFD");
  EXPECT_EQ(StoredFormOfTyped(stray, "A\uFFFD" "b\uFFFD", 65001).Bytes, "A\xD0" "b\xFF");
  EXPECT_EQ(StoredFormOfTyped("\xE9t\xE9", "\xC3\xA9T\xC3\xA9", 1252).Bytes, "\xE9T\xE9");
  EXPECT_EQ(StoredFormOfTyped("abc", "abЖ", 1252).Missing, "Ж");
  // A UTF-8 field is cut at a character's start.
  EXPECT_EQ(CutToWidth("\xD0\x96\xD0\x96", 3, 65001), "\xD0\x96");
  EXPECT_EQ(CutToWidth("\xD0\x96\xD0\x96", 3, 1251), "\xD0\x96\xD0");
}

TEST(CodePageTest, CpgNamesTheTextUtf8AndTheDriverChooseThePage) {
  const std::pair<const char*, int> names[] = {
      {"UTF-8", 65001},  {" utf8\r\n", 65001}, {"ANSI 1251", 1251}, {"1252", 1252},
      {"CP866", 866},    {"oem 866", 866},      {"windows-1250", 1250}, {"IBM437", 437},
      {"88591", 28591},  {"ISO-8859-5", 28595}, {"KOI8-R", 20866},   {"OEM", 0},
      {"cp932", 0},      {"", 0},
  };
  for (const auto& n : names) EXPECT_EQ(CodePageOfName(n.first), n.second) << n.first;

  using R = CodePageReason;
  struct Case {
    const char* what;
    int cpg, driver;
    uint32_t oem, ansi, utf8, malformed;
    int current, page;
    R reason;
  };
  const Case cases[] = {
      {"the .cpg file first", 1250, 866, 9, 0, 9, 0, 1251, 1250, R::CodePageFile},
      {"UTF-8 text", 0, 1252, 0, 0, 2, 0, 1251, 65001, R::TextLetters},
      {"a stray byte is no UTF-8", 0, 850, 0, 0, 5, 1, 1251, 850, R::LanguageDriver},
      {"Russian letters under 1252", 0, 1252, 0, 5, 0, 3, 866, 1251, R::TextLetters},
      {"letters do not overrule 852", 0, 852, 5, 0, 0, 3, 1251, 852, R::LanguageDriver},
      {"nothing said keeps DOS", 0, 0, 0, 0, 0, 0, 437, 866, R::Default},
  };
  for (const Case& c : cases) {
    CyrillicEvidence letters;
    letters.Oem = c.oem;
    letters.Ansi = c.ansi;
    Utf8Evidence utf8;
    utf8.Characters = c.utf8;
    utf8.Malformed = c.malformed;
    const CodePageChoice choice = ChooseCodePage(c.cpg, c.driver, letters, utf8, c.current);
    EXPECT_EQ(choice.CodePage, c.page) << c.what;
    EXPECT_EQ(choice.Reason, c.reason) << c.what;
  }
}

}  // namespace
}  // namespace tabulon
