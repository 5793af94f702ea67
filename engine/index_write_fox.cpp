#include "index_writer.h"

namespace tabulon {

std::unique_ptr<IndexTagWriter> OpenFoxTagWriter(IndexKind, IndexPages&, const IndexTagInfo&, IndexValueType,
                                                 std::string* error) {
  *error = "FoxPro index files are not written yet";
  return nullptr;
}

bool BuildFoxIndexFile(IndexKind, DbfFile&, const std::vector<IndexTagInfo>&,
                       const std::vector<std::vector<IndexEntry>>&, DbfFile&, std::string* error) {
  *error = "FoxPro index files are not written yet";
  return false;
}

}  // namespace tabulon
