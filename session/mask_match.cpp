#include "mask_match.h"

#include <vector>

#include "code_pages.h"
#include "text.h"

namespace tabulon {

namespace {

constexpr uint32_t kStar = '*';
constexpr uint32_t kAny = '?';

std::vector<uint32_t> FoldedAnsi(const std::string& text) {
  std::vector<uint32_t> out;
  for (char c : text.substr(0, text.find('\0'))) out.push_back(LowerCodePoint(AnsiToCodePoint(uint8_t(c))));
  return out;
}

// A stray byte stays a character of its own (matched by "?" and itself).
std::vector<uint32_t> FoldedUtf8(const std::string& text) {
  std::vector<uint32_t> out;
  const std::string t = text.substr(0, text.find('\0'));
  size_t i = 0;
  while (i < t.size()) {
    uint32_t code = 0;
    const uint8_t first = uint8_t(t[i]);
    out.push_back(NextCodePoint(t, i, code) ? LowerCodePoint(code) : 0x110000 + first);
  }
  return out;
}

// Greedy matching that remembers only the last "*": on a mismatch the run
// that star covers grows by one character. Each value position is retried
// at most once per mask position, so the time stays within value length
// times mask length, whatever the mask (no exponential backtracking).
bool Matches(const std::vector<uint32_t>& value, const std::vector<uint32_t>& mask) {
  size_t v = 0, k = 0;
  size_t star = std::string::npos, star_v = 0;
  while (v < value.size()) {
    if (k < mask.size() && mask[k] == kStar) {
      star = k++;
      star_v = v;
    } else if (k < mask.size() && (mask[k] == kAny || mask[k] == value[v])) {
      ++k;
      ++v;
    } else if (star != std::string::npos) {
      k = star + 1;
      v = ++star_v;
    } else {
      return false;
    }
  }
  while (k < mask.size() && mask[k] == kStar) ++k;
  return k == mask.size();
}

}  // namespace

bool MaskMatches(const std::string& value, const std::string& mask) {
  return Matches(FoldedAnsi(value), FoldedAnsi(mask));
}

bool MaskMatchesUtf8(const std::string& value, const std::string& mask) {
  return Matches(FoldedUtf8(value), FoldedUtf8(mask));
}

}  // namespace tabulon
