// Clipper's .ntx: one tag a file, pages of 1024 bytes whose keys are
// records at every level.
#include "index_reader.h"

namespace tabulon {

bool DecodeNtxHeader(const uint8_t* bytes, NtxHeader* header) {
  NtxHeader h;
  const uint32_t signature = IndexLe16(bytes);
  h.Root = IndexLe32(bytes + 4);
  h.NextFree = IndexLe32(bytes + 8);
  h.ItemSize = static_cast<uint16_t>(IndexLe16(bytes + 12));
  h.KeyLength = static_cast<uint16_t>(IndexLe16(bytes + 14));
  h.Decimals = static_cast<uint16_t>(IndexLe16(bytes + 16));
  h.MaxItems = static_cast<uint16_t>(IndexLe16(bytes + 18));
  h.HalfItems = static_cast<uint16_t>(IndexLe16(bytes + 20));
  h.Key = IndexText(bytes + 22, 256);
  h.Unique = bytes[278] != 0;
  h.Descending = bytes[280] != 0;
  h.For = IndexText(bytes + 282, 256);
  h.TagName = IndexText(bytes + 538, 12);
  // The low byte tells the layout; Harbour sets flags in the high one.
  if ((signature & 0xFF) != 6 && (signature & 0xFF) != 3) return false;
  if (h.KeyLength == 0 || h.KeyLength > 256 || h.ItemSize < h.KeyLength + 8) return false;
  // The offsets table and the items must fit in a page.
  if (h.MaxItems == 0 || 2 * (size_t{h.MaxItems} + 1) + (size_t{h.MaxItems} + 1) * h.ItemSize > kNtxPageSize + 2)
    return false;
  if (h.Root == 0 || h.Root % kNtxPageSize != 0) return false;
  *header = h;
  return true;
}

bool DecodeNtxNode(const uint8_t* page, const NtxHeader& header, IndexNode* node, std::string* why) {
  *node = IndexNode{};
  const size_t count = IndexLe16(page);
  if (count > header.MaxItems) {
    *why = "a page holds more keys than fit";
    return false;
  }
  node->KeysAreRecords = true;
  for (size_t i = 0; i <= count; ++i) {
    const size_t at = IndexLe16(page + 2 + 2 * i);
    // The last item holds only its child pointer.
    const size_t need = i < count ? 8u + header.KeyLength : 4u;
    if (at < 2 || at + need > kNtxPageSize) {
      *why = "a page's item lies outside it";
      return false;
    }
    const uint32_t child = IndexLe32(page + at);
    if (child % kNtxPageSize != 0) {
      *why = "a page points between pages";
      return false;
    }
    node->Children.push_back(child);
    if (child != 0) node->Leaf = false;
    if (i < count) {
      IndexEntry entry;
      entry.Record = IndexLe32(page + at + 4);
      entry.Key.assign(reinterpret_cast<const char*>(page + at + 8), header.KeyLength);
      node->Keys.push_back(std::move(entry));
    }
  }
  if (node->Leaf) node->Children.clear();
  return true;
}

std::unique_ptr<IndexFile> OpenNtxIndex(const std::string& path, IndexBytes bytes,
                                        const std::vector<IndexKeyField>& fields, std::string* error) {
  std::vector<uint8_t> first;
  NtxHeader h;
  if (!bytes.Read(0, kNtxPageSize, first) || !DecodeNtxHeader(first.data(), &h)) {
    *error = path + ": not a Clipper index file";
    return nullptr;
  }
  IndexTagInfo tag;
  tag.Name = h.TagName.empty() ? IndexBaseName(path) : h.TagName;
  tag.Key = h.Key;
  tag.ForExpr = h.For;
  tag.Unique = h.Unique;
  tag.Descending = h.Descending;
  tag.KeyLength = h.KeyLength;
  tag.KeyType = ResolveKeyType(h.Key, fields);
  return NewOneTagIndex(IndexKind::Ntx, path, std::move(bytes), tag, h.Root, kNtxPageSize,
                        [h](const uint8_t* page, IndexNode* node, std::string* why) {
                          return DecodeNtxNode(page, h, node, why);
                        });
}

}  // namespace tabulon
