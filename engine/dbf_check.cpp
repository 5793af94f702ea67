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
  DbfTable& t = *this;
  const std::string memo_file = MemoFileName;
  const uint64_t data_end = uint64_t{t.HeaderSize()} + uint64_t{t.RecordCount()} * t.RecordSize();
  const uint64_t size = t.DataStream->GetSize();
  uint8_t marker = 0;
  if (size > data_end + 1) {
    add(0, 0, std::to_string(size - data_end - 1) + " bytes after the end-of-data marker");
  }
  if (size == data_end) {
    add(0, 0, "no end-of-data marker (0x1A) after the last record");
  } else if (t.DataStream->ReadExactAt(data_end, &marker, 1) && marker != kEndOfData) {
    add(0, 0, "byte " + Hex(marker) + " after the last record where the end-of-data marker (0x1A) belongs");
  }

  std::set<std::string> names;
  for (int f = 1; f <= t.FieldCount; ++f) {
    const std::string name = t.GetFieldName(f);
    if (name.empty()) add(0, f, "field " + std::to_string(f) + " has no name");
    else if (!names.insert(name).second) add(0, f, "field name " + name + " is used twice");
    const DbfField& d = t.Fields[f];
    if ((d.Type == 'N' || d.Type == 'F') && d.Decimals > 0 && d.Decimals >= d.Length)
      add(0, f, "field " + name + ": " + std::to_string(d.Decimals) + " decimals do not fit its width " +
                    std::to_string(d.Length));
  }

  // Memo references: each must point past the memo file's header at a
  // memo that can be read whole.
  std::vector<int> memo_fields;
  for (int f = 1; f <= t.FieldCount; ++f)
    if (t.RefersToMemo(f)) memo_fields.push_back(f);
  MemoFileHeader memo_header;
  const bool memo_open = t.MemoStream != nullptr;
  const bool memo_header_read =
      memo_open && ReadMemoHeader(*t.MemoStream, MemoLayoutOfVersion(t.GetVersion()), &memo_header);
  if (!memo_fields.empty() && !memo_open)
    add(0, 0, memo_file.empty() ? "memo fields, but no memo file beside the table" : "memo file " + memo_file + " cannot be read");
  if (memo_open && !memo_header_read) add(0, 0, "memo file header cannot be read");

  for (uint32_t r = 1; r <= t.RecordCount() && r <= uint32_t(INT32_MAX); ++r) {
    t.GoTo(int32_t(r));
    if (!t.BufferHoldsRecord()) {
      add(int32_t(r), 0, "cannot be read");
      continue;
    }
    const uint8_t flag = t.RecordBuffer[0];
    if (flag != ' ' && flag != '*') add(int32_t(r), 0, "deletion flag " + Hex(flag) + " (neither blank nor '*')");
    if (!memo_header_read) continue;
    for (int f : memo_fields) {
      const uint64_t block = GetMemoReference(t.GetVersion(), t.Fields[f], t.RecordBuffer);
      if (block == 0) continue;
      const std::string where = "field " + t.GetFieldName(f) + ": memo block " + std::to_string(block);
      if (block * memo_header.BlockSize < memo_header.HeaderBytes) {
        add(int32_t(r), f, where + " lies in the memo file's header");
      } else if (block * memo_header.BlockSize >= t.MemoStream->GetSize()) {
        add(int32_t(r), f, where + " lies beyond the end of the memo file");
      } else {
        MemoBlock memo;
        if (!ReadMemoBlock(*t.MemoStream, memo_header, block, &memo))
          add(int32_t(r), f, where + " cannot be read whole");
      }
    }
  }
  return problems;
}

}  // namespace tabulon
