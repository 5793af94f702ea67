#include "dbf_check.h"

#include <set>

#include "dbf_table.h"
#include "memo_blocks.h"

namespace tabulon {

namespace {

constexpr uint8_t kEndOfData = 0x1A;

std::string Hex(uint8_t byte) {
  const char* digits = "0123456789ABCDEF";
  return std::string("0x") + digits[byte >> 4] + digits[byte & 15];
}

}  // namespace

std::vector<DbfProblem> CheckTableFiles(const std::string& table_file, const std::string& memo_file,
                                        DbfFileSystem& fs) {
  auto table = NewDbfTable(table_file, memo_file, false, &fs);
  // Nothing is written, not even an interrupted pass undone.
  table->SetReadingOnly(true);
  table->SetActive(true);
  if (!table->IsActive()) return {DbfProblem{0, 0, table->GetErrorText()}};
  std::vector<DbfProblem> problems = table->CheckFiles();
  table->SetActive(false);
  return problems;
}

std::vector<DbfProblem> DbfTable::CheckFiles() {
  std::vector<DbfProblem> problems;
  auto add = [&](int32_t record, int field, std::string text) {
    problems.push_back(DbfProblem{record, field, std::move(text)});
  };
  const uint64_t data_end = uint64_t{HeaderSize()} + uint64_t{RecordCount()} * RecordSize();
  const uint64_t size = DataStream->GetSize();
  uint8_t marker = 0;
  if (size > data_end + 1) {
    add(0, 0, std::to_string(size - data_end - 1) + " bytes after the end-of-data marker");
  }
  if (size == data_end) {
    add(0, 0, "no end-of-data marker (0x1A) after the last record");
  } else if (DataStream->ReadExactAt(data_end, &marker, 1) && marker != kEndOfData) {
    add(0, 0, "byte " + Hex(marker) + " after the last record where the end-of-data marker (0x1A) belongs");
  }

  std::set<std::string> names;
  for (int f = 1; f <= FieldCount; ++f) {
    const std::string name = GetFieldName(f);
    if (name.empty()) add(0, f, "field " + std::to_string(f) + " has no name");
    else if (!names.insert(name).second) add(0, f, "field name " + name + " is used twice");
    const DbfField& d = Fields[f];
    if ((d.Type == 'N' || d.Type == 'F') && d.Decimals > 0 && d.Decimals >= d.Length)
      add(0, f, "field " + name + ": " + std::to_string(d.Decimals) + " decimals do not fit its width " +
                    std::to_string(d.Length));
  }

  // Memo references: each must point past the memo file's header at a
  // memo that can be read whole.
  std::vector<int> memo_fields;
  for (int f = 1; f <= FieldCount; ++f)
    if (RefersToMemo(f)) memo_fields.push_back(f);
  MemoFileHeader memo_header;
  const bool memo_open = MemoStream != nullptr;
  const bool memo_header_read =
      memo_open && ReadMemoHeader(*MemoStream, MemoLayoutOfVersion(GetVersion()), &memo_header);
  if (!memo_fields.empty() && !memo_open)
    add(0, 0, MemoFileName.empty() ? "memo fields, but no memo file beside the table" : "memo file " + MemoFileName + " cannot be read");
  if (memo_open && !memo_header_read) add(0, 0, "memo file header cannot be read");

  for (uint32_t r = 1; r <= RecordCount() && r <= uint32_t(INT32_MAX); ++r) {
    GoTo(int32_t(r));
    if (!BufferHoldsRecord()) {
      add(int32_t(r), 0, "cannot be read");
      continue;
    }
    const uint8_t flag = RecordBuffer[0];
    if (flag != ' ' && flag != '*') add(int32_t(r), 0, "deletion flag " + Hex(flag) + " (neither blank nor '*')");
    if (!memo_header_read) continue;
    for (int f : memo_fields) {
      const uint64_t block = GetMemoReference(GetVersion(), Fields[f], RecordBuffer);
      if (block == 0) continue;
      const std::string where = "field " + GetFieldName(f) + ": memo block " + std::to_string(block);
      MemoBlock memo;
      DbfMemoFault fault = DbfMemoFault::Damaged;
      if (ReadReferencedMemo(*MemoStream, memo_header, block, &memo, &fault) == MemoReferenceRead::Read)
        continue;
      switch (fault) {
        case DbfMemoFault::InHeader: add(int32_t(r), f, where + " lies in the memo file's header"); break;
        case DbfMemoFault::PastEnd: add(int32_t(r), f, where + " lies beyond the end of the memo file"); break;
        case DbfMemoFault::Damaged: add(int32_t(r), f, where + " cannot be read whole"); break;
      }
    }
  }
  return problems;
}

}  // namespace tabulon
