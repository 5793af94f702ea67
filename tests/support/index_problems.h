// What the engine's check finds wrong in the index files beside a table
// after writes: every problem of every tag, one a line ("" when all agree
// with the table). Files that are not there are passed by.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dbf_table.h"
#include "index_check.h"

namespace tabulon::test {

inline std::string IndexProblems(DbfFileSystem& fs, const std::string& table_file, const std::vector<std::string>& files,
                                 const std::vector<IndexKeyField>& fields) {
  DbfTable table(table_file, "", false, fs);
  table.SetActive(true);
  std::string text;
  for (const std::string& file : files) {
    IndexKind kind;
    if (!fs.Exists(file) || !IndexKindOfName(file, &kind)) continue;
    std::string error;
    std::unique_ptr<IndexFile> index = OpenIndexFile(file, kind, fs, fields, &error);
    if (!index) {
      text += file + ": " + error + "\n";
      continue;
    }
    for (size_t tag = 0; tag < index->GetTags().size(); ++tag)
      for (const IndexTagProblem& p : CheckIndexTag(*index, tag, table))
        text += file + " " + index->GetTags()[tag].Name + " " + std::to_string(p.Record) + ": " + p.Text + "\n";
  }
  return text;
}

}  // namespace tabulon::test
