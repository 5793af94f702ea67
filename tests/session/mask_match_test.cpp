#include <gtest/gtest.h>

#include "mask_match.h"

namespace tabulon {
namespace {

TEST(MaskMatchTest, WildcardsOverTheWholeValue) {
  EXPECT_TRUE(MaskMatches("", "*"));
  EXPECT_TRUE(MaskMatches("anything", "*"));
  EXPECT_TRUE(MaskMatches("", ""));
  EXPECT_FALSE(MaskMatches("a", ""));
  EXPECT_TRUE(MaskMatches("abc", "abc"));
  EXPECT_TRUE(MaskMatches("ABC", "abc"));
  EXPECT_FALSE(MaskMatches("xabc", "abc"));
  EXPECT_FALSE(MaskMatches("abcx", "abc"));
  EXPECT_TRUE(MaskMatches("a", "?"));
  EXPECT_FALSE(MaskMatches("ab", "?"));
  EXPECT_FALSE(MaskMatches("", "?"));
  EXPECT_TRUE(MaskMatches("ab", "??*"));
  EXPECT_TRUE(MaskMatches("abcd", "??*"));
  EXPECT_FALSE(MaskMatches("a", "??*"));
  EXPECT_FALSE(MaskMatches("   12", "12"));  // right-justified numbers keep their blanks
  EXPECT_TRUE(MaskMatches("   12", "*12"));
  EXPECT_TRUE(MaskMatches("a", "a**"));
  EXPECT_TRUE(MaskMatches("mississippi", "m*iss*ppi"));
  EXPECT_FALSE(MaskMatches("mississippi", "m*iss*ppx"));
  EXPECT_TRUE(MaskMatches("a*b", "a*b"));  // no escape: "*" is always a wildcard
}

TEST(MaskMatchTest, CyrillicFoldsAndZeroBytesEndTheText) {
  // "*к*" in Windows-1251 matches a value with a capital К.
  EXPECT_TRUE(MaskMatches("\xCC\xCE\xCA\xC2\xC0", "*\xEA*"));
  // "*к?": the last but one letter is к (in "бок" it is о, in "бака" к).
  EXPECT_FALSE(MaskMatches("\xE1\xEE\xEA", "*\xEA?"));
  EXPECT_TRUE(MaskMatches("\xE1\xE0\xCA\xE0", "*\xEA?"));
  EXPECT_FALSE(MaskMatches("\xEA\xEE\xF2", "*\xEA?" "?" "?"));
  EXPECT_TRUE(MaskMatches(std::string("ab\0cd", 5), "ab"));
  EXPECT_TRUE(MaskMatches("ab", std::string("ab\0zz", 5)));
  // OEM bytes of a Cyrillic word are not the word itself.
  EXPECT_FALSE(MaskMatches("\x8A\xAE\xE2", "\xEA\xEE\xF2"));
}

TEST(MaskMatchTest, ManyStarsStayFast) {
  std::string value(200, 'a');
  EXPECT_FALSE(MaskMatches(value, "*a*a*a*a*a*b"));
  EXPECT_TRUE(MaskMatches(value + "b", "*a*a*a*a*a*b"));
}

}  // namespace
}  // namespace tabulon
