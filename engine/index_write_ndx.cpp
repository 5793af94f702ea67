#include "index_writer.h"

namespace tabulon {

std::unique_ptr<IndexTagWriter> OpenNdxTagWriter(IndexPages&, const IndexTagInfo&, IndexValueType,
                                                 std::string* error) {
  *error = "dBase III index files are not written yet";
  return nullptr;
}

bool BuildNdxIndexFile(DbfFile&, const std::vector<IndexTagInfo>&, const std::vector<std::vector<IndexEntry>>&,
                       DbfFile&, std::string* error) {
  *error = "dBase III index files are not written yet";
  return false;
}

}  // namespace tabulon
