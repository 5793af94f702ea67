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

namespace {

class NdxIndex final : public IndexFile {
 public:
  NdxIndex(const std::string& path, IndexBytes bytes, const NdxHeader& header)
      : IndexFile(IndexKind::Ndx, path), bytes_(std::move(bytes)), header_(header) {}
  void AddTag(const IndexTagInfo& tag) { tags_.push_back(tag); }

  bool Walk(size_t tag, const std::function<bool(const IndexEntry&)>& each) override {
    if (tag >= tags_.size()) return Fail("no tag " + std::to_string(tag + 1));
    std::vector<uint8_t> page;
    const IndexNodeReader read = [&](uint64_t offset, IndexNode* node, std::string* why) {
      if (!bytes_.Read(offset, kNdxPageSize, page)) {
        *why = "page at " + std::to_string(offset) + " lies past the end of the file";
        return false;
      }
      return DecodeNdxNode(page.data(), header_, node, why);
    };
    std::string why;
    return WalkIndexTree(uint64_t{header_.RootPage} * kNdxPageSize, read, each, &why) || Fail(why);
  }

 private:
  IndexBytes bytes_;
  NdxHeader header_;
};

}  // namespace

std::unique_ptr<IndexFile> OpenNdxIndex(const std::string& path, IndexBytes bytes, std::string* error) {
  std::vector<uint8_t> first;
  NdxHeader h;
  if (!bytes.Read(0, kNdxPageSize, first) || !DecodeNdxHeader(first.data(), &h)) {
    *error = path + ": not a dBase III index file";
    return nullptr;
  }
  auto index = std::make_unique<NdxIndex>(path, std::move(bytes), h);
  IndexTagInfo tag;
  tag.Name = IndexBaseName(path);
  tag.Key = h.Key;
  tag.Unique = h.Unique;
  tag.KeyLength = h.KeyLength;
  // Numeric and date keys share the double encoding; the header does not
  // tell them apart.
  tag.KeyType = h.KeyType == 0 ? 'C' : 'N';
  index->AddTag(tag);
  return index;
}

}  // namespace tabulon
