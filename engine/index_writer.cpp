#include "index_writer.h"

#include <algorithm>

namespace tabulon {

IndexKeyFormat IndexKeyFormatOf(IndexKind kind) {
  switch (kind) {
    case IndexKind::Ntx: return IndexKeyFormat::Ntx;
    case IndexKind::Ndx: return IndexKeyFormat::Ndx;
    case IndexKind::Mdx: return IndexKeyFormat::Mdx;
    default: return IndexKeyFormat::FoxPro;
  }
}

std::unique_ptr<IndexTagWriter> OpenIndexTagWriter(IndexKind kind, IndexPages& pages, const IndexTagInfo& tag,
                                                   IndexValueType type, std::string* error) {
  switch (kind) {
    case IndexKind::Ntx: return OpenNtxTagWriter(pages, tag, type, error);
    case IndexKind::Ndx: return OpenNdxTagWriter(pages, tag, type, error);
    case IndexKind::Mdx: return OpenMdxTagWriter(pages, tag, type, error);
    default: return OpenFoxTagWriter(kind, pages, tag, type, error);
  }
}

void SortIndexEntries(std::vector<IndexEntry>& entries, IndexKind kind, const IndexTagInfo& tag,
                      IndexValueType type) {
  const IndexKeyFormat format = IndexKeyFormatOf(kind);
  // Clipper and dBase IV keep a descending tag's keys in descending order
  // (equal keys still by ascending record); the other families keep them
  // ascending and walk them backwards.
  const bool reversed = (kind == IndexKind::Ntx || kind == IndexKind::Mdx) && tag.Descending;
  std::stable_sort(entries.begin(), entries.end(), [&](const IndexEntry& a, const IndexEntry& b) {
    const int order = CompareIndexKeys(a.Key, b.Key, format, type);
    if (order != 0) return reversed ? order > 0 : order < 0;
    return a.Record < b.Record;
  });
}

bool BuildIndexFile(IndexKind kind, DbfFile& old, const std::vector<IndexTagInfo>& tags,
                    const std::vector<std::vector<IndexEntry>>& entries, DbfFile& out, std::string* error) {
  if (tags.size() != entries.size()) {
    *error = "each tag needs its entries";
    return false;
  }
  switch (kind) {
    case IndexKind::Ntx: return BuildNtxIndexFile(old, tags, entries, out, error);
    case IndexKind::Ndx: return BuildNdxIndexFile(old, tags, entries, out, error);
    case IndexKind::Mdx: return BuildMdxIndexFile(old, tags, entries, out, error);
    default: return BuildFoxIndexFile(kind, old, tags, entries, out, error);
  }
}

}  // namespace tabulon
