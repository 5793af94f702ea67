// Counting UTF-8 text in characters, as edit boxes and screens count it:
// a limit or a caret position is in characters, a string in bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulon {

// Bytes of the character starting at byte `i`: one for a byte that starts
// no valid sequence.
size_t Utf8CharBytes(const std::string& utf8, size_t i);
// Characters in the text; a byte that starts no valid sequence counts as one.
size_t Utf8Length(const std::string& utf8);
// The byte offset of character `chars` (the size when the text is shorter).
size_t Utf8Offset(const std::string& utf8, size_t chars);
// The first `chars` characters, never a sequence cut in two.
std::string Utf8Prefix(const std::string& utf8, size_t chars);

}  // namespace tabulon
