// Opens arbitrary bytes as a table with a memo file, reads every value, then
// writes (a field change and post, a memo write, an append, a pack) and
// checks what must hold after any write:
//   - the memo file is never shorter than before;
//   - the header bytes other than the date and the count, and the
//     descriptors, are unchanged: nothing is written below the header size;
//   - the FoxPro block size in the memo header is never rewritten.
//
// Input: byte 0 chooses the version byte (low 3 bits pick a flavour, or keep
// the data's own), bytes 1-2 the length of the data file (little-endian),
// then the data file, then the memo file.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dbf_table.h"
#include "file_memory.h"

namespace {

using tabulon::DbfTable;
using tabulon::MemoryFileSystem;

constexpr uint8_t kVersions[] = {0x03, 0x83, 0x84, 0xF5, 0x30, 0x8B, 0x04};

void Require(bool condition) {
  if (!condition) std::abort();
}

// A pack rebuilds the memo file, which may then shrink; nothing else ever
// makes it shorter, and no write leaves a pack journal behind.
void CheckAfterWrite(MemoryFileSystem& fs, const std::vector<uint8_t>& data,
                     const std::vector<uint8_t>& memo, bool packed = false) {
  std::vector<uint8_t> now = fs.GetFile("t.dbf");
  std::vector<uint8_t> memo_now = fs.GetFile("t.memo");
  Require(packed || memo_now.size() >= memo.size());
  Require(fs.ListFiles().size() == 2);
  if (memo.size() >= 8 && memo_now.size() >= 8) Require(std::memcmp(&memo[4], &memo_now[4], 4) == 0);
  size_t header_size = data.size() >= 10 ? (data[8] | (data[9] << 8)) : 0;
  size_t protect = std::min(header_size, data.size());
  Require(now.size() >= protect);
  for (size_t i = 0; i < protect; ++i) {
    if (i >= 1 && i <= 7) continue;  // date and record count
    Require(now[i] == data[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 3) return 0;
  size_t data_size = std::min<size_t>(input[1] | (input[2] << 8), size - 3);
  std::vector<uint8_t> data(input + 3, input + 3 + data_size);
  std::vector<uint8_t> memo(input + 3 + data_size, input + size);
  if (!data.empty() && (input[0] & 8)) data[0] = kVersions[input[0] % 7];

  MemoryFileSystem fs;
  fs.SetFile("t.dbf", data);
  fs.SetFile("t.memo", memo);
  auto table = tabulon::NewDbfTable("t.dbf", "t.memo", true, &fs);
  table->SetActive(true);
  if (!table->Active) {
    Require(table->FieldCount == 0);
    Require(fs.GetFile("t.dbf") == data);
    return 0;
  }

  // Read everything (bounded, so that a huge promised count stays quick).
  const int32_t records = static_cast<int32_t>(std::min<uint32_t>(table->RecordCount(), 64));
  std::string text;
  for (int32_t r = 1; r <= records; ++r) {
    table->GoTo(r);
    for (int32_t f = 1; f <= table->FieldCount; ++f) {
      text = table->FieldByNumber(f);
      // A value's own text stored back changes no byte of the record.
      table->PutFieldText(f, table->GetFieldText(f));
      Require(!table->RecordModified);
      if (table->GetFieldType(f) == tabulon::DbfFieldType::Memo) table->ReadMemo(f, text);
    }
  }
  table->GetFieldName(table->FieldCount + 1);

  // Writes, each followed by the checks.
  const int32_t field = table->FieldCount > 0 ? 1 + input[0] % table->FieldCount : 1;
  table->GoTo(records > 0 ? 1 + input[0] % records : 1);
  table->PutFieldByNumber(field, std::string(input[0] % 300, 'e'));
  table->Next();
  CheckAfterWrite(fs, data, memo);

  table->GoTo(1);
  table->WriteMemo(field, std::string(size % 1500, 'm'));
  table->PostRecord();
  CheckAfterWrite(fs, data, memo);
  std::vector<uint8_t> memo_after_write = fs.GetFile("t.memo");

  table->AppendBlank();
  table->SetDeleted(true);
  table->PostRecord();
  CheckAfterWrite(fs, data, memo_after_write);

  table->Pack();
  table->SetActive(false);
  CheckAfterWrite(fs, data, memo_after_write, true);
  return 0;
}
