// FoxPro's .cdx and .idx written anew from each tag's sorted entries: full
// leaves, then the levels above, page after page in large writes; each
// header copied from the old file with the new root and no free pages.
#include <algorithm>
#include <cstring>

#include "index_fox_write.h"
#include "index_writer.h"

namespace tabulon {

namespace {

// Pages written one after another from a starting offset, in large writes.
class PageStream {
 public:
  PageStream(DbfFile& out, uint64_t at) : out_(out), start_(at) { buffer_.reserve(kFlushAt + kFoxPageSize); }
  uint64_t GetNext() const { return start_ + buffer_.size(); }
  uint8_t* NewPage() {
    if (buffer_.size() >= kFlushAt) Flush();
    buffer_.resize(buffer_.size() + kFoxPageSize, 0);
    return buffer_.data() + buffer_.size() - kFoxPageSize;
  }
  bool Flush() {
    if (!buffer_.empty() && !out_.WriteAt(start_, buffer_.data(), buffer_.size())) ok_ = false;
    start_ += buffer_.size();
    buffer_.clear();
    return ok_;
  }
  bool IsOk() const { return ok_; }

 private:
  static constexpr size_t kFlushAt = size_t{1} << 20;
  DbfFile& out_;
  uint64_t start_;
  std::vector<uint8_t> buffer_;
  bool ok_ = true;
};

// The bytes a compact leaf stores of key after previous (null: the page's
// first key), as EncodeFoxLeaf counts them.
size_t OwnBytes(const std::string& key, const std::string* previous, size_t length, uint8_t fill) {
  size_t trailing = 0;
  while (trailing < length && static_cast<uint8_t>(key[length - 1 - trailing]) == fill) ++trailing;
  size_t duplicate = 0;
  if (previous)
    while (duplicate < length - trailing && key[duplicate] == (*previous)[duplicate]) ++duplicate;
  return length - duplicate - trailing;
}

// A tag's tree from its sorted entries: full leaves, then each level above
// them, every page after the one before. *root: the top page.
bool WriteFoxTree(const std::vector<IndexEntry>& entries, size_t length, bool compact, uint8_t fill,
                  PageStream& out, uint64_t* root, std::string* error) {
  for (const IndexEntry& e : entries)
    if (e.Key.size() != length) {
      *error = "a key of the wrong length";
      return false;
    }
  // (highest entry, page) of each page of the level being written.
  std::vector<std::pair<const IndexEntry*, uint64_t>> level;
  const size_t n = entries.size();
  const size_t per_leaf = FoxItemsPerPage(length, false, true);
  size_t start = 0;
  do {
    size_t end = start;
    if (compact) {
      size_t stored = 0, entry_size = 0;
      uint32_t largest = 0;
      for (; end < n; ++end) {
        const size_t own = OwnBytes(entries[end].Key, end > start ? &entries[end - 1].Key : nullptr, length, fill);
        const uint32_t most = std::max(largest, entries[end].Record);
        const size_t size = most != largest || end == start ? FoxLeafLayout(length, most).EntrySize : entry_size;
        if (24 + (end - start + 1) * size + stored + own > kFoxPageSize) break;
        stored += own;
        largest = most;
        entry_size = size;
      }
    } else {
      end = std::min(n, start + per_leaf);
    }
    const uint64_t at = out.GetNext();
    uint8_t* page = out.NewPage();
    const bool only = start == 0 && end == n;
    EncodeFoxNodeHead(page, only ? kFoxRootNode | kFoxLeafNode : kFoxLeafNode, end - start,
                      start == 0 ? kFoxNone : static_cast<uint32_t>(at - kFoxPageSize),
                      end == n ? kFoxNone : static_cast<uint32_t>(at + kFoxPageSize));
    const bool encoded = compact ? EncodeFoxLeaf(entries.data() + start, end - start, length, fill, page)
                                 : EncodeFoxItems(entries.data() + start, nullptr, end - start, length, false, page);
    if (!encoded || (end == start && n > 0)) {
      *error = "a key does not fit in a page";
      return false;
    }
    level.emplace_back(end > start ? &entries[end - 1] : nullptr, at);
    start = end;
  } while (start < n);
  // The levels above: each item a child's highest entry and its offset.
  const size_t per_node = FoxItemsPerPage(length, compact, false);
  std::vector<IndexEntry> keys;
  std::vector<uint64_t> children;
  while (level.size() > 1) {
    std::vector<std::pair<const IndexEntry*, uint64_t>> above;
    for (size_t first = 0; first < level.size(); first += per_node) {
      const size_t last = std::min(level.size(), first + per_node);
      keys.clear();
      children.clear();
      for (size_t i = first; i < last; ++i) {
        keys.push_back(IndexEntry{level[i].first->Key, compact ? level[i].first->Record : 0});
        children.push_back(level[i].second);
      }
      const uint64_t at = out.GetNext();
      uint8_t* page = out.NewPage();
      EncodeFoxNodeHead(page, level.size() <= per_node ? kFoxRootNode : 0, keys.size(),
                        first == 0 ? kFoxNone : static_cast<uint32_t>(at - kFoxPageSize),
                        last == level.size() ? kFoxNone : static_cast<uint32_t>(at + kFoxPageSize));
      EncodeFoxItems(keys.data(), children.data(), keys.size(), length, compact, page);
      above.emplace_back(level[last - 1].first, at);
    }
    level.swap(above);
  }
  *root = level[0].second;
  return out.IsOk();
}

// A header copied from the old file with the new root and no free pages.
void SetFoxTreePointers(std::vector<uint8_t>& header, uint64_t root) {
  const bool compact = (header[14] & kFoxCompact) != 0;
  PutFoxLe32(header.data(), static_cast<uint32_t>(root));
  PutFoxLe32(header.data() + 4, compact ? 0 : kFoxNone);
}

}  // namespace

bool BuildFoxIndexFile(IndexKind, DbfFile& old, const std::vector<IndexTagInfo>& tags,
                       const std::vector<std::vector<IndexEntry>>& entries, DbfFile& out, std::string* error) {
  const auto read = [&](uint64_t at, size_t n, uint8_t* bytes) {
    size_t got = 0;
    return old.ReadAt(at, bytes, n, &got) && got == n;
  };
  std::vector<uint8_t> first;
  FoxHeader file_header;
  if (!ReadFoxHeader(read, 0, &first, &file_header)) {
    *error = "the old index file's header cannot be read";
    return false;
  }
  const bool compound = (file_header.Options & kFoxCompound) != 0;
  if (!compound && tags.size() != 1) {
    *error = "a single-tag index file needs one tag";
    return false;
  }
  const bool compact = (file_header.Options & kFoxCompact) != 0;
  PageStream pages(out, first.size());
  std::vector<IndexEntry> directory;
  for (size_t t = 0; t < tags.size(); ++t) {
    std::vector<uint8_t> header = first;
    FoxHeader tag_header = file_header;
    uint64_t header_at = 0;
    if (compound) {
      if (!ReadFoxHeader(read, tags[t].HeaderOffset, &header, &tag_header)) {
        *error = "tag " + tags[t].Name + " has no readable header";
        return false;
      }
      header_at = pages.GetNext();
      pages.NewPage();
      pages.NewPage();
    }
    const uint8_t fill = tags[t].KeyType == 'C' || tags[t].KeyType == '?' ? ' ' : 0;
    uint64_t root = 0;
    if (!WriteFoxTree(entries[t], tag_header.KeyLength, (tag_header.Options & kFoxCompact) != 0, fill, pages, &root,
                      error))
      return false;
    SetFoxTreePointers(header, root);
    if (compound) {
      if (!pages.Flush() || !out.WriteAt(header_at, header.data(), header.size())) {
        *error = "cannot write the index file";
        return false;
      }
      std::string name = tags[t].Name.substr(0, file_header.KeyLength);
      name.resize(file_header.KeyLength, ' ');
      directory.push_back(IndexEntry{name, static_cast<uint32_t>(header_at)});
    } else {
      first = header;
    }
  }
  if (compound) {
    // The tag directory: a compact tag of the names, in name order, whose
    // records are the headers' offsets.
    std::sort(directory.begin(), directory.end(),
              [](const IndexEntry& a, const IndexEntry& b) { return a.Key < b.Key; });
    uint64_t root = 0;
    if (!WriteFoxTree(directory, file_header.KeyLength, true, ' ', pages, &root, error)) return false;
    SetFoxTreePointers(first, root);
  }
  if (!pages.Flush()) {
    *error = "cannot write the index file";
    return false;
  }
  // The older layout keeps the file's end in its header.
  if (!compact) PutFoxLe32(first.data() + 8, static_cast<uint32_t>(pages.GetNext()));
  if (!out.WriteAt(0, first.data(), first.size())) {
    *error = "cannot write the index file";
    return false;
  }
  return true;
}

}  // namespace tabulon
