// dBase IV's .mdx written: a tag's B+tree changed one entry at a time
// (leaves split up to a new root, emptied blocks chained into the file's
// free list and taken from it again), and a whole file written anew.
#include <algorithm>
#include <cstring>

#include "index_layout.h"
#include "index_writer.h"

namespace tabulon {

size_t MdxBlockCapacity(const MdxTagHeader& header, size_t block_size) {
  if (header.ItemSize == 0 || block_size < 12u + header.ItemSize) return 0;
  const size_t fit = (block_size - 12) / header.ItemSize;
  return header.KeysPerBlock != 0 ? std::min<size_t>(fit, header.KeysPerBlock) : fit;
}

namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}

}  // namespace

void EncodeMdxCount(uint8_t* block, uint32_t count) { PutLe32(block, count); }

void EncodeMdxItem(uint8_t* block, size_t i, const MdxTagHeader& header, uint32_t pointer, const std::string& key) {
  uint8_t* p = block + 8 + i * header.ItemSize;
  PutLe32(p, pointer);
  std::memcpy(p + 4, key.data(), std::min<size_t>(key.size(), header.KeyLength));
}

void EncodeMdxLastPointer(uint8_t* block, size_t count, const MdxTagHeader& header, uint32_t pointer) {
  PutLe32(block + 8 + count * header.ItemSize, pointer);
}

namespace {

// No real tag is this deep: a deeper descent means pointers run in a loop.
constexpr size_t kMaxDepth = 32;

IndexValueType MdxKeyType(char stored, IndexValueType given) {
  switch (stored) {
    case 'C': return IndexValueType::Character;
    case 'N': return IndexValueType::Numeric;
    case 'D': return IndexValueType::Date;
    default: return given;
  }
}

struct MdxNode {
  uint32_t Page = 0;
  bool Leaf = true;
  std::vector<std::string> Keys;
  std::vector<uint32_t> Pointers;  // records in a leaf; a branch's children, one more than its keys
};

// One block on the way down, and which child (or, in the leaf, entry).
struct MdxStep {
  MdxNode Node;
  size_t Index = 0;
};
using MdxPath = std::vector<MdxStep>;

class MdxTagWriter final : public IndexTagWriter {
 public:
  MdxTagWriter(IndexPages& pages, uint64_t header_at, const MdxTagHeader& header, size_t block_size, size_t capacity,
               IndexValueType type)
      : pages_(pages),
        header_at_(header_at),
        h_(header),
        block_(block_size),
        capacity_(capacity),
        type_(type),
        descending_((header.KeyFormat & 0x08) != 0),
        buffer_(block_size) {}

  bool Insert(const std::string& key, uint32_t record, bool* added) override {
    if (added) *added = false;
    uint32_t root = 0;
    if (!CheckKey(key) || !Get(header_at_, &root)) return false;
    MdxPath path;
    bool found = false;
    if (h_.Unique) {
      if (!Search(root, key, nullptr, path, &found)) return false;
      if (found) return true;  // the first entry of a key stays the only one
    }
    if (!Descend(root, key, record, path)) return false;
    MdxNode& leaf = path.back().Node;
    leaf.Keys.insert(leaf.Keys.begin() + long(path.back().Index), key);
    leaf.Pointers.insert(leaf.Pointers.begin() + long(path.back().Index), record);
    bool split = false;
    for (size_t level = path.size() - 1;; --level) {
      MdxNode& node = path[level].Node;
      if (node.Keys.size() <= capacity_) {
        if (!Store(node)) return false;
        break;
      }
      // Full: the upper half moves to a new block; the parent gets the
      // highest key of the lower half.
      split = true;
      MdxNode right;
      right.Leaf = node.Leaf;
      if (!Allocate(&right.Page)) return false;
      const size_t half = node.Keys.size() / 2;
      std::string separator;
      if (node.Leaf) {
        right.Keys.assign(node.Keys.begin() + long(half), node.Keys.end());
        right.Pointers.assign(node.Pointers.begin() + long(half), node.Pointers.end());
        node.Keys.resize(half);
        node.Pointers.resize(half);
        separator = node.Keys.back();
      } else {
        separator = node.Keys[half];
        right.Keys.assign(node.Keys.begin() + long(half) + 1, node.Keys.end());
        right.Pointers.assign(node.Pointers.begin() + long(half) + 1, node.Pointers.end());
        node.Keys.resize(half);
        node.Pointers.resize(half + 1);
      }
      if (!Store(node) || !Store(right)) return false;
      if (level == 0) {
        MdxNode top;
        top.Leaf = false;
        if (!Allocate(&top.Page)) return false;
        top.Keys = {separator};
        top.Pointers = {node.Page, right.Page};
        if (!Store(top) || !Put(header_at_, top.Page)) return false;
        break;
      }
      MdxStep& parent = path[level - 1];
      parent.Node.Keys.insert(parent.Node.Keys.begin() + long(parent.Index), separator);
      parent.Node.Pointers.insert(parent.Node.Pointers.begin() + long(parent.Index) + 1, right.Page);
    }
    // The header's "has keys" mark, written only when it changes.
    uint8_t has_keys = 0;
    const uint8_t yes = 1;
    if (!pages_.Read(header_at_ + kMdxHasKeys, 1, &has_keys)) return Fail("the index file cannot be read");
    if (has_keys == 0 && !pages_.Write(header_at_ + kMdxHasKeys, &yes, 1))
      return Fail("the index file cannot be changed");
    if (split && !MarkLeaves()) return false;
    if (added) *added = true;
    return true;
  }

  bool Remove(const std::string& key, uint32_t record, bool* found) override {
    if (found) *found = false;
    uint32_t root = 0;
    MdxPath path;
    if (!CheckKey(key) || !Get(header_at_, &root) || !Descend(root, key, record, path)) return false;
    const MdxStep& place = path.back();
    bool held = place.Index < place.Node.Keys.size() && place.Node.Pointers[place.Index] == record &&
                Order(place.Node.Keys[place.Index], key) == 0;
    if (!held) {
      // Not where it belongs: files of other programs may order equal
      // keys otherwise.
      path.clear();
      if (!Search(root, key, &record, path, &held)) return false;
      if (!held) return true;
    }
    if (found) *found = true;
    size_t level = path.size() - 1;
    MdxNode& leaf = path[level].Node;
    const size_t at = path[level].Index;
    leaf.Keys.erase(leaf.Keys.begin() + long(at));
    leaf.Pointers.erase(leaf.Pointers.begin() + long(at));
    if (!leaf.Keys.empty() || level == 0) {
      if (!Store(leaf)) return false;
      return at < leaf.Keys.size() || leaf.Keys.empty() || Raise(path, level, leaf.Keys.back());
    }
    // The leaf is empty: out of its parent (and a parent left with no
    // child out of its own), its block to the free list.
    if (!Release(leaf.Page)) return false;
    while (level-- > 0) {
      MdxNode& node = path[level].Node;
      const size_t child = path[level].Index;
      std::string highest;
      if (child < node.Keys.size()) {
        node.Keys.erase(node.Keys.begin() + long(child));
        node.Pointers.erase(node.Pointers.begin() + long(child));
      } else if (!node.Keys.empty()) {
        // The last child went: the one before it is the last now, and its
        // key, the branch's highest, rises to the branches above.
        highest = node.Keys.back();
        node.Keys.pop_back();
        node.Pointers.pop_back();
      } else {
        node.Pointers.clear();
      }
      if (node.Pointers.empty()) {
        if (!Release(node.Page)) return false;
        continue;
      }
      if (!Store(node) || (!highest.empty() && !Raise(path, level, highest))) return false;
      return Shorten() && MarkLeaves();
    }
    // Every block went: the tag starts again from one empty leaf.
    MdxNode empty;
    return Allocate(&empty.Page) && Store(empty) && Put(header_at_, empty.Page) && MarkLeaves();
  }

 private:
  int Order(const std::string& a, const std::string& b) const {
    const int order = CompareIndexKeys(a, b, IndexKeyFormat::Mdx, type_);
    return descending_ ? -order : order;
  }
  // Whether entry (a, ra) comes before (b, rb) in the tag.
  bool Before(const std::string& a, uint32_t ra, const std::string& b, uint32_t rb) const {
    const int order = Order(a, b);
    return order != 0 ? order < 0 : ra < rb;
  }

  bool CheckKey(const std::string& key) {
    return key.size() == h_.KeyLength ||
           Fail("a key of " + std::to_string(key.size()) + " bytes for a tag of " + std::to_string(h_.KeyLength));
  }

  bool Get(uint64_t at, uint32_t* value) {
    uint8_t b[4];
    if (!pages_.Read(at, 4, b)) return Fail("the index file cannot be read");
    *value = IndexLe32(b);
    return true;
  }
  bool Put(uint64_t at, uint32_t value) {
    uint8_t b[4];
    PutLe32(b, value);
    return pages_.Write(at, b, 4) || Fail("the index file cannot be changed");
  }

  bool Read(uint32_t page, MdxNode* node) {
    const uint64_t at = uint64_t{page} * kMdxPageSize;
    if (page == 0 || !pages_.Read(at, block_, buffer_.data()))
      return Fail("block at page " + std::to_string(page) + " lies outside the index file");
    const uint8_t* b = buffer_.data();
    const size_t count = IndexLe32(b);
    if (count > (block_ - 12) / h_.ItemSize) return Fail("block at page " + std::to_string(page) + " overflows");
    node->Page = page;
    const uint32_t last = IndexLe32(b + 8 + count * h_.ItemSize);
    node->Leaf = last == 0;
    node->Keys.clear();
    node->Pointers.clear();
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* p = b + 8 + i * h_.ItemSize;
      node->Keys.emplace_back(reinterpret_cast<const char*>(p + 4), h_.KeyLength);
      node->Pointers.push_back(IndexLe32(p));
      if (!node->Leaf && node->Pointers.back() == 0) return Fail("a branch block lacks a pointer");
    }
    if (!node->Leaf) node->Pointers.push_back(last);
    return true;
  }

  bool Store(const MdxNode& node) {
    uint8_t* b = buffer_.data();
    std::memset(b, 0, block_);
    EncodeMdxCount(b, uint32_t(node.Keys.size()));
    for (size_t i = 0; i < node.Keys.size(); ++i) EncodeMdxItem(b, i, h_, node.Pointers[i], node.Keys[i]);
    if (!node.Leaf) EncodeMdxLastPointer(b, node.Keys.size(), h_, node.Pointers.back());
    return pages_.Write(uint64_t{node.Page} * kMdxPageSize, b, block_) || Fail("the index file cannot be changed");
  }

  // A block for the tag: the first of the free list, else one more at the
  // end of the file.
  bool Allocate(uint32_t* page) {
    uint32_t free_page = 0, used = 0, held = 0;
    if (!Get(kMdxFirstFree, &free_page) || !Get(kMdxPagesInUse, &used) || !Get(header_at_ + kMdxTagPages, &held))
      return false;
    const uint32_t pages_per_block = uint32_t(block_ / kMdxPageSize);
    if (free_page != 0) {
      uint32_t next = 0;
      const uint64_t at = uint64_t{free_page} * kMdxPageSize;
      if (at < kMdxHeaderSize || at + block_ > pages_.GetSize() || !Get(at + kMdxNextFree, &next))
        return Fail("the free block list points outside the index file");
      *page = free_page;
      if (!Put(kMdxFirstFree, next)) return false;
    } else {
      uint64_t end = std::max<uint64_t>(uint64_t{used} * kMdxPageSize, pages_.GetSize());
      end = (end + block_ - 1) / block_ * block_;
      if (end / kMdxPageSize + pages_per_block > UINT32_MAX) return Fail("the index file cannot grow further");
      *page = uint32_t(end / kMdxPageSize);
      std::vector<uint8_t> zeros(block_, 0);
      if (!pages_.Write(end, zeros.data(), block_) || !Put(kMdxPagesInUse, *page + pages_per_block))
        return Fail("the index file cannot grow");
    }
    return Put(header_at_ + kMdxTagPages, held + pages_per_block);
  }

  // An emptied block goes to the front of the free list.
  bool Release(uint32_t page) {
    uint32_t first = 0, held = 0;
    if (!Get(kMdxFirstFree, &first) || !Get(header_at_ + kMdxTagPages, &held)) return false;
    std::memset(buffer_.data(), 0, block_);
    PutLe32(buffer_.data() + kMdxNextFree, first);
    const uint32_t pages_per_block = uint32_t(block_ / kMdxPageSize);
    if (!pages_.Write(uint64_t{page} * kMdxPageSize, buffer_.data(), block_))
      return Fail("the index file cannot be changed");
    return Put(kMdxFirstFree, page) &&
           Put(header_at_ + kMdxTagPages, held >= pages_per_block ? held - pages_per_block : 0);
  }

  // Down to the place of (key, record): path ends at the leaf, Index the
  // first entry not before it. Among children whose keys equal key, the
  // first whose last entry is not before it (by halves: equal keys may
  // fill many blocks).
  bool Descend(uint32_t root, const std::string& key, uint32_t record, MdxPath& path) {
    path.clear();
    for (uint32_t page = root;;) {
      if (path.size() >= kMaxDepth) return Fail("the tag's blocks point in a loop");
      MdxStep step;
      if (!Read(page, &step.Node)) return false;
      const MdxNode& node = step.Node;
      size_t i = 0;
      if (node.Leaf) {
        while (i < node.Keys.size() && Before(node.Keys[i], node.Pointers[i], key, record)) ++i;
        step.Index = i;
        path.push_back(std::move(step));
        return true;
      }
      while (i < node.Keys.size() && Order(node.Keys[i], key) < 0) ++i;
      size_t equal_end = i;
      while (equal_end < node.Keys.size() && Order(node.Keys[equal_end], key) == 0) ++equal_end;
      for (size_t past = equal_end; i < past;) {
        const size_t middle = i + (past - i) / 2;
        bool after = false;
        if (!LastIsAfter(node.Pointers[middle], key, record, &after)) return false;
        if (after) past = middle;
        else i = middle + 1;
      }
      step.Index = i;
      page = node.Pointers[i];
      path.push_back(std::move(step));
    }
  }

  // Whether the last entry under page is not before (key, record).
  bool LastIsAfter(uint32_t page, const std::string& key, uint32_t record, bool* after) {
    for (size_t depth = 0; depth < kMaxDepth; ++depth) {
      const uint8_t* b = buffer_.data();
      if (page == 0 || !pages_.Read(uint64_t{page} * kMdxPageSize, block_, buffer_.data()))
        return Fail("block at page " + std::to_string(page) + " lies outside the index file");
      const size_t count = IndexLe32(b);
      if (count > (block_ - 12) / h_.ItemSize) return Fail("block at page " + std::to_string(page) + " overflows");
      const uint32_t last = IndexLe32(b + 8 + count * h_.ItemSize);
      if (last == 0) {
        const uint8_t* item = b + 8 + (count > 0 ? count - 1 : 0) * h_.ItemSize;
        *after = count > 0 && !Before(std::string(reinterpret_cast<const char*>(item + 4), h_.KeyLength),
                                      IndexLe32(item), key, record);
        return true;
      }
      page = last;
    }
    return Fail("the tag's blocks point in a loop");
  }

  // Finds an entry of key (of *record, when given) through every child
  // whose range may hold the key: files of other programs may order equal
  // keys otherwise. path ends at the leaf, Index the entry, when *found.
  bool Search(uint32_t page, const std::string& key, const uint32_t* record, MdxPath& path, bool* found) {
    if (path.size() >= kMaxDepth) return Fail("the tag's blocks point in a loop");
    const size_t level = path.size();
    path.emplace_back();
    if (!Read(page, &path[level].Node)) return false;
    if (path[level].Node.Leaf) {
      const MdxNode& leaf = path[level].Node;
      for (size_t i = 0; i < leaf.Keys.size(); ++i) {
        const int order = Order(leaf.Keys[i], key);
        if (order > 0) break;
        if (order == 0 && (!record || leaf.Pointers[i] == *record)) {
          path[level].Index = i;
          *found = true;
          return true;
        }
      }
    } else {
      const size_t count = path[level].Node.Keys.size();
      for (size_t i = 0; i <= count; ++i) {
        const MdxNode& node = path[level].Node;
        if (i > 0 && Order(node.Keys[i - 1], key) > 0) break;
        if (i < count && Order(node.Keys[i], key) < 0) continue;
        path[level].Index = i;
        if (!Search(node.Pointers[i], key, record, path, found)) return false;
        if (*found) return true;
      }
    }
    path.pop_back();
    return true;
  }

  // The highest key under path[level] became highest: the branches above
  // that keep it as a child's key take it.
  bool Raise(MdxPath& path, size_t level, const std::string& highest) {
    while (level-- > 0) {
      MdxStep& step = path[level];
      if (step.Index < step.Node.Keys.size()) {
        step.Node.Keys[step.Index] = highest;
        return Store(step.Node);
      }
    }
    return true;
  }

  // A root branch left with one child gives way to it.
  bool Shorten() {
    for (size_t depth = 0; depth < kMaxDepth; ++depth) {
      uint32_t root = 0;
      MdxNode node;
      if (!Get(header_at_, &root) || !Read(root, &node)) return false;
      if (node.Leaf || !node.Keys.empty()) return true;
      if (!Put(header_at_, node.Pointers[0]) || !Release(root)) return false;
    }
    return Fail("the tag's blocks point in a loop");
  }

  // The tag header keeps its first and last leaf.
  bool MarkLeaves() {
    for (const bool last : {false, true}) {
      uint32_t page = 0;
      if (!Get(header_at_, &page)) return false;
      MdxNode node;
      for (size_t depth = 0;; ++depth) {
        if (depth == kMaxDepth) return Fail("the tag's blocks point in a loop");
        if (!Read(page, &node)) return false;
        if (node.Leaf) break;
        page = last ? node.Pointers.back() : node.Pointers.front();
      }
      if (!Put(header_at_ + (last ? kMdxLastLeaf : kMdxFirstLeaf), page)) return false;
    }
    return true;
  }

  IndexPages& pages_;
  uint64_t header_at_;
  MdxTagHeader h_;
  size_t block_, capacity_;
  IndexValueType type_;
  bool descending_;
  std::vector<uint8_t> buffer_;
};

bool ReadAll(DbfFile& file, uint64_t at, size_t n, uint8_t* out) {
  size_t got = 0;
  return file.ReadAt(at, out, n, &got) && got == n;
}

// Blocks written in large sequential pieces.
class MdxOut {
 public:
  MdxOut(DbfFile& file, size_t block) : file_(file), block_(block) { buffer_.reserve(kPiece + block); }
  uint8_t* NewBlock() {
    if (buffer_.size() >= kPiece) Flush();
    buffer_.resize(buffer_.size() + block_, 0);
    return buffer_.data() + buffer_.size() - block_;
  }
  void Bytes(const uint8_t* b, size_t n) { buffer_.insert(buffer_.end(), b, b + n); }
  bool Flush() {
    ok_ = ok_ && (buffer_.empty() || file_.Write(buffer_.data(), buffer_.size()));
    buffer_.clear();
    return ok_;
  }

 private:
  static constexpr size_t kPiece = 1 << 20;
  DbfFile& file_;
  size_t block_;
  std::vector<uint8_t> buffer_;
  bool ok_ = true;
};

// One tag's part of the new file: where its header and blocks go.
struct MdxTagPlan {
  std::vector<uint8_t> Header;  // its header block, patched
  MdxTagHeader Decoded;
  size_t Capacity = 0;
  uint32_t HeaderPage = 0, FirstBlock = 0;
  std::vector<size_t> Levels;  // blocks on each level, leaves first
};

}  // namespace

std::unique_ptr<IndexTagWriter> OpenMdxTagWriter(IndexPages& pages, const IndexTagInfo& tag, IndexValueType type,
                                                 std::string* error) {
  uint8_t first[kMdxHeaderSize];
  MdxHeader file;
  if (!pages.Read(0, kMdxHeaderSize, first) || !DecodeMdxHeader(first, &file)) {
    *error = "not a dBase IV index file";
    return nullptr;
  }
  std::vector<uint8_t> block(file.BlockSize, 0);
  const uint64_t size = pages.GetSize();
  const size_t readable = size_t(std::min<uint64_t>(file.BlockSize, size - std::min(size, tag.HeaderOffset)));
  MdxTagHeader h;
  if (readable < kMdxPageSize || !pages.Read(tag.HeaderOffset, readable, block.data()) ||
      !DecodeMdxTagHeader(block.data(), readable, &h)) {
    *error = "tag " + tag.Name + " has no readable header";
    return nullptr;
  }
  const size_t capacity = MdxBlockCapacity(h, file.BlockSize);
  if (capacity < 2) {
    *error = "tag " + tag.Name + ": keys too large for its blocks";
    return nullptr;
  }
  return std::make_unique<MdxTagWriter>(pages, tag.HeaderOffset, h, file.BlockSize, capacity,
                                        MdxKeyType(h.KeyType, type));
}

bool BuildMdxIndexFile(DbfFile& old, const std::vector<IndexTagInfo>& tags,
                       const std::vector<std::vector<IndexEntry>>& entries, DbfFile& out, std::string* error) {
  uint8_t first[kMdxHeaderSize];
  MdxHeader file;
  uint64_t old_size = 0;
  if (!old.GetSize(&old_size) || !ReadAll(old, 0, kMdxHeaderSize, first) || !DecodeMdxHeader(first, &file)) {
    *error = "not a dBase IV index file";
    return false;
  }
  if (tags.size() != file.TagCount || entries.size() != tags.size()) {
    *error = "the tags given are not the file's";
    return false;
  }
  const size_t block = file.BlockSize;
  const uint32_t per_block = uint32_t(block / kMdxPageSize);
  // The file's header and tag table, kept as the bytes before the first
  // tag's header (dBase gives them four pages).
  size_t head = kMdxHeaderSize + size_t{file.TagCount} * file.EntrySize;
  uint64_t first_header = 4 * kMdxPageSize;
  for (const IndexTagInfo& tag : tags) first_header = std::min(first_header, tag.HeaderOffset);
  head = std::max<size_t>(head, size_t(first_header));
  std::vector<uint8_t> head_bytes((head + block - 1) / block * block, 0);
  if (!ReadAll(old, 0, std::min<size_t>(head, size_t(old_size)), head_bytes.data())) {
    *error = "the index file's header cannot be read";
    return false;
  }
  uint64_t page = head_bytes.size() / kMdxPageSize;
  std::vector<MdxTagPlan> plans(tags.size());
  for (size_t t = 0; t < tags.size(); ++t) {
    MdxTagPlan& plan = plans[t];
    plan.Header.assign(block, 0);
    const size_t readable = size_t(std::min<uint64_t>(block, old_size - std::min(old_size, tags[t].HeaderOffset)));
    if (readable < kMdxPageSize || !ReadAll(old, tags[t].HeaderOffset, readable, plan.Header.data()) ||
        !DecodeMdxTagHeader(plan.Header.data(), readable, &plan.Decoded)) {
      *error = "tag " + tags[t].Name + " has no readable header";
      return false;
    }
    plan.Capacity = MdxBlockCapacity(plan.Decoded, block);
    if (plan.Capacity < 2) {
      *error = "tag " + tags[t].Name + ": keys too large for its blocks";
      return false;
    }
    for (const IndexEntry& e : entries[t]) {
      if (e.Key.size() != plan.Decoded.KeyLength) {
        *error = "tag " + tags[t].Name + ": a key not of the tag's length";
        return false;
      }
    }
    // Leaves packed full, then branches of as many children as fit, the
    // children shared out evenly so that no branch is left with one.
    const size_t n = entries[t].size();
    plan.Levels.push_back(std::max<size_t>(1, (n + plan.Capacity - 1) / plan.Capacity));
    while (plan.Levels.back() > 1) plan.Levels.push_back((plan.Levels.back() + plan.Capacity) / (plan.Capacity + 1));
    size_t blocks = 0;
    for (size_t count : plan.Levels) blocks += count;
    plan.HeaderPage = uint32_t(page);
    plan.FirstBlock = uint32_t(page + per_block);
    page += per_block * (1 + blocks);
    if (page > UINT32_MAX) {
      *error = "the index file would grow past its page numbers";
      return false;
    }
    uint8_t* h = plan.Header.data();
    PutLe32(h, uint32_t(plan.FirstBlock + per_block * (blocks - 1)));
    PutLe32(h + kMdxTagPages, uint32_t(per_block * (1 + blocks)));
    h[kMdxHasKeys] = n > 0 ? 1 : 0;
    PutLe32(h + kMdxFirstLeaf, plan.FirstBlock);
    PutLe32(h + kMdxLastLeaf, uint32_t(plan.FirstBlock + per_block * (plan.Levels[0] - 1)));
    PutLe32(head_bytes.data() + kMdxHeaderSize + t * file.EntrySize, plan.HeaderPage);
  }
  PutLe32(head_bytes.data() + kMdxPagesInUse, uint32_t(page));
  PutLe32(head_bytes.data() + kMdxFirstFree, 0);

  MdxOut writer(out, block);
  if (!out.Seek(0)) {
    *error = "the new index file cannot be written";
    return false;
  }
  writer.Bytes(head_bytes.data(), head_bytes.size());
  struct Child {
    uint32_t Page;
    const std::string* Highest;
  };
  std::vector<Child> children, parents;
  for (size_t t = 0; t < tags.size(); ++t) {
    const MdxTagPlan& plan = plans[t];
    const MdxTagHeader& h = plan.Decoded;
    const std::vector<IndexEntry>& list = entries[t];
    writer.Bytes(plan.Header.data(), plan.Header.size());
    uint32_t next = plan.FirstBlock;
    children.clear();
    for (size_t leaf = 0; leaf < plan.Levels[0]; ++leaf, next += per_block) {
      uint8_t* b = writer.NewBlock();
      const size_t from = leaf * plan.Capacity, to = std::min(list.size(), from + plan.Capacity);
      EncodeMdxCount(b, uint32_t(to - from));
      for (size_t i = from; i < to; ++i) EncodeMdxItem(b, i - from, h, list[i].Record, list[i].Key);
      children.push_back({next, to > from ? &list[to - 1].Key : nullptr});
    }
    for (size_t level = 1; level < plan.Levels.size(); ++level) {
      const size_t groups = plan.Levels[level], base = children.size() / groups, extra = children.size() % groups;
      parents.clear();
      for (size_t g = 0, at = 0; g < groups; ++g, next += per_block) {
        const size_t size = base + (g < extra ? 1 : 0);
        uint8_t* b = writer.NewBlock();
        EncodeMdxCount(b, uint32_t(size - 1));
        for (size_t i = 0; i + 1 < size; ++i) EncodeMdxItem(b, i, h, children[at + i].Page, *children[at + i].Highest);
        EncodeMdxLastPointer(b, size - 1, h, children[at + size - 1].Page);
        parents.push_back({next, children[at + size - 1].Highest});
        at += size;
      }
      children.swap(parents);
    }
  }
  if (!writer.Flush()) {
    *error = "the new index file cannot be written";
    return false;
  }
  return true;
}

}  // namespace tabulon
