// dBase IV's production .mdx: up to 47 tags in one file, each a B-tree
// of blocks (one or more pages of 512 bytes, numbered by page).
#include "index_reader.h"

namespace tabulon {

bool DecodeMdxHeader(const uint8_t* bytes, MdxHeader* header) {
  MdxHeader h;
  h.BlockSize = static_cast<uint16_t>(IndexLe16(bytes + 22));
  h.EntrySize = bytes[26];
  h.TagCount = static_cast<uint16_t>(IndexLe16(bytes + 28));
  if (h.BlockSize < kMdxPageSize || h.BlockSize % kMdxPageSize != 0) return false;
  if (h.EntrySize < 21 || h.TagCount > 47) return false;
  *header = h;
  return true;
}

MdxTagEntry DecodeMdxTagEntry(const uint8_t* bytes) {
  MdxTagEntry e;
  e.HeaderPage = IndexLe32(bytes);
  e.Name = IndexText(bytes + 4, 11);
  while (!e.Name.empty() && e.Name.back() == ' ') e.Name.pop_back();
  e.KeyType = static_cast<char>(bytes[20]);
  return e;
}

bool DecodeMdxTagHeader(const uint8_t* bytes, size_t size, MdxTagHeader* header) {
  MdxTagHeader h;
  h.RootPage = IndexLe32(bytes);
  h.KeyFormat = bytes[8];
  h.KeyType = static_cast<char>(bytes[9]);
  h.KeyLength = static_cast<uint16_t>(IndexLe16(bytes + 12));
  h.ItemSize = static_cast<uint16_t>(IndexLe16(bytes + 18));
  h.KeysPerBlock = static_cast<uint16_t>(IndexLe16(bytes + 14));
  h.Unique = bytes[23] != 0 || (h.KeyFormat & 0x40) != 0;
  h.Key = IndexText(bytes + 24, 220);
  if (bytes[245] != 0 && size > 762) h.For = IndexText(bytes + 762, size - 762);
  if (h.KeyLength == 0 || h.KeyLength > 100 || h.ItemSize < h.KeyLength + 4 || h.RootPage == 0) return false;
  *header = h;
  return true;
}

bool DecodeMdxNode(const uint8_t* block, size_t block_size, const MdxTagHeader& header, IndexNode* node,
                   std::string* why) {
  *node = IndexNode{};
  const size_t count = IndexLe32(block);
  if (count > (block_size - 12) / header.ItemSize) {
    *why = "a block holds more keys than fit";
    return false;
  }
  // A branch keeps one pointer more, after its last key; a leaf none.
  const uint32_t last = IndexLe32(block + 8 + count * header.ItemSize);
  node->Leaf = last == 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = block + 8 + i * header.ItemSize;
    IndexEntry entry;
    entry.Key.assign(reinterpret_cast<const char*>(p + 4), header.KeyLength);
    if (node->Leaf) entry.Record = IndexLe32(p);
    else node->Children.push_back(uint64_t{IndexLe32(p)} * kMdxPageSize);
    node->Keys.push_back(std::move(entry));
  }
  if (!node->Leaf) node->Children.push_back(uint64_t{last} * kMdxPageSize);
  for (uint64_t child : node->Children) {
    if (child == 0) {
      *why = "a branch block lacks a pointer";
      return false;
    }
  }
  return true;
}

namespace {

class MdxIndex final : public IndexFile {
 public:
  MdxIndex(const std::string& path, IndexBytes bytes, const MdxHeader& header)
      : IndexFile(IndexKind::Mdx, path), bytes_(std::move(bytes)), header_(header) {}

  bool AddTag(const MdxTagEntry& entry) {
    std::vector<uint8_t> block;
    MdxTagHeader h;
    const uint64_t offset = uint64_t{entry.HeaderPage} * kMdxPageSize;
    if (entry.HeaderPage == 0 || !bytes_.Read(offset, kMdxPageSize, block)) return false;
    // The FOR expression lies in the block's second page, when it has one.
    if (bytes_.GetSize() - offset >= header_.BlockSize) bytes_.Read(offset, header_.BlockSize, block);
    if (!DecodeMdxTagHeader(block.data(), block.size(), &h)) return false;
    IndexTagInfo tag;
    tag.Name = entry.Name;
    tag.Key = h.Key;
    tag.ForExpr = h.For;
    tag.Unique = h.Unique;
    tag.Descending = (h.KeyFormat & 0x08) != 0;
    tag.KeyLength = h.KeyLength;
    tag.KeyType = h.KeyType;
    tag.HeaderOffset = offset;
    tags_.push_back(tag);
    headers_.push_back(h);
    return true;
  }

  bool Walk(size_t tag, const std::function<bool(const IndexEntry&)>& each) override {
    if (tag >= tags_.size()) return Fail("no tag " + std::to_string(tag + 1));
    const MdxTagHeader& h = headers_[tag];
    if (h.ItemSize + 12 > header_.BlockSize) return Fail("tag " + tags_[tag].Name + ": keys larger than a block");
    std::vector<uint8_t> block;
    const IndexNodeReader read = [&](uint64_t offset, IndexNode* node, std::string* why) {
      if (!bytes_.Read(offset, header_.BlockSize, block)) {
        *why = "block at " + std::to_string(offset) + " lies past the end of the file";
        return false;
      }
      return DecodeMdxNode(block.data(), block.size(), h, node, why);
    };
    std::string why;
    return WalkIndexTree(uint64_t{h.RootPage} * kMdxPageSize, read, each, &why) || Fail(why);
  }

  IndexBytes bytes_;

 private:
  MdxHeader header_;
  std::vector<MdxTagHeader> headers_;
};

}  // namespace

std::unique_ptr<IndexFile> OpenMdxIndex(const std::string& path, IndexBytes bytes, std::string* error) {
  std::vector<uint8_t> first;
  MdxHeader h;
  if (!bytes.Read(0, kMdxHeaderSize, first) || !DecodeMdxHeader(first.data(), &h)) {
    *error = path + ": not a dBase IV index file";
    return nullptr;
  }
  auto index = std::make_unique<MdxIndex>(path, std::move(bytes), h);
  std::vector<uint8_t> entry;
  for (size_t i = 0; i < h.TagCount; ++i) {
    MdxTagEntry e;
    if (index->bytes_.Read(kMdxHeaderSize + i * h.EntrySize, h.EntrySize, entry)) e = DecodeMdxTagEntry(entry.data());
    if (!index->AddTag(e)) {
      *error = path + ": tag " + std::to_string(i + 1) + " has no readable header";
      return nullptr;
    }
  }
  return index;
}

}  // namespace tabulon
