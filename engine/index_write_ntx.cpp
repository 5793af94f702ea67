#include "index_writer.h"

namespace tabulon {

std::unique_ptr<IndexTagWriter> OpenNtxTagWriter(IndexPages&, const IndexTagInfo&, IndexValueType,
                                                 std::string* error) {
  *error = "Clipper index files are not written yet";
  return nullptr;
}

bool BuildNtxIndexFile(DbfFile&, const std::vector<IndexTagInfo>&, const std::vector<std::vector<IndexEntry>>&,
                       DbfFile&, std::string* error) {
  *error = "Clipper index files are not written yet";
  return false;
}

}  // namespace tabulon
