// The search mask: "*" stands for any run of characters (also none), "?"
// for exactly one; every other character matches itself, letters in either
// case (Windows-1251 folding, Cyrillic included). The whole value must
// match; both texts end at a zero byte if they hold one.
#pragma once

#include <string>

namespace tabulon {

bool MaskMatches(const std::string& value, const std::string& mask);

}  // namespace tabulon
