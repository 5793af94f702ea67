// dBase III's .ndx written: a B+ tree whose leaves hold every entry and
// whose interior keys are each the highest key below their child. A full
// page splits in two (the lower half to a new page, so that the parent's
// pointer to the old page and its key stay true); a page left empty is
// taken out of its parent. The format keeps no free list: a page freed is
// cleared (count 0, so that nothing scanning the file finds stale keys)
// and reused by this writer while it lives; a rebuild drops the rest.
#include <algorithm>
#include <cstring>

#include "index_layout.h"
#include "index_writer.h"

namespace tabulon {

namespace {

void PutLe32(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

void EncodeNdxPage(uint8_t* page, size_t count) { PutLe32(page, count); }

void EncodeNdxItem(uint8_t* page, const NdxHeader& header, size_t slot, uint32_t child_page, uint32_t record,
                   const char* key) {
  uint8_t* item = page + 4 + slot * header.ItemSize;
  PutLe32(item, child_page);
  if (!key) return;
  PutLe32(item + 4, record);
  std::memcpy(item + 8, key, header.KeyLength);
}

void EncodeNdxNode(const IndexNode& node, const NdxHeader& header, uint8_t* page) {
  std::memset(page, 0, kNdxPageSize);
  EncodeNdxPage(page, node.Keys.size());
  const bool leaf = node.Children.empty();
  for (size_t i = 0; i < node.Keys.size(); ++i)
    EncodeNdxItem(page, header, i, leaf ? 0 : uint32_t(node.Children[i] / kNdxPageSize),
                  leaf ? node.Keys[i].Record : 0, node.Keys[i].Key.data());
  if (!leaf)
    EncodeNdxItem(page, header, node.Keys.size(), uint32_t(node.Children.back() / kNdxPageSize), 0, nullptr);
}

void EncodeNdxPointers(uint8_t* header, uint32_t root_page, uint32_t page_count) {
  PutLe32(header, root_page);
  PutLe32(header + 4, page_count);
}

namespace {

constexpr size_t kMaxDepth = 40;

// The keys an interior page takes: its last child needs a pointer only.
size_t NdxInteriorKeys(const NdxHeader& header) {
  const size_t k = header.KeysPerPage;
  return 4 + k * header.ItemSize + 4 <= kNdxPageSize ? k : k - 1;
}

class NdxTagWriter : public IndexTagWriter {
 public:
  NdxTagWriter(IndexPages& pages, const NdxHeader& header)
      : pages_(pages), header_(header),
        type_(header.KeyType == 0 ? IndexValueType::Character : IndexValueType::Numeric),
        interior_(NdxInteriorKeys(header)) {}

  bool Insert(const std::string& key, uint32_t record, bool* added) override {
    if (added) *added = false;
    if (key.size() != header_.KeyLength) return Fail("a key of the wrong length");
    std::vector<Step> path;
    if (header_.Unique) {
      bool held = false;
      if (!Holds(key, &held)) return false;
      if (held) return true;
    }
    if (!Descend(key, record, &path)) return false;
    const size_t leaf_level = path.size() - 1;
    {
      IndexNode& leaf = path[leaf_level].node;
      leaf.Keys.insert(leaf.Keys.begin() + long(path[leaf_level].index), IndexEntry{key, record});
      // A new highest key of the leaf is the key of its parents too.
      if (path[leaf_level].index + 1 == leaf.Keys.size() && !UpdateHighest(path, leaf_level, key)) return false;
    }
    std::string carry;
    uint64_t carry_child = 0;
    for (size_t level = path.size(); level-- > 0;) {
      Step& step = path[level];
      IndexNode& node = step.node;
      const bool leaf = node.Children.empty();
      if (level != leaf_level) {
        node.Keys.insert(node.Keys.begin() + long(step.index), IndexEntry{carry, 0});
        node.Children.insert(node.Children.begin() + long(step.index), carry_child);
      }
      if (node.Keys.size() <= (leaf ? size_t{header_.KeysPerPage} : interior_)) {
        if (!Store(step.page, node)) return false;
        if (added) *added = true;
        return true;
      }
      IndexNode lower;
      if (leaf) {
        const size_t half = node.Keys.size() / 2;
        lower.Keys.assign(node.Keys.begin(), node.Keys.begin() + long(half));
        node.Keys.erase(node.Keys.begin(), node.Keys.begin() + long(half));
        carry = lower.Keys.back().Key;
      } else {
        // The middle key goes up; it was the highest of the lower half.
        const size_t middle = node.Keys.size() / 2;
        lower.Keys.assign(node.Keys.begin(), node.Keys.begin() + long(middle));
        lower.Children.assign(node.Children.begin(), node.Children.begin() + long(middle) + 1);
        carry = node.Keys[middle].Key;
        node.Keys.erase(node.Keys.begin(), node.Keys.begin() + long(middle) + 1);
        node.Children.erase(node.Children.begin(), node.Children.begin() + long(middle) + 1);
      }
      uint64_t lower_page = 0;
      if (!NewPage(&lower_page) || !Store(lower_page, lower) || !Store(step.page, node)) return false;
      carry_child = lower_page;
    }
    IndexNode root;
    root.Leaf = false;
    root.Keys.push_back(IndexEntry{carry, 0});
    root.Children = {carry_child, uint64_t{header_.RootPage} * kNdxPageSize};
    uint64_t root_page = 0;
    if (!NewPage(&root_page) || !Store(root_page, root)) return false;
    header_.RootPage = uint32_t(root_page / kNdxPageSize);
    if (!StoreHeader()) return false;
    if (added) *added = true;
    return true;
  }

  bool Remove(const std::string& key, uint32_t record, bool* found) override {
    if (found) *found = false;
    if (key.size() != header_.KeyLength) return true;
    std::vector<Step> path;
    if (!Descend(key, record, &path)) return false;
    bool hit = false;
    {
      const Step& leaf = path.back();
      hit = leaf.index < leaf.node.Keys.size() && leaf.node.Keys[leaf.index].Record == record &&
            Compare(leaf.node.Keys[leaf.index].Key, key) == 0;
    }
    if (!hit) {
      // Another program may have kept equal keys in another order.
      path.clear();
      if (!FindAmongEqual(uint64_t{header_.RootPage} * kNdxPageSize, key, record, &path, &hit)) return false;
      if (!hit) return true;
    }
    size_t level = path.size() - 1;
    IndexNode& leaf = path[level].node;
    const size_t index = path[level].index;
    leaf.Keys.erase(leaf.Keys.begin() + long(index));
    if (!Store(path[level].page, leaf)) return false;
    if (!leaf.Keys.empty() || level == 0) {
      if (index == leaf.Keys.size() && !leaf.Keys.empty() && !UpdateHighest(path, level, leaf.Keys.back().Key))
        return false;
      if (found) *found = true;
      return true;
    }
    // The leaf is empty: out of its parent it goes.
    if (!Release(path[level].page)) return false;
    Step& parent = path[--level];
    const size_t at = parent.index;
    if (at < parent.node.Keys.size()) {
      parent.node.Keys.erase(parent.node.Keys.begin() + long(at));
      parent.node.Children.erase(parent.node.Children.begin() + long(at));
    } else {
      // The last child gone, the one before it is last and keyless; its
      // key was the highest of the page, now the page's highest.
      parent.node.Children.pop_back();
      std::string highest = std::move(parent.node.Keys.back().Key);
      parent.node.Keys.pop_back();
      if (!UpdateHighest(path, level, highest)) return false;
    }
    if (parent.node.Keys.empty()) {
      // One child left takes the page's place (a page of no keys reads as
      // a leaf).
      const uint64_t only = parent.node.Children[0];
      if (!Release(parent.page)) return false;
      if (level == 0) {
        header_.RootPage = uint32_t(only / kNdxPageSize);
        if (!StoreHeader()) return false;
      } else {
        Step& grand = path[level - 1];
        grand.node.Children[grand.index] = only;
        if (!Store(grand.page, grand.node)) return false;
      }
    } else if (!Store(parent.page, parent.node)) {
      return false;
    }
    if (found) *found = true;
    return true;
  }

 private:
  struct Step {
    uint64_t page;
    IndexNode node;
    size_t index;
  };

  int Compare(const std::string& a, const std::string& b) const {
    return CompareIndexKeys(a, b, IndexKeyFormat::Ndx, type_);
  }

  int Order(const std::string& key, uint32_t record, const IndexEntry& e) const {
    const int order = Compare(key, e.Key);
    if (order != 0) return order;
    return record < e.Record ? -1 : record > e.Record ? 1 : 0;
  }

  size_t FirstNotBelow(const IndexNode& node, const std::string& key) const {
    return size_t(std::lower_bound(node.Keys.begin(), node.Keys.end(), key,
                                   [&](const IndexEntry& e, const std::string& k) { return Compare(e.Key, k) < 0; }) -
                  node.Keys.begin());
  }

  bool Load(uint64_t page, IndexNode* node) {
    uint8_t bytes[kNdxPageSize];
    std::string why;
    if (page < kNdxPageSize || page % kNdxPageSize != 0 || !pages_.Read(page, kNdxPageSize, bytes) ||
        !DecodeNdxNode(bytes, header_, node, &why))
      return Fail("the index is damaged");
    return true;
  }

  bool Store(uint64_t page, const IndexNode& node) {
    uint8_t bytes[kNdxPageSize];
    EncodeNdxNode(node, header_, bytes);
    return pages_.Write(page, bytes, kNdxPageSize) || Fail("cannot write the index");
  }

  bool StoreHeader() {
    uint8_t bytes[8];
    EncodeNdxPointers(bytes, header_.RootPage, header_.PageCount);
    return pages_.Write(0, bytes, sizeof bytes) || Fail("cannot write the index");
  }

  bool NewPage(uint64_t* page) {
    if (!spare_.empty()) {
      *page = spare_.back();
      spare_.pop_back();
      return true;
    }
    // Past both the page count and the file's end, whichever is further.
    const uint64_t at =
        std::max<uint64_t>(header_.PageCount, (pages_.GetSize() + kNdxPageSize - 1) / kNdxPageSize);
    if (at >= UINT32_MAX) return Fail("the index is full");
    header_.PageCount = uint32_t(at + 1);
    *page = at * kNdxPageSize;
    return StoreHeader();
  }

  bool Release(uint64_t page) {
    const uint8_t cleared[kNdxPageSize] = {};
    if (!pages_.Write(page, cleared, kNdxPageSize)) return Fail("cannot write the index");
    spare_.push_back(page);
    return true;
  }

  // The highest key of the page at path[level] became key: so is the key
  // of its parent for it, and up while it is a last child.
  bool UpdateHighest(std::vector<Step>& path, size_t level, const std::string& key) {
    while (level-- > 0) {
      Step& parent = path[level];
      if (parent.index < parent.node.Keys.size()) {
        parent.node.Keys[parent.index].Key = key;
        return Store(parent.page, parent.node);
      }
    }
    return true;
  }

  // The last entry below page.
  bool Highest(uint64_t page, IndexEntry* last) {
    for (size_t depth = 0; depth < kMaxDepth; ++depth) {
      IndexNode node;
      if (!Load(page, &node)) return false;
      if (node.Children.empty()) {
        if (node.Keys.empty()) break;
        *last = node.Keys.back();
        return true;
      }
      page = node.Children.back();
    }
    return Fail("the index is damaged");
  }

  // Down to the leaf where key and record belong, index their place there.
  // Where a parent's key equals key, the child's highest record tells
  // whether the entry goes below it or further right.
  bool Descend(const std::string& key, uint32_t record, std::vector<Step>* path) {
    uint64_t at = uint64_t{header_.RootPage} * kNdxPageSize;
    for (;;) {
      Step step{at, {}, 0};
      if (path->size() >= kMaxDepth) return Fail("the index is damaged");
      if (!Load(at, &step.node)) return false;
      const auto& keys = step.node.Keys;
      if (step.node.Children.empty()) {
        step.index = size_t(std::lower_bound(keys.begin(), keys.end(), 0,
                                             [&](const IndexEntry& e, int) { return Order(key, record, e) > 0; }) -
                            keys.begin());
        path->push_back(std::move(step));
        return true;
      }
      size_t i = FirstNotBelow(step.node, key);
      for (IndexEntry last; i < keys.size() && Compare(keys[i].Key, key) == 0; ++i) {
        if (!Highest(step.node.Children[i], &last)) return false;
        if (Compare(last.Key, key) != 0 || Order(key, record, last) <= 0) break;
      }
      step.index = i;
      at = step.node.Children[i];
      path->push_back(std::move(step));
    }
  }

  bool Holds(const std::string& key, bool* held) {
    std::vector<Step> path;
    *held = false;
    return FindAmongEqual(uint64_t{header_.RootPage} * kNdxPageSize, key, 0, &path, held);
  }

  // Every entry of key below page, in whatever order of records; record 0
  // for any. Also right of a parent's key equal to key: another program
  // may leave a parent's key above the highest key below it.
  bool FindAmongEqual(uint64_t page, const std::string& key, uint32_t record, std::vector<Step>* path, bool* hit) {
    Step step{page, {}, 0};
    if (path->size() >= kMaxDepth) return Fail("the index is damaged");
    if (!Load(page, &step.node)) return false;
    size_t i = FirstNotBelow(step.node, key);
    path->push_back(std::move(step));
    if (path->back().node.Children.empty()) {
      const auto& keys = path->back().node.Keys;
      for (; i < keys.size() && Compare(keys[i].Key, key) == 0; ++i)
        if (keys[i].Record == record || record == 0) {
          path->back().index = i;
          *hit = true;
          return true;
        }
    } else {
      for (;; ++i) {
        path->back().index = i;
        if (!FindAmongEqual(path->back().node.Children[i], key, record, path, hit)) return false;
        if (*hit) return true;
        const auto& keys = path->back().node.Keys;
        if (i >= keys.size() || Compare(keys[i].Key, key) != 0) break;
      }
    }
    path->pop_back();
    return true;
  }

  IndexPages& pages_;
  NdxHeader header_;
  IndexValueType type_;
  size_t interior_;
  std::vector<uint64_t> spare_;
};

}  // namespace

std::unique_ptr<IndexTagWriter> OpenNdxTagWriter(IndexPages& pages, const IndexTagInfo& tag, IndexValueType,
                                                 std::string* error) {
  uint8_t bytes[kNdxPageSize];
  NdxHeader header;
  if (!pages.Read(tag.HeaderOffset, kNdxPageSize, bytes) || !DecodeNdxHeader(bytes, &header)) {
    *error = "not a dBase III index header";
    return nullptr;
  }
  if (header.KeysPerPage < 3) {
    *error = "dBase III index pages too small to change";
    return nullptr;
  }
  return std::make_unique<NdxTagWriter>(pages, header);
}

bool BuildNdxIndexFile(DbfFile& old, const std::vector<IndexTagInfo>& tags,
                       const std::vector<std::vector<IndexEntry>>& entries, DbfFile& out, std::string* error) {
  if (tags.size() != 1 || entries.size() != 1) {
    *error = "a dBase III index holds one tag";
    return false;
  }
  std::vector<uint8_t> header_bytes(kNdxPageSize);
  size_t got = 0;
  NdxHeader header;
  if (!old.ReadAt(0, header_bytes.data(), kNdxPageSize, &got) || got != kNdxPageSize ||
      !DecodeNdxHeader(header_bytes.data(), &header) || header.KeysPerPage < 3) {
    *error = "not a dBase III index header";
    return false;
  }
  const std::vector<IndexEntry>& all = entries[0];
  // Pages numbered in the order written: the leaves, then each level
  // above, the root last. A level's items are spread evenly over as few
  // pages as hold them, so that no interior page is left with one child.
  struct Below {
    uint32_t page;
    const std::string* highest;
  };
  const auto pages_for = [](size_t items, size_t per) { return std::max<size_t>(1, (items + per - 1) / per); };
  const size_t interior = NdxInteriorKeys(header);
  size_t total = pages_for(all.size(), header.KeysPerPage);
  for (size_t level = total; level > 1;) {
    level = pages_for(level, interior + 1);
    total += level;
  }
  EncodeNdxPointers(header_bytes.data(), uint32_t(total), uint32_t(total + 1));
  std::vector<uint8_t> buffer;
  constexpr size_t kFlush = 1 << 20;
  buffer.reserve(kFlush + kNdxPageSize);
  buffer.insert(buffer.end(), header_bytes.begin(), header_bytes.end());
  bool ok = out.Seek(0);
  uint32_t next_page = 1;
  uint8_t page[kNdxPageSize];
  const auto emit = [&]() {
    buffer.insert(buffer.end(), page, page + kNdxPageSize);
    if (buffer.size() >= kFlush) {
      ok = ok && out.Write(buffer.data(), buffer.size());
      buffer.clear();
    }
    return next_page++;
  };
  std::vector<Below> level;
  {
    const size_t count = pages_for(all.size(), header.KeysPerPage);
    level.reserve(count);
    for (size_t p = 0, from = 0; p < count; ++p) {
      const size_t n = all.size() / count + (p < all.size() % count ? 1 : 0);
      std::memset(page, 0, sizeof page);
      EncodeNdxPage(page, n);
      for (size_t i = 0; i < n; ++i)
        EncodeNdxItem(page, header, i, 0, all[from + i].Record, all[from + i].Key.data());
      from += n;
      level.push_back(Below{emit(), n ? &all[from - 1].Key : nullptr});
    }
  }
  while (level.size() > 1) {
    std::vector<Below> above;
    const size_t count = pages_for(level.size(), interior + 1);
    for (size_t p = 0, from = 0; p < count; ++p) {
      const size_t n = level.size() / count + (p < level.size() % count ? 1 : 0);
      std::memset(page, 0, sizeof page);
      EncodeNdxPage(page, n - 1);
      for (size_t i = 0; i + 1 < n; ++i)
        EncodeNdxItem(page, header, i, level[from + i].page, 0, level[from + i].highest->data());
      EncodeNdxItem(page, header, n - 1, level[from + n - 1].page, 0, nullptr);
      from += n;
      above.push_back(Below{emit(), level[from - 1].highest});
    }
    level.swap(above);
  }
  ok = ok && (buffer.empty() || out.Write(buffer.data(), buffer.size()));
  if (!ok) *error = "cannot write the index";
  return ok;
}

}  // namespace tabulon
