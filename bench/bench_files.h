// Table files for the benchmarks of the program's commands: a fresh
// folder, raw bytes written to a file, and fixed-width values.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <string>

#include "support/table_bytes.h"

namespace tabulon::bench {

inline std::string MakeFolder() {
  char pattern[] = "/tmp/tabulon-bench-XXXXXX";
  return mkdtemp(pattern) != nullptr ? std::string(pattern) : std::string("/tmp");
}

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
