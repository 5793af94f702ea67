// The search mask: "*" stands for any run of characters (also none), "?"
// for exactly one; every other character matches itself, letters in either
// case (Latin, Greek and Cyrillic folding). The whole value must match;
// both texts end at a zero byte if they hold one.
#pragma once

#include <string>

namespace tabulon {

// Value and mask in Windows-1251.
bool MaskMatches(const std::string& value, const std::string& mask);
// Value and mask in UTF-8, as the session shows text ("?" is one
// character, whatever its bytes).
bool MaskMatchesUtf8(const std::string& value, const std::string& mask);

}  // namespace tabulon
