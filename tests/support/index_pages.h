// A test's own small reader of the keys real index files hold, so that the
// engine's keys can be checked against files other programs wrote. It
// scans leaf entries (NDX, NTX) or walks a tag's leaf chain (CDX) without
// any of the engine's code.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "support/table_bytes.h"

namespace tabulon::test {

struct IndexFileKeys {
  std::string Key, Condition;
  int KeyLength = 0;
  std::map<uint32_t, std::string> Keys;  // by record number
  bool Repeated = false;                 // a record held twice
};

inline uint16_t GetLittle16(const Bytes& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

inline std::string TextAt(const Bytes& b, size_t at, size_t most) {
  std::string s;
  for (size_t i = at; i < b.size() && i < at + most && b[i] != 0; ++i) s += static_cast<char>(b[i]);
  return s;
}

inline void AddKey(IndexFileKeys& k, uint32_t record, std::string key) {
  k.Repeated |= !k.Keys.emplace(record, std::move(key)).second;
}

// dBase III: 512-byte pages of (child page, record, key) entries; a leaf
// entry has no child.
inline IndexFileKeys ReadNdxKeys(const Bytes& f) {
  IndexFileKeys k;
  k.Key = TextAt(f, 24, 100);
  k.KeyLength = GetLittle16(f, 12);
  const size_t entry = GetLittle16(f, 18);
  for (size_t page = 512; page + 512 <= f.size(); page += 512)
    for (uint32_t i = 0, n = GetLittle32(f, page); i < n && 4 + (i + 1) * entry <= 512; ++i) {
      const size_t at = page + 4 + i * entry;
      if (GetLittle32(f, at) == 0 && GetLittle32(f, at + 4) != 0)
        AddKey(k, GetLittle32(f, at + 4), std::string(f.begin() + at + 8, f.begin() + at + 8 + k.KeyLength));
    }
  return k;
}

// Clipper: 1024-byte pages, a count and offsets of (child, record, key)
// entries; every entry with a record is a key, in branch pages too.
inline IndexFileKeys ReadNtxKeys(const Bytes& f) {
  IndexFileKeys k;
  k.Key = TextAt(f, 22, 256);
  k.KeyLength = GetLittle16(f, 14);
  for (size_t page = 1024; page + 1024 <= f.size(); page += 1024)
    for (uint16_t i = 0, n = GetLittle16(f, page); i < n; ++i) {
      const size_t at = page + GetLittle16(f, page + 2 + 2 * i);
      if (GetLittle32(f, at + 4) != 0)
        AddKey(k, GetLittle32(f, at + 4), std::string(f.begin() + at + 8, f.begin() + at + 8 + k.KeyLength));
    }
  return k;
}

// FoxPro: from a tag header, down the first entries to the leftmost leaf,
// then along the leaves, each key rebuilt from the bytes it shares with
// the key before, its own bytes (stored from the page's end backwards) and
// its trailing fill (blanks for a character key, zeros otherwise).
inline IndexFileKeys ReadCdxTag(const Bytes& f, uint32_t header, char fill) {
  IndexFileKeys k;
  k.KeyLength = GetLittle16(f, header + 12);
  k.Key = TextAt(f, header + 512, 256);
  k.Condition = TextAt(f, header + 512 + k.Key.size() + 1, 256);
  uint32_t page = GetLittle32(f, header);
  while ((GetLittle16(f, page) & 2) == 0) page = GetBig32(f, page + 12 + k.KeyLength + 4);
  for (int pages = 0; page != 0xFFFFFFFFu && pages < 100000; ++pages) {
    const uint32_t mask = GetLittle32(f, page + 14);
    const int record_bits = f[page + 20], same_bits = f[page + 21], entry = f[page + 23];
    size_t end = page + 512;
    std::string key;
    for (uint16_t i = 0, n = GetLittle16(f, page + 2); i < n; ++i) {
      uint64_t v = 0;
      for (int b = entry - 1; b >= 0; --b) v = v << 8 | f[page + 24 + size_t(i) * entry + b];
      const size_t same = (v >> record_bits) & f[page + 18],
                   trail = (v >> (record_bits + same_bits)) & f[page + 19];
      const size_t own = k.KeyLength - same - trail;
      end -= own;
      key = key.substr(0, same) + std::string(f.begin() + end, f.begin() + end + own) +
            std::string(trail, fill);
      AddKey(k, static_cast<uint32_t>(v & mask), key);
    }
    page = GetLittle32(f, page + 8);
  }
  return k;
}

// A compound file's tag by name: its directory is a tag whose keys are the
// names and whose records are the offsets of the tags' headers.
inline IndexFileKeys ReadCdxKeys(const Bytes& f, const std::string& tag, char fill) {
  for (const auto& [offset, name] : ReadCdxTag(f, 0, ' ').Keys)
    if (name.substr(0, name.find(' ')) == tag) return ReadCdxTag(f, offset, fill);
  return IndexFileKeys();
}

}  // namespace tabulon::test
