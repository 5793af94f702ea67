// Clipper's .ntx written: a B-tree whose keys are records at every level.
// A change descends from the root, splits a full page in two around its
// middle key (the lower half to a new page, so that the parent's pointer
// to the old page stays true), and after a removal refills a page left
// under half from a sibling or merges the two; pages freed go to the
// header's chain of free pages and are taken from it first.
#include <algorithm>
#include <cstring>

#include "index_layout.h"
#include "index_writer.h"

namespace tabulon {

namespace {

void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

void PutLe32(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

size_t NtxItemOffset(const NtxHeader& header, size_t slot) {
  return 2 + 2 * (size_t{header.MaxItems} + 1) + slot * header.ItemSize;
}

}  // namespace

void EncodeNtxPage(uint8_t* page, const NtxHeader& header, size_t count) {
  PutLe16(page, uint32_t(count));
  for (size_t slot = 0; slot <= header.MaxItems; ++slot)
    PutLe16(page + 2 + 2 * slot, uint32_t(NtxItemOffset(header, slot)));
}

void EncodeNtxItem(uint8_t* page, const NtxHeader& header, size_t slot, uint64_t child, uint32_t record,
                   const char* key) {
  const size_t at = NtxItemOffset(header, slot);
  PutLe32(page + at, child);
  // The last slot of a full page may hold no more than its child.
  if (at + 8 <= kNtxPageSize) PutLe32(page + at + 4, record);
  if (key) std::memcpy(page + at + 8, key, header.KeyLength);
}

void EncodeNtxNode(const IndexNode& node, const NtxHeader& header, uint8_t* page) {
  std::memset(page, 0, kNtxPageSize);
  EncodeNtxPage(page, header, node.Keys.size());
  for (size_t i = 0; i < node.Keys.size(); ++i)
    EncodeNtxItem(page, header, i, node.Children.empty() ? 0 : node.Children[i], node.Keys[i].Record,
                  node.Keys[i].Key.data());
  if (!node.Children.empty()) EncodeNtxItem(page, header, node.Keys.size(), node.Children.back(), 0, nullptr);
}

void EncodeNtxPointers(uint8_t* header, uint64_t root, uint64_t next_free) {
  PutLe32(header + 4, root);
  PutLe32(header + 8, next_free);
}

namespace {

// Deeper than any real tree: a file that leads further is damaged.
constexpr size_t kMaxDepth = 40;

class NtxTagWriter : public IndexTagWriter {
 public:
  NtxTagWriter(IndexPages& pages, const NtxHeader& header, uint64_t header_offset, IndexValueType type,
               bool unique, bool descending)
      : pages_(pages), header_(header), header_offset_(header_offset), type_(type), unique_(unique),
        descending_(descending), max_(header.MaxItems),
        half_(std::min<size_t>(header.HalfItems ? header.HalfItems : header.MaxItems / 2, header.MaxItems / 2)) {}

  bool Insert(const std::string& key, uint32_t record, bool* added) override {
    if (added) *added = false;
    if (key.size() != header_.KeyLength) return Fail("a key of the wrong length");
    if (unique_) {
      bool held = false;
      if (!Holds(key, &held)) return false;
      if (held) return true;
    }
    std::vector<Step> path;
    uint64_t at = header_.Root;
    for (;;) {
      Step step{at, {}, 0};
      if (path.size() >= kMaxDepth || !Load(at, &step.node)) return Fail("the index is damaged");
      const auto& keys = step.node.Keys;
      step.index = size_t(std::upper_bound(keys.begin(), keys.end(), 0,
                                           [&](int, const IndexEntry& e) { return Order(key, record, e) < 0; }) -
                          keys.begin());
      path.push_back(std::move(step));
      if (path.back().node.Leaf) break;
      at = path.back().node.Children[path.back().index];
    }
    IndexEntry carry{key, record};
    uint64_t carry_child = 0;  // the page of keys below carry
    for (size_t level = path.size(); level-- > 0;) {
      Step& step = path[level];
      IndexNode& node = step.node;
      node.Keys.insert(node.Keys.begin() + long(step.index), carry);
      if (!node.Leaf) node.Children.insert(node.Children.begin() + long(step.index), carry_child);
      if (node.Keys.size() <= max_) {
        if (!Store(step.page, node)) return false;
        if (added) *added = true;
        return true;
      }
      // Full: the lower half moves to a new page, the middle key goes up.
      const size_t middle = node.Keys.size() / 2;
      IndexNode lower;
      lower.Leaf = node.Leaf;
      lower.Keys.assign(node.Keys.begin(), node.Keys.begin() + long(middle));
      carry = node.Keys[middle];
      node.Keys.erase(node.Keys.begin(), node.Keys.begin() + long(middle) + 1);
      if (!node.Leaf) {
        lower.Children.assign(node.Children.begin(), node.Children.begin() + long(middle) + 1);
        node.Children.erase(node.Children.begin(), node.Children.begin() + long(middle) + 1);
      }
      uint64_t lower_page = 0;
      if (!NewPage(&lower_page) || !Store(lower_page, lower) || !Store(step.page, node)) return false;
      carry_child = lower_page;
    }
    // The root split: a new root above the two halves.
    IndexNode root;
    root.Leaf = false;
    root.Keys.push_back(carry);
    root.Children = {carry_child, header_.Root};
    uint64_t root_page = 0;
    if (!NewPage(&root_page) || !Store(root_page, root)) return false;
    header_.Root = root_page;
    if (!StoreHeader()) return false;
    if (added) *added = true;
    return true;
  }

  bool Remove(const std::string& key, uint32_t record, bool* found) override {
    if (found) *found = false;
    if (key.size() != header_.KeyLength) return true;
    std::vector<Step> path;
    bool hit = false;
    if (!FindExact(key, record, &path, &hit)) return false;
    if (!hit) {
      // Another program may have kept equal keys in another order.
      path.clear();
      if (!FindAmongEqual(header_.Root, key, record, &path, &hit)) return false;
      if (!hit) return true;
    }
    const size_t holder = path.size() - 1;
    const size_t index = path[holder].index;
    if (path[holder].node.Leaf) {
      IndexNode& leaf = path[holder].node;
      leaf.Keys.erase(leaf.Keys.begin() + long(index));
      if (!Store(path[holder].page, leaf)) return false;
    } else {
      // An interior key takes its predecessor's place: the last key of
      // the rightmost leaf below the child on its left.
      uint64_t at = path[holder].node.Children[index];
      for (;;) {
        Step step{at, {}, 0};
        if (path.size() >= kMaxDepth || !Load(at, &step.node)) return Fail("the index is damaged");
        if (step.node.Leaf) {
          if (step.node.Keys.empty()) return Fail("the index is damaged");
          step.index = step.node.Keys.size() - 1;
          path.push_back(std::move(step));
          break;
        }
        step.index = step.node.Children.size() - 1;
        at = step.node.Children.back();
        path.push_back(std::move(step));
      }
      IndexNode& leaf = path.back().node;
      path[holder].node.Keys[index] = std::move(leaf.Keys.back());
      leaf.Keys.pop_back();
      if (!Store(path[holder].page, path[holder].node) || !Store(path.back().page, leaf)) return false;
    }
    if (!Rebalance(path)) return false;
    if (found) *found = true;
    return true;
  }

 private:
  // A page on the way down and the place taken in it (the key found or
  // the child followed).
  struct Step {
    uint64_t page;
    IndexNode node;
    size_t index;
  };

  int Compare(const std::string& a, const std::string& b) const {
    const int order = CompareIndexKeys(a, b, IndexKeyFormat::Ntx, type_);
    return descending_ ? -order : order;
  }

  int Order(const std::string& key, uint32_t record, const IndexEntry& e) const {
    const int order = Compare(key, e.Key);
    if (order != 0) return order;
    return record < e.Record ? -1 : record > e.Record ? 1 : 0;
  }

  bool Load(uint64_t page, IndexNode* node) {
    uint8_t bytes[kNtxPageSize];
    std::string why;
    if (page < kNtxPageSize || page % kNtxPageSize != 0 || !pages_.Read(page, kNtxPageSize, bytes) ||
        !DecodeNtxNode(bytes, header_, node, &why))
      return false;
    return true;
  }

  bool Store(uint64_t page, const IndexNode& node) {
    uint8_t bytes[kNtxPageSize];
    EncodeNtxNode(node, header_, bytes);
    return pages_.Write(page, bytes, kNtxPageSize) || Fail("cannot write the index");
  }

  bool StoreHeader() {
    uint8_t bytes[12];
    if (!pages_.Read(header_offset_, sizeof bytes, bytes)) return Fail("cannot read the index header");
    EncodeNtxPointers(bytes, header_.Root, header_.NextFree);
    return pages_.Write(header_offset_, bytes, sizeof bytes) || Fail("cannot write the index");
  }

  // A page from the free chain, else a new one at the end.
  bool NewPage(uint64_t* page) {
    const uint64_t next = header_.NextFree;
    uint8_t bytes[kNtxPageSize];
    if (next != 0 && next % kNtxPageSize == 0 && next >= kNtxPageSize &&
        pages_.Read(next, kNtxPageSize, bytes)) {
      const size_t first = IndexLe16(bytes + 2);
      const uint64_t after = first + 4 <= kNtxPageSize ? IndexLe32(bytes + first) : 0;
      // A chain that leads astray is dropped rather than followed.
      header_.NextFree = after % kNtxPageSize == 0 && after + kNtxPageSize <= pages_.GetSize() ? after : 0;
      *page = next;
    } else {
      header_.NextFree = 0;
      *page = pages_.Append(kNtxPageSize, kNtxPageSize);
    }
    return StoreHeader();
  }

  bool FreePage(uint64_t page) {
    uint8_t bytes[kNtxPageSize] = {};
    EncodeNtxPage(bytes, header_, 0);
    EncodeNtxItem(bytes, header_, 0, header_.NextFree, 0, nullptr);
    if (!pages_.Write(page, bytes, kNtxPageSize)) return Fail("cannot write the index");
    header_.NextFree = page;
    return StoreHeader();
  }

  // Whether a unique tag holds key already.
  bool Holds(const std::string& key, bool* held) {
    *held = false;
    uint64_t at = header_.Root;
    for (size_t depth = 0;; ++depth) {
      IndexNode node;
      if (depth >= kMaxDepth || !Load(at, &node)) return Fail("the index is damaged");
      const auto it = std::lower_bound(node.Keys.begin(), node.Keys.end(), key,
                                       [&](const IndexEntry& e, const std::string& k) { return Compare(e.Key, k) < 0; });
      if (it != node.Keys.end() && Compare(it->Key, key) == 0) {
        *held = true;
        return true;
      }
      if (node.Leaf) return true;
      at = node.Children[size_t(it - node.Keys.begin())];
    }
  }

  // Down the tree by key and record; path ends at the page holding the
  // entry (hit) or at the leaf where it would be.
  bool FindExact(const std::string& key, uint32_t record, std::vector<Step>* path, bool* hit) {
    uint64_t at = header_.Root;
    for (;;) {
      Step step{at, {}, 0};
      if (path->size() >= kMaxDepth || !Load(at, &step.node)) return Fail("the index is damaged");
      const auto& keys = step.node.Keys;
      const auto it = std::lower_bound(keys.begin(), keys.end(), 0,
                                       [&](const IndexEntry& e, int) { return Order(key, record, e) > 0; });
      step.index = size_t(it - keys.begin());
      *hit = it != keys.end() && Order(key, record, *it) == 0;
      path->push_back(std::move(step));
      if (*hit || path->back().node.Leaf) return true;
      at = path->back().node.Children[path->back().index];
    }
  }

  // Every entry of key below page, in whatever order of records.
  bool FindAmongEqual(uint64_t page, const std::string& key, uint32_t record, std::vector<Step>* path, bool* hit) {
    Step step{page, {}, 0};
    if (path->size() >= kMaxDepth || !Load(page, &step.node)) return Fail("the index is damaged");
    const auto& keys = step.node.Keys;
    size_t i = size_t(std::lower_bound(keys.begin(), keys.end(), key,
                                       [&](const IndexEntry& e, const std::string& k) { return Compare(e.Key, k) < 0; }) -
                      keys.begin());
    path->push_back(std::move(step));
    for (;; ++i) {
      Step& here = path->back();
      here.index = i;
      if (!here.node.Leaf) {
        if (!FindAmongEqual(here.node.Children[i], key, record, path, hit)) return false;
        if (*hit) return true;
      }
      Step& again = path->back();
      again.index = i;
      if (i >= again.node.Keys.size() || Compare(again.node.Keys[i].Key, key) != 0) break;
      if (again.node.Keys[i].Record == record) {
        *hit = true;
        return true;
      }
    }
    path->pop_back();
    return true;
  }

  // After a removal at the end of path: a page under half takes a key from
  // a sibling through the parent, or is merged with one; an empty interior
  // root gives way to its one child.
  bool Rebalance(std::vector<Step>& path) {
    for (size_t level = path.size() - 1; level > 0; --level) {
      IndexNode& node = path[level].node;
      if (node.Keys.size() >= half_ && !node.Keys.empty()) break;
      Step& parent = path[level - 1];
      const size_t at = parent.index;
      IndexNode left, right;
      const bool has_left = at > 0, has_right = at < parent.node.Keys.size();
      if (has_left && !Load(parent.node.Children[at - 1], &left)) return Fail("the index is damaged");
      if (has_right && !Load(parent.node.Children[at + 1], &right)) return Fail("the index is damaged");
      if (has_left && left.Keys.size() > half_ && left.Leaf == node.Leaf) {
        node.Keys.insert(node.Keys.begin(), parent.node.Keys[at - 1]);
        parent.node.Keys[at - 1] = std::move(left.Keys.back());
        left.Keys.pop_back();
        if (!node.Leaf) {
          node.Children.insert(node.Children.begin(), left.Children.back());
          left.Children.pop_back();
        }
        return Store(parent.node.Children[at - 1], left) && Store(path[level].page, node) &&
               Store(parent.page, parent.node);
      }
      if (has_right && right.Keys.size() > half_ && right.Leaf == node.Leaf) {
        node.Keys.push_back(parent.node.Keys[at]);
        parent.node.Keys[at] = std::move(right.Keys.front());
        right.Keys.erase(right.Keys.begin());
        if (!node.Leaf) {
          node.Children.push_back(right.Children.front());
          right.Children.erase(right.Children.begin());
        }
        return Store(parent.node.Children[at + 1], right) && Store(path[level].page, node) &&
               Store(parent.page, parent.node);
      }
      if (!has_left && !has_right) break;
      // Merge into the left page of the pair; the right one is freed.
      const size_t first = has_left ? at - 1 : at;
      IndexNode& lower = has_left ? left : node;
      IndexNode& upper = has_left ? node : right;
      if (lower.Leaf != upper.Leaf || lower.Keys.size() + upper.Keys.size() + 1 > max_) break;
      lower.Keys.push_back(std::move(parent.node.Keys[first]));
      lower.Keys.insert(lower.Keys.end(), upper.Keys.begin(), upper.Keys.end());
      lower.Children.insert(lower.Children.end(), upper.Children.begin(), upper.Children.end());
      const uint64_t freed = parent.node.Children[first + 1];
      parent.node.Keys.erase(parent.node.Keys.begin() + long(first));
      parent.node.Children.erase(parent.node.Children.begin() + long(first) + 1);
      if (!Store(parent.node.Children[first], lower) || !FreePage(freed) || !Store(parent.page, parent.node))
        return false;
    }
    if (!path[0].node.Leaf && path[0].node.Keys.empty()) {
      const uint64_t old_root = header_.Root;
      header_.Root = path[0].node.Children[0];
      if (!StoreHeader() || !FreePage(old_root)) return false;
    }
    return true;
  }

  IndexPages& pages_;
  NtxHeader header_;
  uint64_t header_offset_;
  IndexValueType type_;
  bool unique_, descending_;
  size_t max_, half_;
};

}  // namespace

std::unique_ptr<IndexTagWriter> OpenNtxTagWriter(IndexPages& pages, const IndexTagInfo& tag, IndexValueType type,
                                                 std::string* error) {
  uint8_t bytes[kNtxPageSize];
  NtxHeader header;
  if (!pages.Read(tag.HeaderOffset, kNtxPageSize, bytes) || !DecodeNtxHeader(bytes, &header)) {
    *error = "not a Clipper index header";
    return nullptr;
  }
  if (header.MaxItems < 2) {
    *error = "Clipper index pages too small to change";
    return nullptr;
  }
  return std::make_unique<NtxTagWriter>(pages, header, tag.HeaderOffset, type, header.Unique, header.Descending);
}

bool BuildNtxIndexFile(DbfFile& old, const std::vector<IndexTagInfo>& tags,
                       const std::vector<std::vector<IndexEntry>>& entries, DbfFile& out, std::string* error) {
  if (tags.size() != 1 || entries.size() != 1) {
    *error = "a Clipper index holds one tag";
    return false;
  }
  std::vector<uint8_t> header_bytes(kNtxPageSize);
  size_t got = 0;
  NtxHeader header;
  if (!old.ReadAt(0, header_bytes.data(), kNtxPageSize, &got) || got != kNtxPageSize ||
      !DecodeNtxHeader(header_bytes.data(), &header) || header.MaxItems < 2) {
    *error = "not a Clipper index header";
    return false;
  }
  const std::vector<IndexEntry>& all = entries[0];
  // Each level: its pages, and their key counts spread evenly (full pages
  // but for rounding); the keys between pages go to the level above.
  const size_t max = header.MaxItems;
  struct Level {
    size_t pages, base, extra, page = 0, count = 0;
    std::vector<uint8_t> bytes;
  };
  std::vector<Level> levels;
  size_t total_pages = 0;
  for (size_t keys = all.size();;) {
    const size_t pages = (keys + 1 + max) / (max + 1);
    const size_t own = keys - (pages - 1);
    levels.push_back(Level{pages, own / pages, own % pages, 0, 0, std::vector<uint8_t>(kNtxPageSize, 0)});
    total_pages += pages;
    if (pages == 1) break;
    keys = pages - 1;
  }
  // Pages are written as they fill, the root last.
  EncodeNtxPointers(header_bytes.data(), uint64_t(total_pages) * kNtxPageSize, 0);
  std::vector<uint8_t> buffer;
  constexpr size_t kFlush = 1 << 20;
  buffer.reserve(kFlush + kNtxPageSize);
  buffer.insert(buffer.end(), header_bytes.begin(), header_bytes.end());
  uint64_t written = kNtxPageSize;
  bool ok = out.Seek(0);
  const auto finish = [&](Level& level, uint64_t child) {
    if (child != 0) EncodeNtxItem(level.bytes.data(), header, level.count, child, 0, nullptr);
    EncodeNtxPage(level.bytes.data(), header, level.count);
    buffer.insert(buffer.end(), level.bytes.begin(), level.bytes.end());
    std::fill(level.bytes.begin(), level.bytes.end(), 0);
    ++level.page;
    level.count = 0;
    if (buffer.size() >= kFlush) {
      ok = ok && out.Write(buffer.data(), buffer.size());
      buffer.clear();
    }
    written += kNtxPageSize;
    return written - kNtxPageSize;
  };
  for (const IndexEntry& e : all) {
    uint64_t child = 0;
    size_t l = 0;
    while (l + 1 < levels.size() && levels[l].count == levels[l].base + (levels[l].page < levels[l].extra ? 1 : 0)) {
      child = finish(levels[l], child);
      ++l;
    }
    EncodeNtxItem(levels[l].bytes.data(), header, levels[l].count++, child, e.Record, e.Key.data());
  }
  uint64_t child = 0;
  for (Level& level : levels) child = finish(level, child);
  ok = ok && (buffer.empty() || out.Write(buffer.data(), buffer.size()));
  if (!ok) *error = "cannot write the index";
  return ok;
}

}  // namespace tabulon
