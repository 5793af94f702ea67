#include "mask_match.h"

#include "text.h"

namespace tabulon {

namespace {

std::string Folded(const std::string& text) {
  return LowerAnsi(text.substr(0, text.find('\0')));
}

}  // namespace

// Greedy matching that remembers only the last "*": on a mismatch the run
// that star covers grows by one character. Each value position is retried
// at most once per mask position, so the time stays within value length
// times mask length, whatever the mask (no exponential backtracking).
bool MaskMatches(const std::string& value_text, const std::string& mask_text) {
  const std::string value = Folded(value_text);
  const std::string mask = Folded(mask_text);
  size_t v = 0, k = 0;
  size_t star = std::string::npos, star_v = 0;
  while (v < value.size()) {
    if (k < mask.size() && mask[k] == '*') {
      star = k++;
      star_v = v;
    } else if (k < mask.size() && (mask[k] == '?' || mask[k] == value[v])) {
      ++k;
      ++v;
    } else if (star != std::string::npos) {
      k = star + 1;
      v = ++star_v;
    } else {
      return false;
    }
  }
  while (k < mask.size() && mask[k] == '*') ++k;
  return k == mask.size();
}

}  // namespace tabulon
