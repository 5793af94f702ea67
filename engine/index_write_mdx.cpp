#include "index_writer.h"

namespace tabulon {

std::unique_ptr<IndexTagWriter> OpenMdxTagWriter(IndexPages&, const IndexTagInfo&, IndexValueType,
                                                 std::string* error) {
  *error = "dBase IV index files are not written yet";
  return nullptr;
}

bool BuildMdxIndexFile(DbfFile&, const std::vector<IndexTagInfo>&, const std::vector<std::vector<IndexEntry>>&,
                       DbfFile&, std::string* error) {
  *error = "dBase IV index files are not written yet";
  return false;
}

}  // namespace tabulon
