#include "table_files.h"

#include "dbf_header.h"

namespace tabulon {

std::string ChooseMemoFile(const std::string& table_file, DbfFileSystem& fs) {
  if (table_file.empty()) return std::string();
  // Each name as the program always wrote it, then in capitals, as DOS
  // programs leave it (X.DBF beside X.DBT on a case-sensitive disk).
  const std::string dbt = DbtFileNameFor(table_file);
  std::string memo;
  for (const std::string& name : {dbt, dbt.substr(0, dbt.size() - 1) + "T"}) {
    if (fs.Exists(name)) {
      memo = name;
      break;
    }
  }
  if (table_file.size() >= 3) {
    const std::string base = table_file.substr(0, table_file.size() - 3);
    for (const std::string& name : {base + "fpt", base + "FPT"}) {
      if (fs.Exists(name)) return name;
    }
  }
  return memo;
}

bool TableSnapshot::operator==(const TableSnapshot& other) const {
  return Valid == other.Valid && HeaderSize == other.HeaderSize &&
         RecordSize == other.RecordSize && RecordCount == other.RecordCount &&
         Data.Size == other.Data.Size && Data.ModifiedTime == other.Data.ModifiedTime &&
         Memo.Size == other.Memo.Size && Memo.ModifiedTime == other.Memo.ModifiedTime;
}

TableSnapshot SnapshotWithHeader(const uint8_t* header, const DbfTable& table, DbfFileSystem& fs) {
  TableSnapshot s;
  if (!fs.GetInfo(table.GetFileName(), &s.Data)) return s;
  const DbfHeaderFields h = DecodeDbfHeader(header);
  s.RecordCount = h.RecordCount;
  s.HeaderSize = h.HeaderSize;
  s.RecordSize = h.RecordSize;
  if (!table.GetMemoFileName().empty()) fs.GetInfo(table.GetMemoFileName(), &s.Memo);
  s.Valid = true;
  return s;
}

TableSnapshot TakeSnapshot(const DbfTable& table, DbfFileSystem& fs) {
  if (table.IsActive()) return SnapshotWithHeader(table.GetHeader(), table, fs);
  uint8_t header[kDbfHeaderSize];
  auto file = fs.Open(table.GetFileName(), DbfOpenMode::ReadOnly);
  size_t got = 0;
  if (!file || !file->Read(header, sizeof header, &got) || got != sizeof header) return TableSnapshot{};
  return SnapshotWithHeader(header, table, fs);
}

}  // namespace tabulon
