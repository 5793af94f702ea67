// Appending blank records and deletion marks.
#include <climits>
#include <cstring>

#include "dbf_table.h"

namespace tabulon {

namespace {

constexpr uint8_t kLiveFlag = ' ';
constexpr uint8_t kDeletedFlag = '*';

}  // namespace

void DbfTable::StampDate(uint8_t* destination) {
  DbfLocalTime now = fs_.Now();
  destination[0] = static_cast<uint8_t>(now.Year % 100);
  destination[1] = static_cast<uint8_t>(now.Month);
  destination[2] = static_cast<uint8_t>(now.Day);
}

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
  SetRecordCount(count);
  RecNo = static_cast<int32_t>(count);
  BlankRecordBuffer();
  buffer_holds_record_ = true;
  RecordModified = true;
  bool ok = StoreRecord();
  RecordModified = false;
  HeaderModified = true;
  ok = ok && DataStream->WriteAt(0, Header, kDbfHeaderSize);
  if (!ok) {
    SetError(DbfAppendBlankError, detail);
    SetRecordCount(old_count);
    // The header on disk may hold the new count or a torn write of it.
    DataStream->WriteAt(0, Header, kDbfHeaderSize);
    return;
  }
  if (OnAfterAppend) OnAfterAppend(*this);
}

void DbfTable::SetDeleted(bool deleted) {
  if (!Active) return;
  bool allow = true;
  if (OnBeforeDelete) OnBeforeDelete(*this, allow);
  if (!allow || !AcceptChange()) return;
  RecordBuffer[0] = deleted ? kDeletedFlag : kLiveFlag;
  RecordModified = true;
}

}  // namespace tabulon
