// Appending blank records, deletion marks, the structural-index flag.
#include <climits>
#include <cstring>
#include <vector>

#include "dbf_header.h"
#include "dbf_locks.h"
#include "dbf_table.h"
#include "write_journal.h"

namespace tabulon {

namespace {

constexpr uint8_t kLiveFlag = ' ';
constexpr uint8_t kDeletedFlag = '*';
constexpr uint8_t kEndOfData = 0x1A;

}  // namespace

void DbfTable::StampDate(uint8_t* header) {
  const DbfLocalTime now = fs_.Now();
  PutDbfDate(header, now.Year, now.Month, now.Day);
}

// The new record goes after the last one, with the end-of-data byte after
// it, in one write; the header counts it from the next FlushWrites (at the
// latest when the table closes), once it is on disk.
void DbfTable::AppendBlank() {
  if (!Active || RefusedReadOnly()) return;
  const uint32_t old_count = RecordCount();
  const std::string detail = std::to_string(uint64_t{old_count} + 1);
  // Record numbers are signed 32-bit, and the new record must start at the
  // end of the data or before it, never past it.
  if (old_count >= INT32_MAX || RecordOffset(static_cast<int32_t>(old_count) + 1) >
                                    DataStream->GetSize()) {
    SetError(DbfAppendBlankError, detail);
    return;
  }
  const uint32_t count = old_count + 1;
  DbfLockHold hold;
  if (!LockForWrite(hold, DbfLockScope::Append, static_cast<int32_t>(count))) return;
  RecNo = static_cast<int32_t>(count);
  BlankRecordBuffer();
  buffer_holds_record_ = true;
  RecordModified = false;
  if (!NumberAutoincrements()) {
    SetError(DbfAppendBlankError, detail);
    RecNo = static_cast<int32_t>(old_count);
    ReadRecord();
    return;
  }
  // The followers take the new record, its autoincrement values set,
  // before it is written. (An append put back at the next open leaves the
  // counters past the numbers it took, as a deleted record does.)
  if (follower_ && !FollowRecordWrite(count, RecordOffset(RecNo), RecordBuffer, true)) {
    SetError(DbfWriteIndexError, follower_->GetErrorText());
    RecNo = static_cast<int32_t>(old_count);
    ReadRecord();
    return;
  }
  const size_t size = BufferedRecordSize();
  std::vector<uint8_t> bytes(RecordBuffer, RecordBuffer + size);
  bytes.push_back(kEndOfData);
  if (!DataStream->WriteAt(RecordOffset(RecNo), bytes.data(), bytes.size())) {
    if (follower_) DropFollowedRun();
    SetError(DbfAppendBlankError, detail);
    RecNo = static_cast<int32_t>(old_count);
    ReadRecord();
    return;
  }
  SetRecordCount(count);
  count_pending_ = true;
  HeaderModified = true;
  if (OnAfterAppend) OnAfterAppend(*this);
}

void DbfTable::SetDeleted(bool deleted) {
  if (!Active) return;
  bool allow = true;
  if (OnBeforeDelete) OnBeforeDelete(*this, allow);
  if (!allow || !AcceptChange()) return;
  // The mark reaches the file with the record; a record another program
  // holds is refused now rather than at the post.
  DbfLockHold hold;
  if (RecNo >= 1 && !LockForWrite(hold, DbfLockScope::Record, RecNo)) return;
  RecordBuffer[0] = deleted ? kDeletedFlag : kLiveFlag;
  RecordModified = true;
}

bool ClearStructuralIndexFlagOf(const std::string& table_file, DbfFileSystem& fs) {
  std::unique_ptr<DbfFile> file = fs.Open(table_file, DbfOpenMode::ReadWriteShared);
  uint8_t header[kDbfHeaderSize];
  size_t got = 0;
  if (!file || !file->ReadAt(0, header, sizeof header, &got) || got != sizeof header) return false;
  if (!(header[28] & 0x01)) return true;
  const uint8_t flags = static_cast<uint8_t>(header[28] & ~0x01);
  return file->WriteAt(28, &flags, 1) && file->Flush() && file->Close();
}

}  // namespace tabulon
