// dBase III's .ndx: one tag a file, pages of 512 bytes numbered from the
// file's start; numeric and date keys are IEEE doubles.
#include "index_reader.h"

namespace tabulon {

bool DecodeNdxHeader(const uint8_t* bytes, NdxHeader* header) {
  NdxHeader h;
  h.RootPage = IndexLe32(bytes);
  h.PageCount = IndexLe32(bytes + 4);
  h.KeyLength = static_cast<uint16_t>(IndexLe16(bytes + 12));
  h.KeysPerPage = static_cast<uint16_t>(IndexLe16(bytes + 14));
  h.KeyType = static_cast<uint16_t>(IndexLe16(bytes + 16));
  h.ItemSize = static_cast<uint16_t>(IndexLe16(bytes + 18));
  h.Unique = bytes[23] != 0;
  h.Key = IndexText(bytes + 24, kNdxPageSize - 24);
  if (h.KeyLength == 0 || h.KeyLength > 100 || h.ItemSize < h.KeyLength + 8) return false;
  if (h.KeysPerPage == 0 || 4 + size_t{h.KeysPerPage} * h.ItemSize > kNdxPageSize) return false;
  if (h.RootPage == 0 || h.KeyType > 1) return false;
  *header = h;
  return true;
}

bool DecodeNdxNode(const uint8_t* page, const NdxHeader& header, IndexNode* node, std::string* why) {
  *node = IndexNode{};
  const size_t count = IndexLe32(page);
  if (count > header.KeysPerPage || 4 + count * header.ItemSize > kNdxPageSize) {
    *why = "a page holds more keys than fit";
    return false;
  }
  node->Leaf = count == 0 || IndexLe32(page + 4) == 0;
  // A branch has one child more than keys: an item with a pointer only.
  const size_t items = node->Leaf ? count : count + 1;
  if (!node->Leaf && 4 + count * header.ItemSize + 4 > kNdxPageSize) {
    *why = "a page's last pointer lies outside it";
    return false;
  }
  for (size_t i = 0; i < items; ++i) {
    const uint8_t* p = page + 4 + i * header.ItemSize;
    if (!node->Leaf) {
      const uint32_t child = IndexLe32(p);
      if (child == 0) {
        *why = "a branch page lacks a pointer";
        return false;
      }
      node->Children.push_back(uint64_t{child} * kNdxPageSize);
    }
    if (i < count) {
      IndexEntry entry;
      entry.Record = IndexLe32(p + 4);
      entry.Key.assign(reinterpret_cast<const char*>(p + 8), header.KeyLength);
      node->Keys.push_back(std::move(entry));
    }
  }
  return true;
}

std::unique_ptr<IndexFile> OpenNdxIndex(const std::string& path, IndexBytes bytes, std::string* error) {
  std::vector<uint8_t> first;
  NdxHeader h;
  if (!bytes.Read(0, kNdxPageSize, first) || !DecodeNdxHeader(first.data(), &h)) {
    *error = path + ": not a dBase III index file";
    return nullptr;
  }
  IndexTagInfo tag;
  tag.Name = IndexBaseName(path);
  tag.Key = h.Key;
  tag.Unique = h.Unique;
  tag.KeyLength = h.KeyLength;
  // Numeric and date keys share the double encoding; the header does not
  // tell them apart.
  tag.KeyType = h.KeyType == 0 ? 'C' : 'N';
  const uint64_t root = uint64_t{h.RootPage} * kNdxPageSize;
  return NewOneTagIndex(IndexKind::Ndx, path, std::move(bytes), tag, root, kNdxPageSize,
                        [h](const uint8_t* page, IndexNode* node, std::string* why) {
                          return DecodeNdxNode(page, h, node, why);
                        });
}

}  // namespace tabulon
