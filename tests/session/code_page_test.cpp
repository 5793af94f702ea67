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

}  // namespace
}  // namespace tabulon
