// A tag compared with its table: every record whose FOR condition passes
// is in the tag once, under the key its values give, and the tag holds
// nothing else. What a write left stale, or a damaged file, shows here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf_table.h"
#include "index_file.h"

namespace tabulon {

struct IndexTagProblem {
  uint32_t Record = 0;  // 0 when the problem is the tag's own
  std::string Text;
};

// The problems of tag number tag of index, read against the open table;
// at most `most` of them. A tag whose key or FOR condition the engine does
// not evaluate gives one problem saying so.
std::vector<IndexTagProblem> CheckIndexTag(IndexFile& index, size_t tag, DbfTable& table, size_t most = 100);

}  // namespace tabulon
