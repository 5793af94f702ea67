// FoxPro's index files: the compound .cdx (a directory of tags, each a
// compact index) and the single-tag .idx, compact or in the older
// uncompressed layout.
#include "index_reader.h"

namespace tabulon {

bool DecodeFoxHeader(const uint8_t* bytes, size_t size, FoxHeader* header) {
  if (size < kFoxOldHeaderSize) return false;
  FoxHeader h;
  h.Root = IndexLe32(bytes);
  h.KeyLength = static_cast<uint16_t>(IndexLe16(bytes + 12));
  h.Options = bytes[14];
  const bool compact = (h.Options & kFoxCompact) != 0;
  if (compact && size < kFoxCompactHeaderSize) return false;
  // A key fills at most a page's entry area with its record and pointer.
  if (h.KeyLength == 0 || h.KeyLength > (compact ? 240 : 100)) return false;
  if (h.Root == 0 || h.Root % kFoxPageSize != 0) return false;
  if (compact) {
    h.Collation = IndexText(bytes + 494, 8);
    h.Descending = IndexLe16(bytes + 502) != 0;
    h.Key = IndexText(bytes + 512, 512);
    const size_t for_at = 512 + h.Key.size() + 1;
    if (for_at < kFoxCompactHeaderSize) h.For = IndexText(bytes + for_at, kFoxCompactHeaderSize - for_at);
  } else {
    h.Key = IndexText(bytes + 16, 220);
    h.For = IndexText(bytes + 236, 220);
  }
  *header = h;
  return true;
}

namespace {

bool DecodeCompactLeaf(const uint8_t* page, const FoxHeader& header, uint8_t fill, IndexNode* node,
                       std::string* why) {
  const size_t count = IndexLe16(page + 2);
  const unsigned record_bits = page[20], duplicate_bits = page[21], trailing_bits = page[22];
  const size_t entry_size = page[23];
  if (entry_size == 0 || entry_size > 8 || record_bits + duplicate_bits + trailing_bits > entry_size * 8 ||
      record_bits == 0 || record_bits > 32 || count * entry_size > kFoxPageSize - 24) {
    *why = "a leaf page's entry layout is impossible";
    return false;
  }
  const uint64_t record_mask = (uint64_t{1} << record_bits) - 1;
  const uint64_t duplicate_mask = (uint64_t{1} << duplicate_bits) - 1;
  const uint64_t trailing_mask = (uint64_t{1} << trailing_bits) - 1;
  const size_t key_length = header.KeyLength;
  size_t end = kFoxPageSize;  // the key bytes are packed downward from here
  std::string previous;
  node->Keys.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    uint64_t value = 0;
    for (size_t b = 0; b < entry_size; ++b) value |= uint64_t{page[24 + i * entry_size + b]} << (8 * b);
    IndexEntry entry;
    entry.Record = static_cast<uint32_t>(value & record_mask);
    const size_t duplicate = (value >> record_bits) & duplicate_mask;
    const size_t trailing = (value >> (record_bits + duplicate_bits)) & trailing_mask;
    if (duplicate > previous.size() || duplicate + trailing > key_length) {
      *why = "a leaf key's shared or cut bytes exceed its length";
      return false;
    }
    const size_t own = key_length - duplicate - trailing;
    if (end < 24 + count * entry_size + own) {
      *why = "a leaf page's keys overlap its entries";
      return false;
    }
    end -= own;
    entry.Key.reserve(key_length);
    entry.Key.assign(previous, 0, duplicate);
    entry.Key.append(reinterpret_cast<const char*>(page + end), own);
    entry.Key.append(trailing, static_cast<char>(fill));
    previous = entry.Key;
    node->Keys.push_back(std::move(entry));
  }
  return true;
}

}  // namespace

bool DecodeFoxNode(const uint8_t* page, const FoxHeader& header, uint8_t fill, IndexNode* node,
                   std::string* why) {
  *node = IndexNode{};
  const uint32_t attributes = IndexLe16(page);
  const size_t count = IndexLe16(page + 2);
  const bool compact = (header.Options & kFoxCompact) != 0;
  node->Leaf = (attributes & 2) != 0;
  // Visual FoxPro sets 0x04 as well on some pages.
  if (attributes > 7) {
    *why = "a page's attributes are not those of an index page";
    return false;
  }
  if (compact && node->Leaf) return DecodeCompactLeaf(page, header, fill, node, why);
  // Interior pages, and every page of the uncompressed layout: fixed items.
  const size_t item = header.KeyLength + (compact ? 8u : 4u);
  if (count * item > kFoxPageSize - 12) {
    *why = "a page holds more keys than fit";
    return false;
  }
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = page + 12 + i * item;
    IndexEntry entry;
    entry.Key.assign(reinterpret_cast<const char*>(p), header.KeyLength);
    const uint32_t pointer = IndexBe32(p + header.KeyLength + (compact ? 4 : 0));
    if (node->Leaf) {
      entry.Record = pointer;
    } else {
      if (compact) entry.Record = IndexBe32(p + header.KeyLength);
      if (pointer == 0 || pointer % kFoxPageSize != 0) {
        *why = "an interior page points between pages";
        return false;
      }
      node->Children.push_back(pointer);
    }
    node->Keys.push_back(std::move(entry));
  }
  return true;
}

namespace {

class FoxIndex final : public IndexFile {
 public:
  FoxIndex(IndexKind kind, const std::string& path, IndexBytes bytes)
      : IndexFile(kind, path), bytes_(std::move(bytes)) {}

  // The tag whose header is at offset; false when it is not one.
  bool AddTag(uint64_t offset, const std::string& name, const std::vector<IndexKeyField>& fields) {
    std::vector<uint8_t> bytes;
    if (!bytes_.Read(offset, kFoxOldHeaderSize, bytes)) return false;
    if ((bytes[14] & kFoxCompact) && !bytes_.Read(offset, kFoxCompactHeaderSize, bytes)) return false;
    FoxHeader h;
    if (!DecodeFoxHeader(bytes.data(), bytes.size(), &h)) return false;
    IndexTagInfo tag;
    tag.Name = name;
    tag.Key = h.Key;
    tag.ForExpr = h.For;
    tag.Unique = (h.Options & kFoxUnique) != 0;
    tag.Descending = h.Descending;
    tag.KeyLength = h.KeyLength;
    tag.KeyType = ResolveKeyType(h.Key, fields);
    tag.Collation = h.Collation.empty() ? "MACHINE" : h.Collation;
    tag.HeaderOffset = offset;
    tags_.push_back(tag);
    headers_.push_back(h);
    return true;
  }

  bool WalkHeader(const FoxHeader& h, uint8_t fill, const std::function<bool(const IndexEntry&)>& each,
                  std::string* why) {
    std::vector<uint8_t> page;
    const IndexNodeReader read = [&](uint64_t offset, IndexNode* node, std::string* problem) {
      if (!bytes_.Read(offset, kFoxPageSize, page)) {
        *problem = "page at " + std::to_string(offset) + " lies past the end of the file";
        return false;
      }
      return DecodeFoxNode(page.data(), h, fill, node, problem);
    };
    return WalkIndexTree(h.Root, read, each, why);
  }

  bool Walk(size_t tag, const std::function<bool(const IndexEntry&)>& each) override {
    if (tag >= tags_.size()) return Fail("no tag " + std::to_string(tag + 1));
    // Trailing blanks of character keys, zero bytes of binary ones.
    const char type = tags_[tag].KeyType;
    const uint8_t fill = type == 'C' || type == '?' ? ' ' : 0;
    std::string why;
    return WalkHeader(headers_[tag], fill, each, &why) || Fail(why);
  }

  IndexBytes bytes_;
  std::vector<FoxHeader> headers_;
};

std::string TrimTagName(std::string name) {
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
  return name;
}

}  // namespace

std::unique_ptr<IndexFile> OpenFoxIndex(const std::string& path, IndexKind kind, IndexBytes bytes,
                                        const std::vector<IndexKeyField>& fields, std::string* error) {
  auto index = std::make_unique<FoxIndex>(kind, path, std::move(bytes));
  std::vector<uint8_t> first;
  FoxHeader directory;
  if (!index->bytes_.Read(0, kFoxOldHeaderSize, first) ||
      ((first[14] & kFoxCompact) && !index->bytes_.Read(0, kFoxCompactHeaderSize, first)) ||
      !DecodeFoxHeader(first.data(), first.size(), &directory)) {
    *error = path + ": not a FoxPro index file";
    return nullptr;
  }
  if (!(directory.Options & kFoxCompound)) {
    index->AddTag(0, IndexBaseName(path), fields);
    return index;
  }
  // A compound file: the directory's keys name the tags, its records are
  // the offsets of their headers.
  std::vector<IndexEntry> entries;
  std::string why;
  if (!index->WalkHeader(directory, ' ', [&](const IndexEntry& e) {
        entries.push_back(e);
        return true;
      }, &why)) {
    *error = path + ": the tag directory is damaged: " + why;
    return nullptr;
  }
  for (const IndexEntry& e : entries) {
    if (!index->AddTag(e.Record, TrimTagName(e.Key), fields)) {
      *error = path + ": tag " + TrimTagName(e.Key) + " has no readable header";
      return nullptr;
    }
  }
  return index;
}

}  // namespace tabulon
