// A table of any number of records written record by record, so that a
// test or benchmark of millions of records never holds them in memory: 20
// fields of the common kinds (Character, Number, Date, Logic) whose values
// tell their record, as a registry of addresses would hold them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/table_bytes.h"

namespace tabulon::test {

constexpr int kLargeTableFields = 20;

// Field f (0-based) of the large table: the kinds repeat every five fields.
inline FieldLayout LargeTableField(int f) {
  static const FieldLayout kinds[] = {{"", 'C', 10}, {"", 'N', 8}, {"", 'C', 6}, {"", 'D', 8}, {"", 'L', 1}};
  FieldLayout field = kinds[f % 5];
  field.Name = "F" + std::to_string(f);
  return field;
}

// Record r (1-based) of the large table, deletion flag first. Field 0
// holds "n" and the record number, field 1 the number itself.
inline std::string LargeTableRecord(uint32_t r) {
  std::string record = " ";
  for (int f = 0; f < kLargeTableFields; ++f) {
    const FieldLayout field = LargeTableField(f);
    std::string value;
    switch (field.Type) {
      case 'C':
        value = f == 0 ? "n" + std::to_string(r) : "v" + std::to_string(r % 997 + uint32_t(f));
        break;
      case 'N':
        value = std::to_string(f == 1 ? r : r % 10007);
        value.insert(0, field.Length - value.size(), ' ');  // numbers are right-justified
        break;
      case 'D':
        value = std::to_string(20100101 + (r % 17) * 10000 + (r % 9) * 100 + r % 28);
        break;
      default:
        value = r % 2 == 0 ? "T" : "F";
        break;
    }
    value.resize(field.Length, ' ');
    record += value;
  }
  return record;
}

// Writes the dBase III table of the given number of records; false when
// the file could not be written whole.
inline bool WriteLargeTable(const std::string& path, uint32_t records) {
  TableLayout table;
  for (int f = 0; f < kLargeTableFields; ++f) table.Fields.push_back(LargeTableField(f));
  table.CountInHeader = int(records);
  table.EndMarker = false;
  const Bytes header = MakeTable(table);  // header and field descriptors only
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
  std::string chunk;
  for (uint32_t r = 1; r <= records && ok; ++r) {
    chunk += LargeTableRecord(r);
    if (chunk.size() >= (1u << 20) || r == records) {
      ok = std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
      chunk.clear();
    }
  }
  ok = ok && std::fputc(0x1A, file) != EOF;
  return std::fclose(file) == 0 && ok;
}

}  // namespace tabulon::test
