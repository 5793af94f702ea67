// FoxPro's .cdx and .idx: one tag changed a key at a time (a file written
// anew is index_fox_build.cpp's).
//
// A tag is a B+ tree whose interior items hold each child's highest key
// (with its record in the compact layout) and the child's offset; every
// level is a list linked left and right. Keys are kept in ascending order
// in descending tags too: FoxPro marks such a tag in its header (offset
// 502) and its runtimes walk the same tree backwards.
#include <algorithm>
#include <cstring>
#include <functional>

#include "index_fox_write.h"
#include "index_writer.h"

namespace tabulon {

namespace {


// Trailing fill: blanks after character keys, zero bytes after the others.
uint8_t FillOf(IndexValueType type) { return type == IndexValueType::Character ? ' ' : 0; }

struct FoxNode {
  uint64_t At = 0;
  uint16_t Attributes = 0;
  uint32_t Left = kFoxNone, Right = kFoxNone;
  bool Leaf = true;
  std::vector<IndexEntry> Keys;
  std::vector<uint64_t> Children;
};

// A node on the way down, and the item taken there.
struct Level {
  FoxNode Node;
  size_t Index = 0;
};

constexpr size_t kMostLevels = 64;

class FoxTagWriter final : public IndexTagWriter {
 public:
  FoxTagWriter(IndexPages& pages, uint64_t header_at, const FoxHeader& header, IndexValueType type)
      : pages_(pages),
        header_at_(header_at),
        header_(header),
        type_(type),
        fill_(FillOf(type)),
        compact_((header.Options & kFoxCompact) != 0),
        unique_((header.Options & kFoxUnique) != 0),
        root_(header.Root) {}

  bool Insert(const std::string& key, uint32_t record, bool* added) override {
    if (added) *added = false;
    if (key.size() != header_.KeyLength) return Fail("a key of the wrong length");
    // A unique tag looks for the key itself: (key, 0) comes before every
    // entry of that key.
    std::vector<Level> path;
    if (!Descend(IndexEntry{key, unique_ ? 0u : record}, &path)) return false;
    Level& leaf = path.back();
    if (unique_ && leaf.Index < leaf.Node.Keys.size() && CompareKeys(leaf.Node.Keys[leaf.Index].Key, key) == 0)
      return true;
    leaf.Node.Keys.insert(leaf.Node.Keys.begin() + long(leaf.Index), IndexEntry{key, record});
    if (!Settle(path, path.size() - 1) || !Touch()) return false;
    if (added) *added = true;
    return true;
  }

  bool Remove(const std::string& key, uint32_t record, bool* found) override {
    if (found) *found = false;
    // Where the order by record puts it; failing that, from the first entry
    // of the key on along the equal keys: other programs may keep them in
    // any order of records.
    std::vector<Level> path;
    if (!Descend(IndexEntry{key, record}, &path)) return false;
    const Level& at = path.back();
    if (at.Index < at.Node.Keys.size() && at.Node.Keys[at.Index].Record == record &&
        CompareKeys(at.Node.Keys[at.Index].Key, key) == 0) {
      // Found where it belongs: the loop below takes it at once.
    } else if (!Descend(IndexEntry{key, 0}, &path)) {
      return false;
    }
    for (;;) {
      Level& leaf = path.back();
      for (; leaf.Index < leaf.Node.Keys.size(); ++leaf.Index) {
        const IndexEntry& e = leaf.Node.Keys[leaf.Index];
        const int order = CompareKeys(e.Key, key);
        if (order > 0) return true;
        if (order == 0 && e.Record == record) {
          leaf.Node.Keys.erase(leaf.Node.Keys.begin() + long(leaf.Index));
          if (!Settle(path, path.size() - 1) || !Touch()) return false;
          if (found) *found = true;
          return true;
        }
      }
      bool more = false;
      if (!NextLeaf(&path, &more)) return false;
      if (!more) return true;
    }
  }

 private:
  int CompareKeys(const std::string& a, const std::string& b) const {
    return CompareIndexKeys(a, b, IndexKeyFormat::FoxPro, type_);
  }
  int Compare(const IndexEntry& a, const IndexEntry& b) const {
    const int order = CompareKeys(a.Key, b.Key);
    if (order != 0) return order;
    return a.Record < b.Record ? -1 : a.Record > b.Record ? 1 : 0;
  }

  bool ReadLe32(uint64_t at, uint32_t* value) {
    uint8_t b[4];
    if (!pages_.Read(at, 4, b)) return Fail("the index file is shorter than its pointers say");
    *value = IndexLe32(b);
    return true;
  }
  bool WriteLe32(uint64_t at, uint32_t value) {
    uint8_t b[4];
    PutFoxLe32(b, value);
    return pages_.Write(at, b, 4) || Fail("cannot change the index file");
  }

  bool ReadNode(uint64_t at, FoxNode* node) {
    uint8_t page[kFoxPageSize];
    if (at == 0 || at % kFoxPageSize != 0 || !pages_.Read(at, kFoxPageSize, page))
      return Fail("a page at " + std::to_string(at) + " lies outside the index file");
    IndexNode decoded;
    std::string why;
    if (!DecodeFoxNode(page, header_, fill_, &decoded, &why)) return Fail(why);
    node->At = at;
    node->Attributes = static_cast<uint16_t>(IndexLe16(page));
    node->Left = IndexLe32(page + 4);
    node->Right = IndexLe32(page + 8);
    // Some writers leave the links 0: the header's page, so never a node.
    if (node->Left == 0) node->Left = kFoxNone;
    if (node->Right == 0) node->Right = kFoxNone;
    node->Leaf = decoded.Leaf;
    node->Keys = std::move(decoded.Keys);
    node->Children = std::move(decoded.Children);
    return true;
  }

  bool Encode(const FoxNode& node, uint8_t* page) const {
    std::memset(page, 0, kFoxPageSize);
    const uint16_t attributes = static_cast<uint16_t>((node.Attributes & ~3u) | (node.Leaf ? kFoxLeafNode : 0) |
                                                      (node.At == root_ ? kFoxRootNode : 0));
    EncodeFoxNodeHead(page, attributes, node.Keys.size(), node.Left, node.Right);
    const size_t length = header_.KeyLength;
    if (node.Leaf && compact_) return EncodeFoxLeaf(node.Keys.data(), node.Keys.size(), length, fill_, page);
    return EncodeFoxItems(node.Keys.data(), node.Leaf ? nullptr : node.Children.data(), node.Keys.size(), length,
                          compact_, page);
  }

  // The highest entry under an interior item. The uncompressed layout keeps
  // no record there: among equal keys it is found in the rightmost leaf.
  bool HighOf(const FoxNode& node, size_t i, const IndexEntry& probe, IndexEntry* high) {
    *high = node.Keys[i];
    if (compact_ || CompareKeys(high->Key, probe.Key) != 0) return true;
    FoxNode below;
    uint64_t at = node.Children[i];
    for (size_t depth = 0; depth < kMostLevels; ++depth) {
      if (!ReadNode(at, &below)) return false;
      if (below.Keys.empty()) return true;
      if (below.Leaf) {
        *high = below.Keys.back();
        return true;
      }
      at = below.Children.back();
    }
    return Fail("the tag's tree is deeper than any index goes");
  }

  // The path to the leaf and the place in it of the first entry not below
  // probe.
  bool Descend(const IndexEntry& probe, std::vector<Level>* path) {
    path->clear();
    uint64_t at = root_;
    for (size_t depth = 0; depth < kMostLevels; ++depth) {
      Level level;
      if (!ReadNode(at, &level.Node)) return false;
      const FoxNode& node = level.Node;
      if (node.Leaf) {
        const auto place = std::lower_bound(node.Keys.begin(), node.Keys.end(), probe,
                                            [&](const IndexEntry& a, const IndexEntry& b) { return Compare(a, b) < 0; });
        level.Index = size_t(place - node.Keys.begin());
        path->push_back(std::move(level));
        return true;
      }
      if (node.Children.empty()) return Fail("an interior page of the tag holds no keys");
      level.Index = node.Children.size() - 1;
      for (size_t i = 0; i + 1 < node.Children.size(); ++i) {
        IndexEntry high;
        if (!HighOf(node, i, probe, &high)) return false;
        if (Compare(high, probe) >= 0) {
          level.Index = i;
          break;
        }
      }
      at = node.Children[level.Index];
      path->push_back(std::move(level));
    }
    return Fail("the tag's tree is deeper than any index goes");
  }

  // Moves the path to the next leaf, at its first entry; *more false at the
  // tag's end.
  bool NextLeaf(std::vector<Level>* path, bool* more) {
    size_t d = path->size() - 1;
    while (d > 0 && (*path)[d - 1].Index + 1 >= (*path)[d - 1].Node.Children.size()) --d;
    *more = d > 0;
    if (!*more) return true;
    path->resize(d);
    uint64_t at = (*path)[d - 1].Node.Children[++(*path)[d - 1].Index];
    for (size_t depth = d; depth < kMostLevels; ++depth) {
      Level level;
      if (!ReadNode(at, &level.Node)) return false;
      const bool leaf = level.Node.Leaf;
      if (!leaf && level.Node.Children.empty()) return Fail("an interior page of the tag holds no keys");
      if (!leaf) at = level.Node.Children[0];
      path->push_back(std::move(level));
      if (leaf) return true;
    }
    return Fail("the tag's tree is deeper than any index goes");
  }

  bool Allocate(uint64_t* at) {
    uint32_t head = 0;
    if (!ReadLe32(4, &head)) return false;
    if (head != 0 && head != kFoxNone && head % kFoxPageSize == 0 && head + kFoxPageSize <= pages_.GetSize()) {
      uint32_t next = 0;
      if (!ReadLe32(head, &next) || !WriteLe32(4, next)) return false;
      *at = head;
      return true;
    }
    *at = pages_.Append(kFoxPageSize, kFoxPageSize);
    return true;
  }

  // A page taken out of the tree heads the file's free list.
  bool Release(uint64_t at) {
    uint32_t head = 0;
    if (!ReadLe32(4, &head)) return false;
    uint8_t page[kFoxPageSize] = {};
    PutFoxLe32(page, head == kFoxNone ? FreeEnd() : head);
    return (pages_.Write(at, page, kFoxPageSize) || Fail("cannot change the index file")) &&
           WriteLe32(4, static_cast<uint32_t>(at));
  }
  // FoxPro ends a compact file's list with 0; the older layout with -1.
  uint32_t FreeEnd() const { return compact_ ? 0 : kFoxNone; }

  bool SetRoot(uint64_t at) {
    root_ = at;
    return WriteLe32(header_at_, static_cast<uint32_t>(at));
  }

  // After a change: a compact file's change counter (offset 8, big-endian)
  // tells other programs sharing it to drop their cached pages; the older
  // layout keeps the file's end there.
  bool Touch() {
    if (!compact_) return WriteLe32(8, static_cast<uint32_t>(pages_.GetSize()));
    uint8_t b[4];
    if (!pages_.Read(8, 4, b)) return Fail("cannot read the index header");
    const uint32_t version = IndexBe32(b) + 1;
    for (size_t i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(version >> (8 * (3 - i)));
    return pages_.Write(8, b, 4) || Fail("cannot change the index file");
  }

  bool WriteNode(const FoxNode& node) {
    uint8_t page[kFoxPageSize];
    if (!Encode(node, page)) return Fail("a page's keys do not fit after a split");
    return pages_.Write(node.At, page, kFoxPageSize) || Fail("cannot change the index file");
  }

  // Writes path[d] after its keys changed: a page left empty leaves the
  // tree, a page too full splits, and the parent learns a new highest key.
  bool Settle(std::vector<Level>& path, size_t d) {
    FoxNode& node = path[d].Node;
    if (d > 0 && node.Keys.empty()) {
      if (node.Left != kFoxNone && !WriteLe32(uint64_t{node.Left} + 8, node.Right)) return false;
      if (node.Right != kFoxNone && !WriteLe32(uint64_t{node.Right} + 4, node.Left)) return false;
      if (!Release(node.At)) return false;
      FoxNode& parent = path[d - 1].Node;
      const size_t i = path[d - 1].Index;
      parent.Keys.erase(parent.Keys.begin() + long(i));
      parent.Children.erase(parent.Children.begin() + long(i));
      return Settle(path, d - 1);
    }
    if (d == 0 && node.Keys.empty() && !node.Leaf) {
      node.Leaf = true;  // the tag is empty: its root is an empty leaf
      node.Children.clear();
    }
    uint8_t page[kFoxPageSize];
    if (Encode(node, page)) {
      if (!pages_.Write(node.At, page, kFoxPageSize)) return Fail("cannot change the index file");
      if (d == 0) return true;
      IndexEntry& item = path[d - 1].Node.Keys[path[d - 1].Index];
      const IndexEntry& high = node.Keys.back();
      if (item.Key == high.Key && (!compact_ || item.Record == high.Record)) return true;
      item = IndexEntry{high.Key, compact_ ? high.Record : 0};
      return Settle(path, d - 1);
    }
    return Split(path, d);
  }

  bool Split(std::vector<Level>& path, size_t d) {
    FoxNode& left = path[d].Node;
    const size_t n = left.Keys.size();
    if (n < 2) return Fail("a key does not fit in a page");
    FoxNode right;
    right.Leaf = left.Leaf;
    right.Attributes = static_cast<uint16_t>(left.Attributes & ~kFoxRootNode);
    if (!Allocate(&right.At)) return false;
    // The middle by count; a compact leaf's halves are tried outward from
    // it until both fit (the right half's first key shares no bytes).
    uint8_t scratch[kFoxPageSize];
    size_t middle = n / 2;
    for (size_t step = 0; step < n; ++step) {
      const size_t m = step % 2 ? n / 2 - (step + 1) / 2 : n / 2 + step / 2;
      if (m == 0 || m >= n) continue;
      FoxNode a = left, b = right;
      a.Keys.assign(left.Keys.begin(), left.Keys.begin() + long(m));
      b.Keys.assign(left.Keys.begin() + long(m), left.Keys.end());
      if (!a.Leaf) {
        a.Children.assign(left.Children.begin(), left.Children.begin() + long(m));
        b.Children.assign(left.Children.begin() + long(m), left.Children.end());
      }
      if (Encode(a, scratch) && Encode(b, scratch)) {
        middle = m;
        break;
      }
    }
    right.Keys.assign(left.Keys.begin() + long(middle), left.Keys.end());
    left.Keys.resize(middle);
    if (!left.Leaf) {
      right.Children.assign(left.Children.begin() + long(middle), left.Children.end());
      left.Children.resize(middle);
    }
    right.Left = static_cast<uint32_t>(left.At);
    right.Right = left.Right;
    if (left.Right != kFoxNone && !WriteLe32(uint64_t{left.Right} + 4, static_cast<uint32_t>(right.At))) return false;
    left.Right = static_cast<uint32_t>(right.At);
    if (d == 0) {
      FoxNode top;
      top.Leaf = false;
      if (!Allocate(&top.At)) return false;
      top.Keys = {HighItem(left), HighItem(right)};
      top.Children = {left.At, right.At};
      if (!SetRoot(top.At) || !WriteNode(left) || !WriteNode(right)) return false;
      return WriteNode(top);
    }
    if (!WriteNode(left) || !WriteNode(right)) return false;
    FoxNode& parent = path[d - 1].Node;
    const size_t i = path[d - 1].Index;
    parent.Keys[i] = HighItem(left);
    parent.Keys.insert(parent.Keys.begin() + long(i) + 1, HighItem(right));
    parent.Children.insert(parent.Children.begin() + long(i) + 1, right.At);
    return Settle(path, d - 1);
  }

  IndexEntry HighItem(const FoxNode& node) const {
    return IndexEntry{node.Keys.back().Key, compact_ ? node.Keys.back().Record : 0};
  }

  IndexPages& pages_;
  uint64_t header_at_;
  FoxHeader header_;
  IndexValueType type_;
  uint8_t fill_;
  bool compact_, unique_;
  uint64_t root_;
};

}  // namespace

std::unique_ptr<IndexTagWriter> OpenFoxTagWriter(IndexKind, IndexPages& pages, const IndexTagInfo& tag,
                                                 IndexValueType type, std::string* error) {
  std::vector<uint8_t> bytes;
  FoxHeader header;
  const auto read = [&](uint64_t at, size_t n, uint8_t* out) { return pages.Read(at, n, out); };
  if (!ReadFoxHeader(read, tag.HeaderOffset, &bytes, &header)) {
    *error = "tag " + tag.Name + " has no readable header";
    return nullptr;
  }
  return std::make_unique<FoxTagWriter>(pages, tag.HeaderOffset, header, type);
}

void PutFoxLe32(uint8_t* p, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool ReadFoxHeader(const std::function<bool(uint64_t, size_t, uint8_t*)>& read, uint64_t at,
                   std::vector<uint8_t>* bytes, FoxHeader* header) {
  bytes->assign(kFoxCompactHeaderSize, 0);
  if (!read(at, kFoxOldHeaderSize, bytes->data())) return false;
  const bool compact = ((*bytes)[14] & kFoxCompact) != 0;
  if (compact && !read(at + kFoxOldHeaderSize, kFoxCompactHeaderSize - kFoxOldHeaderSize,
                       bytes->data() + kFoxOldHeaderSize))
    return false;
  bytes->resize(compact ? kFoxCompactHeaderSize : kFoxOldHeaderSize);
  return DecodeFoxHeader(bytes->data(), bytes->size(), header);
}


}  // namespace tabulon
