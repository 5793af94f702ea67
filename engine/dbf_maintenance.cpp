// Appending blank records, deletion marks and packing in place.
#include <algorithm>
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
  if (!Active) return;
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

// Turns record slots from..to (1-based, inclusive) into deleted records by
// writing their flag byte. Used after a pack that could not finish: the
// slots between the packed part and the untouched rest hold only dropped
// records or stale copies of records already moved down.
void DbfTable::MarkSlotsDeleted(uint32_t from, uint32_t to) {
  for (uint32_t slot = from; slot <= to && slot != 0; ++slot)
    DataStream->WriteAt(RecordOffset(static_cast<int32_t>(slot)), &kDeletedFlag, 1);
}

// One pass in place, keeping the order of the live records. When a read or
// write fails midway the old count stays and the slots in between become
// deleted records, so every live record is still there exactly once.
int32_t DbfTable::Pack() {
  if (!Active) return 0;
  const uint32_t count = std::min<uint32_t>(RecordCount(), INT32_MAX);
  const size_t size = BufferedRecordSize();
  uint64_t read_position = HeaderSize();
  uint64_t write_position = HeaderSize();
  uint32_t kept = 0, done = 0;
  bool seen = false, failed = false;
  for (uint32_t i = 1; i <= count; ++i) {
    if (!DataStream->ReadExactAt(read_position, RecordBuffer, size)) {
      failed = true;
      break;
    }
    if (RecordBuffer[0] == kDeletedFlag) {
      seen = true;
    } else {
      // Records before the first deleted one are already in place.
      if (seen && !DataStream->WriteAt(write_position, RecordBuffer, size)) {
        failed = true;
        break;
      }
      write_position += size;
      ++kept;
    }
    read_position += size;
    done = i;
  }
  if (failed) {
    SetError(DbfWriteRecordError, std::to_string(done));
    if (seen) {
      MarkSlotsDeleted(kept + 1, done);
      HeaderModified = true;
    }
  } else {
    SetRecordCount(kept);
    StampDate(Header + 1);
    if (!DataStream->WriteAt(0, Header, kDbfHeaderSize)) {
      // The count on disk is unknown: keep the old one, and make sure the
      // stale tail cannot show up as live records.
      SetError(DbfWriteRecordError, std::to_string(done));
      SetRecordCount(count);
      MarkSlotsDeleted(kept + 1, count);
      DataStream->WriteAt(0, Header, kDbfHeaderSize);
    }
    if (seen) HeaderModified = true;
  }
  RecNo = 0;
  buffer_holds_record_ = true;
  RecordModified = false;
  return static_cast<int32_t>(done);
}

}  // namespace tabulon
