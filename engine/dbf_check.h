// Checking a table's files against their own layout without changing a
// byte: the header against the file's size, the descriptors, each record's
// deletion flag and memo references, and the end-of-data marker.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf_file.h"

namespace tabulon {

// One problem found, in English; Record and Field are 0 where the problem
// is not one record's or one field's.
struct DbfProblem {
  int32_t Record = 0;
  int Field = 0;
  std::string Text;
};

// memo_file may be empty (no memo file beside the table). A table the
// engine refuses to open gives that refusal as its one problem.
std::vector<DbfProblem> CheckTableFiles(const std::string& table_file, const std::string& memo_file,
                                        DbfFileSystem& fs);

}  // namespace tabulon
