// The generated tables of the single-byte code pages (code_page_tables.cpp,
// written by tools/make-code-page-tables).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tabulon {

struct SingleByteCodePage {
  uint16_t Number;
  uint16_t High[128];  // code points of bytes 0x80..0xFF
};

extern const SingleByteCodePage kSingleByteCodePages[];
extern const size_t kSingleByteCodePageCount;

}  // namespace tabulon
