// Writers of raw table and memo bytes, so that a test states exactly which
// bytes a file holds and which it expects.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tabulon::test {

using Bytes = std::vector<uint8_t>;

struct FieldLayout {
  std::string Name;
  char Type;
  uint8_t Length;
  uint8_t Decimals = 0;
};

struct TableLayout {
  uint8_t Version = 0x03;
  std::vector<FieldLayout> Fields;
  std::vector<std::string> Records;  // whole records, deletion flag first
  int HeaderSize = -1;               // -1: 32 x fields + 33
  int RecordSize = -1;               // -1: 1 + sum of lengths
  int CountInHeader = -1;            // -1: number of records
  bool EndMarker = true;             // 0x1A after the records
};

inline void PutLittle(Bytes& b, size_t at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void PutBig(Bytes& b, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * (3 - i)));
}

inline uint32_t GetLittle32(const Bytes& b, size_t at) {
  return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
         (uint32_t{b[at + 3]} << 24);
}

inline uint32_t GetBig32(const Bytes& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
         b[at + 3];
}

inline Bytes MakeTable(const TableLayout& layout) {
  const size_t n = layout.Fields.size();
  int record_size = 1;
  for (const auto& f : layout.Fields) record_size += f.Length;
  if (layout.RecordSize >= 0) record_size = layout.RecordSize;
  const int header_size = layout.HeaderSize >= 0 ? layout.HeaderSize : static_cast<int>(32 * n + 33);
  Bytes b(32 + 32 * n + 1, 0);
  b[0] = layout.Version;
  b[1] = 99;
  b[2] = 12;
  b[3] = 31;
  PutLittle(b, 4, layout.CountInHeader >= 0 ? layout.CountInHeader : layout.Records.size(), 4);
  PutLittle(b, 8, header_size, 2);
  PutLittle(b, 10, record_size, 2);
  // Visual FoxPro counts a field's displacement from the deletion flag.
  uint32_t offset = layout.Version >= 0x30 && layout.Version <= 0x32 ? 1 : 0;
  for (size_t i = 0; i < n; ++i) {
    const FieldLayout& f = layout.Fields[i];
    size_t d = 32 + 32 * i;
    for (size_t k = 0; k < f.Name.size() && k < 11; ++k) b[d + k] = static_cast<uint8_t>(f.Name[k]);
    b[d + 11] = static_cast<uint8_t>(f.Type);
    PutLittle(b, d + 12, offset, 4);
    b[d + 16] = f.Length;
    b[d + 17] = f.Decimals;
    offset += f.Length;
  }
  b[32 + 32 * n] = 0x0D;
  b.resize(static_cast<size_t>(header_size) > b.size() ? header_size : b.size(), 0);
  b.resize(header_size);
  for (const auto& r : layout.Records) {
    std::string rec = r;
    rec.resize(record_size, ' ');
    b.insert(b.end(), rec.begin(), rec.end());
  }
  if (layout.EndMarker) b.push_back(0x1A);
  return b;
}

// A dBase 7 table as its published layout has it: a 68-byte header with
// the language driver name at 32, then 48-byte descriptors (name of up to
// 32 bytes, type at 32, length at 33, decimals at 34, the next
// autoincrement value at 40, little-endian) and 0x0D.
struct Dbase7Layout {
  uint8_t Version = 0x8C;
  std::vector<FieldLayout> Fields;
  std::vector<uint32_t> NextAutoincrement;  // by field; missing ones are 0
  std::vector<std::string> Records;         // whole records, deletion flag first
  std::string DriverName = "DBWINUS0";
};

inline Bytes MakeDbase7Table(const Dbase7Layout& s) {
  const size_t n = s.Fields.size();
  size_t record_size = 1;
  for (const auto& f : s.Fields) record_size += f.Length;
  const size_t header_size = 68 + 48 * n + 1;
  Bytes b(header_size, 0);
  b[0] = s.Version;
  b[1] = 124;
  b[2] = 1;
  b[3] = 2;
  PutLittle(b, 4, s.Records.size(), 4);
  PutLittle(b, 8, header_size, 2);
  PutLittle(b, 10, record_size, 2);
  std::copy(s.DriverName.begin(), s.DriverName.end(), b.begin() + 32);
  for (size_t i = 0; i < n; ++i) {
    const FieldLayout& f = s.Fields[i];
    const size_t d = 68 + 48 * i;
    std::copy(f.Name.begin(), f.Name.begin() + std::min<size_t>(f.Name.size(), 32), b.begin() + d);
    b[d + 32] = static_cast<uint8_t>(f.Type);
    b[d + 33] = f.Length;
    b[d + 34] = f.Decimals;
    if (i < s.NextAutoincrement.size()) PutLittle(b, d + 40, s.NextAutoincrement[i], 4);
  }
  b[header_size - 1] = 0x0D;
  for (std::string r : s.Records) {
    r.resize(record_size, ' ');
    b.insert(b.end(), r.begin(), r.end());
  }
  b.push_back(0x1A);
  return b;
}

// A .dbt file: block 0 holds next_free, then each text at its block with
// 0x1A 0x1A and zero padding to 512.
inline Bytes MakeDbt(const std::vector<std::string>& texts) {
  Bytes b(512, 0);
  for (const auto& t : texts) {
    b.insert(b.end(), t.begin(), t.end());
    b.push_back(0x1A);
    b.push_back(0x1A);
    b.resize((b.size() + 511) / 512 * 512, 0);
  }
  PutLittle(b, 0, b.size() / 512, 4);
  return b;
}

// A dBase IV .dbt: the block size at offset 20, and each text behind
// FF FF 08 00 and a little-endian length that counts those 8 bytes.
inline Bytes MakeDbt4(uint16_t block_size, const std::vector<std::string>& texts,
                      std::vector<uint32_t>* blocks = nullptr) {
  Bytes b(block_size, 0);
  for (const auto& t : texts) {
    if (blocks) blocks->push_back(static_cast<uint32_t>(b.size() / block_size));
    size_t at = b.size();
    b.resize(at + 8 + t.size(), 0);
    b[at] = 0xFF;
    b[at + 1] = 0xFF;
    b[at + 2] = 0x08;
    PutLittle(b, at + 4, t.size() + 8, 4);
    std::copy(t.begin(), t.end(), b.begin() + at + 8);
    b.resize((b.size() + block_size - 1) / block_size * block_size, 0);
  }
  PutLittle(b, 0, b.size() / block_size, 4);
  PutLittle(b, 20, block_size, 2);
  return b;
}

// Block number of the i-th text written by MakeDbt.
inline std::vector<uint32_t> DbtBlocks(const std::vector<std::string>& texts) {
  std::vector<uint32_t> blocks;
  uint32_t at = 1;
  for (const auto& t : texts) {
    blocks.push_back(at);
    at += static_cast<uint32_t>((t.size() + 2 + 511) / 512);
  }
  return blocks;
}

// A .fpt file with a 512-byte header and the given block size.
inline Bytes MakeFpt(uint32_t block_size, const std::vector<std::string>& texts,
                     std::vector<uint32_t>* blocks = nullptr) {
  Bytes b(512, 0);
  b.resize((b.size() + block_size - 1) / block_size * block_size, 0);
  for (const auto& t : texts) {
    if (blocks) blocks->push_back(static_cast<uint32_t>(b.size() / block_size));
    size_t at = b.size();
    b.resize(at + 8 + t.size(), 0);
    PutBig(b, at, 1);
    PutBig(b, at + 4, static_cast<uint32_t>(t.size()));
    std::copy(t.begin(), t.end(), b.begin() + at + 8);
    b.resize((b.size() + block_size - 1) / block_size * block_size, 0);
  }
  PutBig(b, 0, static_cast<uint32_t>(b.size() / block_size));
  PutBig(b, 4, block_size);
  return b;
}

inline std::string Slice(const Bytes& b, size_t at, size_t n) {
  return std::string(b.begin() + at, b.begin() + at + n);
}

// A right-justified decimal memo reference of width 10.
inline std::string Ref(uint32_t block) {
  std::string digits = std::to_string(block);
  return std::string(10 - digits.size(), ' ') + digits;
}

}  // namespace tabulon::test
