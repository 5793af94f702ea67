// The record numbers of an index tag in its order as Perl's XBase::Index,
// a reader that shares no code with the engine, walks them (native tests
// only: it runs perl). type: 'C', 'N' or 'D'; tag: empty for a file of one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tabulon::test {

inline std::vector<uint32_t> PerlWalk(const std::string& path, char type, const std::string& tag = std::string()) {
  const std::string command = "perl " TABULON_SOURCE_DIR "/tests/interop/walk_index.pl '" + path + "' " +
                              std::string(1, type) + (tag.empty() ? "" : " '" + tag + "'") + " 2>/dev/null";
  std::vector<uint32_t> records;
  FILE* pipe = popen(command.c_str(), "r");
  for (unsigned r; pipe && std::fscanf(pipe, "%u", &r) == 1;) records.push_back(r);
  if (pipe) pclose(pipe);
  return records;
}

}  // namespace tabulon::test
