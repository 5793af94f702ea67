// Writers of index files byte by byte from the formats' published layouts
// (the fields a reader needs; siblings, free lists and counters stay 0): a
// tag's keys (each exactly its key length, in order) become leaves of a
// few keys each under one root, so that every file has two levels.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/table_bytes.h"

namespace tabulon::test {

using IndexKeys = std::vector<std::pair<std::string, uint32_t>>;

inline void PutText(Bytes& b, size_t at, const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) b[at + i] = static_cast<uint8_t>(text[i]);
}

inline std::vector<IndexKeys> Chunks(const IndexKeys& keys, size_t per) {
  std::vector<IndexKeys> chunks;
  for (size_t i = 0; i < keys.size(); i += per)
    chunks.emplace_back(keys.begin() + long(i), keys.begin() + long(std::min(keys.size(), i + per)));
  return chunks;
}

struct FoxTag {
  std::string Name, Key, For, Collation;
  uint16_t KeyLength = 8;
  bool Unique = false, Descending = false;
  IndexKeys Keys;
};

// A compact tag header at `at`, then its pages at the end of b: leaves of
// three-byte entries (16 bits of record, 4 of shared and 4 of cut-off
// blanks; so keys of at most 15 bytes) under one interior root.
inline void AppendFoxTag(Bytes& b, size_t at, const FoxTag& tag, uint8_t options) {
  const std::vector<IndexKeys> leaves = Chunks(tag.Keys, 6);
  const size_t first = b.size();
  b.resize(first + 512 * (leaves.size() + 1), 0);
  const size_t root = first + 512 * leaves.size();
  PutLittle(b, at, root, 4);
  PutLittle(b, at + 12, tag.KeyLength, 2);
  b[at + 14] = static_cast<uint8_t>(options | (tag.Unique ? 0x01 : 0) | (tag.For.empty() ? 0 : 0x08));
  PutText(b, at + 494, tag.Collation);
  PutLittle(b, at + 502, tag.Descending ? 1 : 0, 2);
  PutText(b, at + 512, tag.Key);
  PutText(b, at + 513 + tag.Key.size(), tag.For);
  PutLittle(b, root, leaves.size() == 1 ? 3 : 1, 2);
  PutLittle(b, root + 2, leaves.size(), 2);
  for (size_t l = 0; l < leaves.size(); ++l) {
    const size_t page = first + 512 * l;
    PutLittle(b, page, leaves.size() == 1 ? 3 : 2, 2);
    PutLittle(b, page + 2, leaves[l].size(), 2);
    PutLittle(b, page + 14, 0xFFFF, 4);
    b[page + 18] = 0x0F, b[page + 19] = 0x0F, b[page + 20] = 16, b[page + 21] = 4, b[page + 22] = 4, b[page + 23] = 3;
    size_t end = page + 512;
    std::string previous;
    for (size_t i = 0; i < leaves[l].size(); ++i) {
      const std::string& key = leaves[l][i].first;
      size_t shared = 0, cut = 0;
      while (shared < previous.size() && key[shared] == previous[shared]) ++shared;
      while (cut < key.size() - shared && key[key.size() - 1 - cut] == ' ') ++cut;
      const size_t own = key.size() - shared - cut;
      end -= own;
      PutText(b, end, key.substr(shared, own));
      PutLittle(b, page + 24 + 3 * i, leaves[l][i].second | (shared << 16) | (cut << 20), 3);
      previous = key;
    }
    if (leaves.size() == 1) continue;
    const size_t item = root + 12 + l * (tag.KeyLength + 8u);
    PutText(b, item, leaves[l].back().first);
    PutBig(b, item + tag.KeyLength, leaves[l].back().second);
    PutBig(b, item + tag.KeyLength + 4, uint32_t(page));
  }
  if (leaves.size() == 1) {  // the one leaf is the root
    b.resize(root);
    PutLittle(b, at, first, 4);
  }
}

// A single-tag compact .idx.
inline Bytes MakeCompactIdx(const FoxTag& tag) {
  Bytes b(1024, 0);
  AppendFoxTag(b, 0, tag, 0x20);
  return b;
}

// A .cdx: the tag directory at 0 (tag names as keys of 10 bytes, the
// headers' offsets as records), each tag's header and pages after it.
inline Bytes MakeCdx(const std::vector<FoxTag>& tags) {
  Bytes b(1024 + 512, 0);
  std::vector<size_t> headers;
  for (const FoxTag& tag : tags) {
    headers.push_back(b.size());
    b.resize(b.size() + 1024, 0);
    AppendFoxTag(b, headers.back(), tag, 0x60);
  }
  FoxTag directory;
  directory.KeyLength = 10;
  for (size_t t = 0; t < tags.size(); ++t)
    directory.Keys.emplace_back((tags[t].Name + "          ").substr(0, 10), uint32_t(headers[t]));
  std::sort(directory.Keys.begin(), directory.Keys.end());
  Bytes dir(1024, 0);
  AppendFoxTag(dir, 0, directory, 0xE0);
  // The directory's one leaf goes to the page reserved after its header.
  std::copy(dir.begin() + 1024, dir.begin() + 1536, b.begin() + 1024);
  std::copy(dir.begin(), dir.begin() + 1024, b.begin());
  return b;
}

// FoxBASE's uncompressed .idx: items of key + big-endian record or child.
inline Bytes MakeOldIdx(const std::string& key, uint16_t key_length, const IndexKeys& keys) {
  const std::vector<IndexKeys> leaves = Chunks(keys, 5);
  Bytes b(512 * (leaves.size() + 2), 0);
  const size_t root = 512 * (leaves.size() + 1);
  PutLittle(b, 0, root, 4);
  PutLittle(b, 12, key_length, 2);
  PutText(b, 16, key);
  PutLittle(b, root, 1, 2);
  PutLittle(b, root + 2, leaves.size(), 2);
  for (size_t l = 0; l < leaves.size(); ++l) {
    const size_t page = 512 * (l + 1);
    PutLittle(b, page, 2, 2);
    PutLittle(b, page + 2, leaves[l].size(), 2);
    for (size_t i = 0; i < leaves[l].size(); ++i) {
      PutText(b, page + 12 + i * (key_length + 4u), leaves[l][i].first);
      PutBig(b, page + 12 + i * (key_length + 4u) + key_length, leaves[l][i].second);
    }
    PutText(b, root + 12 + l * (key_length + 4u), leaves[l].back().first);
    PutBig(b, root + 12 + l * (key_length + 4u) + key_length, uint32_t(page));
  }
  return b;
}

// Clipper's .ntx: leaves of three keys, the root's keys (records too)
// between them.
inline Bytes MakeNtx(const std::string& key, uint16_t key_length, const IndexKeys& keys, bool unique = false) {
  const uint16_t item = key_length + 8, max = uint16_t((1024 - 4) / (item + 2) - 1);
  std::vector<IndexKeys> pages(1);
  IndexKeys separators;
  for (const auto& k : keys) {
    if (pages.back().size() == 3) {
      separators.push_back(k);
      pages.emplace_back();
    } else {
      pages.back().push_back(k);
    }
  }
  Bytes b(1024 * (pages.size() + 2), 0);
  const size_t root = 1024 * (pages.size() + 1);
  PutLittle(b, 0, 6, 2);
  PutLittle(b, 4, root, 4);
  PutLittle(b, 12, item, 2);
  PutLittle(b, 14, key_length, 2);
  PutLittle(b, 18, max, 2);
  PutText(b, 22, key);
  b[278] = unique ? 1 : 0;
  const auto put_page = [&](size_t at, const IndexKeys& items, const std::vector<size_t>& children) {
    PutLittle(b, at, items.size(), 2);
    for (size_t i = 0; i <= max; ++i) {
      const size_t offset = 2 + 2 * (max + 1) + i * item;
      PutLittle(b, at + 2 + 2 * i, offset, 2);
      if (i < children.size()) PutLittle(b, at + offset, children[i], 4);
      if (i < items.size()) {
        PutLittle(b, at + offset + 4, items[i].second, 4);
        PutText(b, at + offset + 8, items[i].first);
      }
    }
  };
  std::vector<size_t> children;
  for (size_t p = 0; p < pages.size(); ++p) {
    put_page(1024 * (p + 1), pages[p], {});
    children.push_back(1024 * (p + 1));
  }
  put_page(root, separators, children);
  return b;
}

// dBase III's .ndx: pages numbered, leaves of four keys under one root
// (so at most 31 leaves).
inline Bytes MakeNdx(const std::string& key, uint16_t key_length, const IndexKeys& keys) {
  const std::vector<IndexKeys> leaves = Chunks(keys, 4);
  const uint16_t item = uint16_t(8 + (key_length + 3) / 4 * 4);
  Bytes b(512 * (leaves.size() + 2), 0);
  const size_t root = leaves.size() + 1;
  PutLittle(b, 0, root, 4);
  PutLittle(b, 12, key_length, 2);
  PutLittle(b, 14, (512 - 4) / item, 2);
  PutLittle(b, 18, item, 2);
  PutText(b, 24, key);
  PutLittle(b, 512 * root, leaves.size() - 1, 4);
  for (size_t l = 0; l < leaves.size(); ++l) {
    const size_t page = 512 * (l + 1);
    PutLittle(b, page, leaves[l].size(), 4);
    for (size_t i = 0; i < leaves[l].size(); ++i) {
      PutLittle(b, page + 4 + i * item + 4, leaves[l][i].second, 4);
      PutText(b, page + 4 + i * item + 8, leaves[l][i].first);
    }
    PutLittle(b, 512 * root + 4 + l * item, l + 1, 4);
    if (l + 1 < leaves.size()) PutText(b, 512 * root + 4 + l * item + 8, leaves[l].back().first);
  }
  return b;
}

struct MdxTag {
  std::string Name, Key, For;
  uint16_t KeyLength = 8;
  bool Unique = false, Descending = false;
  IndexKeys Keys;
};

// dBase IV's .mdx: blocks of two pages; each tag a header block, leaves
// of five keys and a branch root.
inline Bytes MakeMdx(const std::vector<MdxTag>& tags) {
  Bytes b(2048, 0);
  PutLittle(b, 20, 2, 2);
  PutLittle(b, 22, 1024, 2);
  b[26] = 32;
  PutLittle(b, 28, tags.size(), 2);
  for (size_t t = 0; t < tags.size(); ++t) {
    const MdxTag& tag = tags[t];
    const std::vector<IndexKeys> leaves = Chunks(tag.Keys, 5);
    const size_t header = b.size(), item = (tag.KeyLength + 4u + 3) / 4 * 4;
    b.resize(header + 1024 * (leaves.size() + 2), 0);
    const size_t root = header + 1024 * (leaves.size() + 1);
    PutLittle(b, 544 + 32 * t, header / 512, 4);
    PutText(b, 544 + 32 * t + 4, tag.Name);
    b[544 + 32 * t + 20] = 'C';
    PutLittle(b, header, root / 512, 4);
    b[header + 8] = uint8_t(0x10 | (tag.Descending ? 0x08 : 0) | (tag.Unique ? 0x40 : 0));
    b[header + 9] = 'C';
    PutLittle(b, header + 12, tag.KeyLength, 2);
    PutLittle(b, header + 14, (1024 - 12) / item, 2);
    PutLittle(b, header + 18, item, 2);
    b[header + 23] = tag.Unique ? 1 : 0;
    PutText(b, header + 24, tag.Key);
    b[header + 245] = tag.For.empty() ? 0 : 1;
    PutText(b, header + 762, tag.For);
    PutLittle(b, root, leaves.size() - 1, 4);
    for (size_t l = 0; l < leaves.size(); ++l) {
      const size_t block = header + 1024 * (l + 1);
      PutLittle(b, block, leaves[l].size(), 4);
      for (size_t i = 0; i < leaves[l].size(); ++i) {
        PutLittle(b, block + 8 + i * item, leaves[l][i].second, 4);
        PutText(b, block + 12 + i * item, leaves[l][i].first);
      }
      PutLittle(b, root + 8 + l * item, block / 512, 4);
      if (l + 1 < leaves.size()) PutText(b, root + 12 + l * item, leaves[l].back().first);
    }
  }
  return b;
}

}  // namespace tabulon::test
