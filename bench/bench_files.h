// Table files for the benchmarks of the program's commands: raw bytes
// written to a file and fixed-width values (each benchmark writes into a
// fresh folder of its own, test::TempFolder).
#pragma once

#include <cstdio>
#include <string>

#include "support/table_bytes.h"
#include "support/temp_folder.h"

namespace tabulon::bench {

inline void WriteFile(const std::string& path, const test::Bytes& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

inline std::string Padded(const std::string& text, size_t width) {
  std::string s = text.substr(0, width);
  s.resize(width, ' ');
  return s;
}

}  // namespace tabulon::bench
