// What FoxPro's writers share (index_write_fox.cpp changes a tag,
// index_fox_build.cpp writes a file anew). Internal to them.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "index_layout.h"

namespace tabulon {

void PutFoxLe32(uint8_t* p, uint32_t value);

// Reads (through read) and decodes the header at at: 512 bytes, or 1024
// for a compact one; false when it is not a header.
bool ReadFoxHeader(const std::function<bool(uint64_t, size_t, uint8_t*)>& read, uint64_t at,
                   std::vector<uint8_t>* bytes, FoxHeader* header);

}  // namespace tabulon
