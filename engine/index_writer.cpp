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

bool IsStoredDescending(IndexKind kind, const IndexTagInfo& tag) {
  // Clipper and dBase IV keep a descending tag's keys in descending order
  // (equal keys still by ascending record); the other families keep them
  // ascending and walk them backwards.
  return (kind == IndexKind::Ntx || kind == IndexKind::Mdx) && tag.Descending;
}

int CompareIndexEntryKeys(const std::string& a, const std::string& b, IndexKind kind, const IndexTagInfo& tag,
                          IndexValueType type) {
  const int order = CompareIndexKeys(a, b, IndexKeyFormatOf(kind), type);
  return IsStoredDescending(kind, tag) ? -order : order;
}

void SortIndexEntries(std::vector<IndexEntry>& entries, IndexKind kind, const IndexTagInfo& tag,
                      IndexValueType type) {
  const bool reversed = IsStoredDescending(kind, tag);
  const IndexKeyFormat format = IndexKeyFormatOf(kind);
  // Record numbers make the order total, so no stable sort is needed; keys
  // that sort as their bytes (all but dBase's numbers and dates) are
  // compared as such, the cost of a rebuild being mostly this sort.
  const bool bytes = format == IndexKeyFormat::FoxPro || format == IndexKeyFormat::Ntx ||
                     type == IndexValueType::Character || type == IndexValueType::Logical;
  if (bytes) {
    std::sort(entries.begin(), entries.end(), [reversed](const IndexEntry& a, const IndexEntry& b) {
      const int order = a.Key.compare(b.Key);
      if (order != 0) return reversed ? order > 0 : order < 0;
      return a.Record < b.Record;
    });
    return;
  }
  std::sort(entries.begin(), entries.end(), [&](const IndexEntry& a, const IndexEntry& b) {
    const int order = CompareIndexEntryKeys(a.Key, b.Key, kind, tag, type);
    return order != 0 ? order < 0 : a.Record < b.Record;
  });
}

bool BuildIndexFile(IndexKind kind, DbfFile& old, const std::vector<IndexTagInfo>& tags,
                    const std::vector<std::vector<IndexEntry>>& entries, DbfFile& out, std::string* error) {
  if (tags.size() != entries.size()) {
    *error = "each tag needs its entries";
    return false;
  }
  for (size_t t = 0; t < tags.size(); ++t)
    for (const IndexEntry& e : entries[t])
      if (e.Key.size() != tags[t].KeyLength) {
        *error = "a key of the wrong length";
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
