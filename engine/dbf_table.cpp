// Opening and closing a table, its header, and moving between records.
#include <algorithm>
#include <cstring>
#include <vector>

#include "dbf_header.h"
#include "dbf_locks.h"
#include "dbf_table.h"
#include "pack_journal.h"

namespace tabulon {

namespace {

constexpr uint8_t kTerminator = 0x0D;


}  // namespace

MemoKind MemoKindOfVersion(uint8_t version) {
  switch (version) {
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x83:
    case 0x84:
      return MemoKind::Dbt;
    case 0x8B:
    case 0x7B:
      return MemoKind::Dbt;
    case 0x30:
    case 0x31:
    case 0x32:
    case 0xF5:
      return MemoKind::Fpt;
    default:
      return MemoKind::None;
  }
}

bool UsesDbase4MemoBlocks(uint8_t version) { return version == 0x8B || version == 0x7B; }

bool IsVisualFoxPro(uint8_t version) { return version >= 0x30 && version <= 0x32; }

DbfTable::DbfTable(std::string file_name, std::string memo_file_name, bool auto_post,
                   DbfFileSystem& fs)
    : FileName(std::move(file_name)),
      MemoFileName(std::move(memo_file_name)),
      AutoPost(auto_post),
      fs_(fs) {}

// Freeing does not post or stamp anything: the owner closes the table first.
DbfTable::~DbfTable() = default;

std::unique_ptr<DbfTable> NewDbfTable(const std::string& file_name,
                                      const std::string& memo_file_name, bool auto_post,
                                      DbfFileSystem* fs) {
  return std::make_unique<DbfTable>(file_name, memo_file_name, auto_post,
                                    fs ? *fs : PlatformFileSystem());
}

uint32_t DbfTable::RecordCount() const { return GetDbfRecordCount(Header); }
uint16_t DbfTable::HeaderSize() const { return DecodeDbfHeader(Header).HeaderSize; }
uint16_t DbfTable::RecordSize() const { return DecodeDbfHeader(Header).RecordSize; }

void DbfTable::SetRecordCount(uint32_t count) {
  PutDbfRecordCount(Header, count);
}

DbfCodePage CodePageOfLanguageDriver(uint8_t driver) {
  switch (driver) {
    case 0x26:  // Russian MS-DOS
    case 0x65:  // Russian OEM (FoxPro)
      return DbfCodePage::Dos866;
    case 0xC9:  // Russian Windows
      return DbfCodePage::Windows1251;
    case 0x03:  // Windows ANSI
    case 0x57:  // ANSI (the ESRI and dBase 7 default)
      return DbfCodePage::Windows1252;
    default:
      return DbfCodePage::Unknown;
  }
}

uint8_t LanguageDriverOf(DbfCodePage page) {
  switch (page) {
    case DbfCodePage::Dos866: return 0x26;
    case DbfCodePage::Windows1251: return 0xC9;
    case DbfCodePage::Windows1252: return 0x03;
    case DbfCodePage::Unknown: return 0;
  }
  return 0;
}

MemoKind DbfTable::GetMemoKind() const {
  return MemoStream ? MemoKindOfVersion(GetVersion()) : MemoKind::None;
}

uint64_t DbfTable::RecordOffset(int32_t n) const {
  return uint64_t{HeaderSize()} + (static_cast<uint64_t>(static_cast<uint32_t>(n)) - 1) *
                                      uint64_t{RecordSize()};
}

size_t DbfTable::BufferedRecordSize() const {
  return std::min<size_t>(RecordSize(), kDbfRecordBufferSize);
}

void DbfTable::CloseStreams() {
  // Released while the stream that holds them is open.
  table_hold_.reset();
  if (DataStream) DataStream->Close();
  if (MemoStream) MemoStream->Close();
  DataStream.reset();
  MemoStream.reset();
  Active = false;
}

void DbfTable::SetActive(bool value) {
  if (value == Active) return;
  if (!value) {
    if (AutoPost) PostRecord();
    FlushWrites();
    CloseStreams();
    return;
  }

  ReadOnly = false;
  count_pending_ = false;
  if (!fs_.Exists(FileName)) {
    SetError(DbfFileNotExist, FileName);
    return;
  }
  // A file that can be read but not written (a read-only medium or share,
  // a read-only file, one another program holds for writing) opens for
  // reading only: it can be viewed, and every change is refused.
  if (!ReadingOnly) DataStream = DbfStream::Open(fs_.Open(FileName, DbfOpenMode::ReadWriteShared));
  if (!DataStream) {
    DataStream = DbfStream::Open(fs_.Open(FileName, DbfOpenMode::ReadOnly));
    if (!DataStream) {
      SetError(DbfNoAccess, FileName);
      return;
    }
    ReadOnly = true;
  }
  // A pack cut off is finished or undone before anything is read. Read
  // only, it cannot be: the half-packed file is not shown.
  if (ReadOnly && fs_.Exists(PackJournalName(FileName))) {
    SetError(DbfJournalNeedsWrite, FileName);
    CloseStreams();
    return;
  }
  if (!ReadOnly && !RecoverPass()) {
    CloseStreams();
    return;
  }
  Active = true;
  HeaderModified = false;
  if (!ReadHeader()) {
    CloseStreams();
    return;
  }
  if (!MemoFileName.empty() && fs_.Exists(MemoFileName)) {
    if (!ReadOnly)
      MemoStream = DbfStream::Open(fs_.Open(MemoFileName, DbfOpenMode::ReadWriteShared));
    if (!MemoStream) {
      // A memo file that can only be read makes the whole table read only:
      // a record must never point at memo blocks that could not be written.
      MemoStream = DbfStream::Open(fs_.Open(MemoFileName, DbfOpenMode::ReadOnly));
      if (MemoStream) {
        ReadOnly = true;
      } else {
        SetError(DbfNoAccess, MemoFileName);
        CloseStreams();
      }
    }
  }
}

bool DbfTable::RefusedReadOnly() {
  if (!ReadOnly) return false;
  SetError(DbfReadOnly, FileName);
  return true;
}

bool DbfTable::LockForWrite(DbfLockHold& hold, DbfLockScope scope, int32_t n) {
  // Every lock is held already, for a run of writes.
  if (table_hold_) return true;
  DbfLockRegion refused;
  if (hold.Take(DataStream, LockRegionsFor(Header, scope, static_cast<uint32_t>(n)), &refused))
    return true;
  SetError(DbfLockedElsewhere, refused.Record ? std::to_string(n) : std::string("table"));
  return false;
}

bool DbfTable::LockTable() {
  if (!Active || table_hold_) return Active;
  auto hold = std::make_unique<DbfLockHold>();
  if (!LockForWrite(*hold, DbfLockScope::Table, 0)) return false;
  table_hold_ = std::move(hold);
  return true;
}

void DbfTable::UnlockTable() { table_hold_.reset(); }

namespace {

// dBase 7 keeps 48-byte descriptors after a 68-byte header; its version
// byte 0x04 is also dBase IV's, so the layout decides.
bool LooksLikeDbase7(DbfStream& stream, uint16_t header_size, uint16_t record_size) {
  std::vector<uint8_t> area(header_size);
  if (header_size < 69 || !stream.ReadExactAt(0, area.data(), area.size())) return false;
  uint32_t sum = 1;
  for (size_t at = 68; at < area.size(); at += 48) {
    if (area[at] == kTerminator) return sum == record_size;
    if (at + 48 > area.size()) return false;
    sum += area[at + 33];
  }
  return false;
}

}  // namespace

// Reads the header and the descriptors and loads record 1. A file that the
// engine could not work on safely is refused with its reason: no terminator
// within the header, more descriptors than the limit, header and record
// sizes that do not hold the fields (posting into such a file would
// overwrite the header or the next record), or a file shorter than the
// records its header counts.
bool DbfTable::ReadHeader() {
  auto refuse = [this](uint8_t code, const std::string& detail) {
    SetError(code, detail);
    FieldCount = 0;
    RecNo = 0;
    std::memset(Header, 0, sizeof Header);
    return false;
  };
  if (!DataStream || !DataStream->ReadExactAt(0, Header, kDbfHeaderSize))
    return refuse(DbfNotATable, FileName);
  if (GetVersion() == 0x02) return refuse(DbfUnsupportedVersion, "dBase II");
  if (GetVersion() == 0x8C) return refuse(DbfUnsupportedVersion, "dBase 7");
  auto refuse_layout = [&](uint8_t code) {
    if (GetVersion() == 0x04 && LooksLikeDbase7(*DataStream, HeaderSize(), RecordSize()))
      return refuse(DbfUnsupportedVersion, "dBase 7");
    return refuse(code, FileName);
  };

  // The descriptor area in one read; the terminator scan looks at the bytes
  // at offsets 32, 64, 96, ... and stops at the end of the file.
  uint8_t area[(kDbfMaxFields + 1) * 32];
  size_t got = 0;
  if (!DataStream->ReadAt(kDbfHeaderSize, area, sizeof area, &got)) return refuse_layout(DbfNotATable);
  int count = 0;
  while (true) {
    size_t at = static_cast<size_t>(count) * 32;
    if (at >= got) return refuse_layout(DbfNotATable);
    if (area[at] == kTerminator) break;
    if (++count > kDbfMaxFields) return refuse_layout(DbfNotATable);
  }
  if (HeaderSize() < kDbfHeaderSize + 32u * count + 1 || RecordSize() == 0)
    return refuse_layout(DbfNotATable);

  // A Character field's decimals byte may carry the high byte of its length;
  // the record size tells which reading the file was written with.
  uint32_t plain = 1, wide = 1;
  bool any_wide = false;
  std::vector<DbfDescriptorFields> descriptors;
  for (int i = 1; i <= count; ++i) {
    const DbfDescriptorFields d = DecodeDbfDescriptor(area + (i - 1) * kDbfDescriptorSize);
    plain += d.Length;
    const bool long_char = d.Type == 'C' && d.Decimals != 0;
    wide += d.Length + (long_char ? 256u * d.Decimals : 0u);
    any_wide = any_wide || long_char;
    descriptors.push_back(d);
  }
  bool use_wide = false;
  if (any_wide && RecordSize() == wide)
    use_wide = true;
  else if (any_wide ? RecordSize() != plain : RecordSize() < plain)
    return refuse_layout(DbfSizesDisagree);

  uint32_t position = 1;
  for (int i = 1; i <= count; ++i) {
    const DbfDescriptorFields& d = descriptors[size_t(i - 1)];
    DbfField& f = Fields[i];
    std::memcpy(f.Name, d.Name, sizeof f.Name);
    f.Type = d.Type;
    f.Length = d.Length;
    f.Decimals = d.Decimals;
    if (use_wide && f.Type == 'C' && f.Decimals != 0) {
      f.Length = static_cast<uint16_t>(d.Length + 256u * d.Decimals);
      f.Decimals = 0;
    }
    std::memcpy(f.Rest, d.Rest, sizeof f.Rest);
    f.FieldPosition = position;
    position += f.Length;
    for (uint8_t& c : f.Name)
      if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
  }
  if (DataStream->GetSize() < uint64_t{HeaderSize()} + uint64_t{RecordCount()} * RecordSize())
    return refuse(DbfFileTooShort, FileName);

  FieldCount = count;
  count_on_disk_ = RecordCount();
  RecNo = 1;
  ReadRecord();
  return true;
}

bool DbfTable::FlushWrites() {
  if (!Active || ReadOnly || !DataStream) return true;
  if (MemoStream && MemoStream->HasUnflushedWrites() && !MemoStream->Flush()) {
    SetError(DbfWriteMemoError, "0");
    return false;
  }
  if (!HeaderModified && !count_pending_) {
    if (!DataStream->HasUnflushedWrites() || DataStream->Flush()) return true;
    SetError(DbfWriteRecordError, "0");
    return false;
  }
  const std::string count = std::to_string(RecordCount());
  // The records a new count covers reach the disk before it does.
  if (count_pending_ && DataStream->HasUnflushedWrites() && !DataStream->Flush()) {
    SetError(DbfAppendBlankError, count);
    return false;
  }
  DbfLockHold hold;
  DbfLockRegion refused;
  if (!hold.Take(DataStream, LockRegionsFor(Header, DbfLockScope::Header, 0), &refused)) {
    if (count_pending_) {
      SetError(DbfLockedElsewhere, "table");
      return false;
    }
    // Only the date of the last update would change, and the program
    // holding the header writes its own.
    HeaderModified = false;
    if (!DataStream->HasUnflushedWrites() || DataStream->Flush()) return true;
    SetError(DbfWriteRecordError, "0");
    return false;
  }
  StampDate(Header);
  // A failed header write is tried once more: the bytes it left may be
  // torn, and every count it could hold is safe now.
  if (!DataStream->WriteAt(0, Header, kDbfHeaderSize) &&
      !DataStream->WriteAt(0, Header, kDbfHeaderSize)) {
    SetError(count_pending_ ? DbfAppendBlankError : DbfWriteRecordError,
             count_pending_ ? count : "0");
    return false;
  }
  HeaderModified = false;
  count_pending_ = false;
  count_on_disk_ = RecordCount();
  if (DataStream->Flush()) return true;
  SetError(DbfWriteRecordError, "0");
  return false;
}

void DbfTable::ReadRecord() {
  const size_t size = BufferedRecordSize();
  auto blank = [&](uint8_t code, const std::string& detail) {
    std::memset(RecordBuffer, ' ', size);
    buffer_holds_record_ = false;
    refusal_code_ = code;
    refusal_detail_ = detail;
  };
  if (RecNo == 0) {
    std::memset(RecordBuffer, ' ', size);
    buffer_holds_record_ = true;  // no record that a post could overwrite
  } else if (static_cast<uint32_t>(RecNo) - 1 >= RecordCount()) {
    std::string asked = std::to_string(RecNo);
    SetError(DbfReadRecordRangeError, asked);
    RecNo = static_cast<int32_t>(std::min<uint32_t>(RecordCount(), INT32_MAX));
    blank(DbfWriteRecordRangeError, asked);
  } else if (!DataStream || !DataStream->ReadExactAt(RecordOffset(RecNo), RecordBuffer, size)) {
    // A short read (the header promises more records than the file holds)
    // is a failed read: never keep the previous record's bytes.
    SetError(DbfReadRecordError, std::to_string(RecNo));
    blank(DbfReadRecordError, std::to_string(RecNo));
  } else {
    buffer_holds_record_ = true;
  }
  RecordModified = false;
}

bool DbfTable::AcceptChange() {
  if (RefusedReadOnly()) return false;
  if (buffer_holds_record_) return true;
  SetError(refusal_code_, refusal_detail_);
  return false;
}

bool DbfTable::StoreRecord() {
  if (!DataStream || static_cast<uint32_t>(RecNo) - 1 >= RecordCount()) return false;
  uint64_t offset = RecordOffset(RecNo);
  // Writing past the end would leave a gap of undefined records.
  if (offset > DataStream->GetSize()) return false;
  // A record the header counts may refer to memo blocks just written:
  // they reach the disk first, or a power loss could leave the record
  // pointing at blocks that never arrived, its old memo lost.
  if (static_cast<uint32_t>(RecNo) <= count_on_disk_ && MemoStream &&
      MemoStream->HasUnflushedWrites() && !MemoStream->Flush())
    return false;
  HeaderModified = true;
  return DataStream->WriteAt(offset, RecordBuffer, BufferedRecordSize());
}

void DbfTable::WriteRecord() {
  if (!Active) return;
  if (RefusedReadOnly()) {
    RecordModified = false;  // the changes are dropped, as for any refusal
    return;
  }
  if (static_cast<uint32_t>(RecNo) - 1 >= RecordCount()) {
    SetError(DbfWriteRecordRangeError, std::to_string(RecNo));
  } else if (!buffer_holds_record_) {
    AcceptChange();
  } else {
    DbfLockHold hold;
    if (LockForWrite(hold, DbfLockScope::Record, RecNo) && !StoreRecord())
      SetError(DbfWriteRecordError, std::to_string(RecNo));
  }
  RecordModified = false;
}

void DbfTable::PostRecord() {
  if (Active && RecordModified) WriteRecord();
}

void DbfTable::GoTo(int32_t n) {
  if (!Active) return;
  if (AutoPost && RecordModified) PostRecord();
  bool allow = true;
  if (OnBeforeMove) OnBeforeMove(*this, allow);
  if (!allow) return;
  RecNo = n;
  ReadRecord();
}

}  // namespace tabulon
