#include "table_files.h"

namespace tabulon {

std::string ChooseMemoFile(const std::string& table_file, DbfFileSystem& fs) {
  std::string memo;
  if (!table_file.empty() && fs.Exists(DbtFileNameFor(table_file))) memo = DbtFileNameFor(table_file);
  if (table_file.size() >= 3) {
    std::string fpt = table_file.substr(0, table_file.size() - 3) + "fpt";
    if (fs.Exists(fpt)) memo = fpt;
  }
  return memo;
}

bool TableSnapshot::operator==(const TableSnapshot& other) const {
  return Valid == other.Valid && HeaderSize == other.HeaderSize &&
         RecordSize == other.RecordSize && RecordCount == other.RecordCount &&
         Data.Size == other.Data.Size && Data.ModifiedTime == other.Data.ModifiedTime &&
         Memo.Size == other.Memo.Size && Memo.ModifiedTime == other.Memo.ModifiedTime;
}

TableSnapshot TakeSnapshot(const DbfTable& table, DbfFileSystem& fs) {
  TableSnapshot s;
  uint8_t header[kDbfHeaderSize];
  auto file = fs.Open(table.FileName, DbfOpenMode::ReadOnly);
  size_t got = 0;
  if (!file || !fs.GetInfo(table.FileName, &s.Data) || !file->Read(header, sizeof header, &got) ||
      got != sizeof header)
    return s;
  s.RecordCount = uint32_t{header[4]} | (uint32_t{header[5]} << 8) | (uint32_t{header[6]} << 16) |
                  (uint32_t{header[7]} << 24);
  s.HeaderSize = static_cast<uint16_t>(header[8] | (header[9] << 8));
  s.RecordSize = static_cast<uint16_t>(header[10] | (header[11] << 8));
  if (!table.MemoFileName.empty()) fs.GetInfo(table.MemoFileName, &s.Memo);
  s.Valid = true;
  return s;
}

}  // namespace tabulon
