// Opening and closing a table, its header, and moving between records.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "dbf_header.h"
#include "dbf_locks.h"
#include "dbf_table.h"
#include "write_journal.h"
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
    case 0x8C:
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

bool UsesDbase4MemoBlocks(uint8_t version) { return version == 0x8B || version == 0x7B || version == 0x8C; }

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
uint16_t DbfTable::RecordSize() const { return stride_ ? stride_ : DecodeDbfHeader(Header).RecordSize; }

void DbfTable::SetRecordCount(uint32_t count) {
  PutDbfRecordCount(Header, count);
}

int CodePageNumberOfLanguageDriver(uint8_t driver) {
  // The drivers of dBase, FoxPro and Visual FoxPro whose code page is one
  // of single bytes; Japanese, Chinese and Korean pages (and Kamenicky,
  // Mazovia) are not among them.
  switch (driver) {
    case 0x01: case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18:
    case 0x19: case 0x1B: case 0x5E: case 0x5F:
      return 437;
    case 0x02: case 0x0A: case 0x0C: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16:
    case 0x1A: case 0x1D: case 0x25: case 0x37: case 0x60: case 0x9C:
      return 850;
    case 0x03: case 0x57: case 0x58: case 0x59: case 0x61: case 0x62:
      return 1252;
    case 0x04: return 10000;
    case 0x08: case 0x17: case 0x66: return 865;
    case 0x1C: case 0x6C: return 863;
    case 0x1F: case 0x22: case 0x23: case 0x40: case 0x64: case 0x87: return 852;
    case 0x24: return 860;
    case 0x26: case 0x65: return 866;  // Russian MS-DOS
    case 0x50: case 0x7C: return 874;
    case 0x67: return 861;
    case 0x6A: case 0x86: return 737;
    case 0x6B: case 0x88: return 857;
    case 0x7D: return 1255;
    case 0x7E: return 1256;
    case 0x85: return 862;
    case 0x96: return 10007;
    case 0x97: return 10029;
    case 0x98: return 10006;
    case 0x9B: case 0xC8: return 1250;
    case 0xC9: return 1251;  // Russian Windows
    case 0xCA: return 1254;
    case 0xCB: return 1253;
    case 0xCC: return 1257;
    default: return 0;
  }
}

DbfCodePage CodePageOfLanguageDriver(uint8_t driver) {
  switch (CodePageNumberOfLanguageDriver(driver)) {
    case 866: return DbfCodePage::Dos866;
    case 1251: return DbfCodePage::Windows1251;
    case 1252: return DbfCodePage::Windows1252;
    default: return DbfCodePage::Unknown;
  }
}

int CodePageOfDriverName(const std::string& name) {
  // "DB866RU0", "DB437US0": the page after "DB"; "DBWINUS0": Windows, its
  // page by the country letters.
  if (name.compare(0, 2, "DB") != 0) return 0;
  if (name.compare(2, 3, "WIN") == 0) {
    const std::string country = name.substr(5, 2);
    if (country == "RU") return 1251;
    if (country == "CZ" || country == "PO" || country == "HD" || country == "SL") return 1250;
    if (country == "GR") return 1253;
    if (country == "TR") return 1254;
    return 1252;
  }
  int page = 0;
  for (size_t i = 2; i < name.size() && i < 7 && name[i] >= '0' && name[i] <= '9'; ++i)
    page = page * 10 + (name[i] - '0');
  return page;
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
  // Released while the stream that holds them is open, after the writes
  // made under them.
  if (DataStream) DataStream->SetGathering(false);
  table_hold_.reset();
  // A journal still open belongs to writes that were not finished: it stays
  // on the disk for the next open.
  write_journal_.reset();
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
  if (ReadOnly && (fs_.Exists(PackJournalName(FileName)) || fs_.Exists(WriteJournalName(FileName)))) {
    SetError(DbfJournalNeedsWrite, FileName);
    CloseStreams();
    return;
  }
  if (!ReadOnly && !RecoverUnderLock()) {
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

// A journal is applied holding the table's lock, as a pass would: another
// program that holds it may be reading or writing the records, and the
// open waits for a later try.
bool DbfTable::RecoverUnderLock() {
  if (!fs_.Exists(PackJournalName(FileName)) && !fs_.Exists(WriteJournalName(FileName)))
    return RecoverWrite();
  uint8_t header[kDbfHeaderSize] = {};
  DbfLockHold hold;
  DbfLockRegion refused;
  if (!DataStream->ReadExactAt(0, header, sizeof header) ||
      !hold.Take(DataStream, LockRegionsFor(header, DbfLockScope::Table, 0), &refused)) {
    SetError(DbfLockedElsewhere, "table");
    return false;
  }
  return RecoverPass() && RecoverWrite();
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
  DataStream->SetGathering(true);
  return true;
}

void DbfTable::UnlockTable() {
  if (!table_hold_) return;
  // The writes of the run reach the file before other programs may look.
  if (!DataStream->SetGathering(false)) SetError(DbfWriteRecordError, "0");
  table_hold_.reset();
}

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
// engine could not work on safely is refused with its reason: no
// terminator within the header (but see DbfNoTerminator), more descriptors
// than the limit, header and record sizes that do not hold the fields
// (posting into such a file would overwrite the header or the next record;
// but see DbfShortRecordSize), or a file shorter than the records its
// header counts.
bool DbfTable::ReadHeader() {
  auto refuse = [this](uint8_t code, const std::string& detail) {
    SetError(code, detail);
    FieldCount = 0;
    RecNo = 0;
    std::memset(Header, 0, sizeof Header);
    dbase7_ = false;
    driver_name_.clear();
    layout_warnings_ = 0;
    stride_ = 0;
    return false;
  };
  dbase7_ = false;
  driver_name_.clear();
  layout_warnings_ = 0;
  stride_ = 0;
  if (!DataStream || !DataStream->ReadExactAt(0, Header, kDbfHeaderSize))
    return refuse(DbfNotATable, FileName);
  if (GetVersion() == 0x02) return refuse(DbfUnsupportedVersion, "dBase II");
  dbase7_ = GetVersion() == 0x8C ||
            (GetVersion() == 0x04 && LooksLikeDbase7(*DataStream, HeaderSize(), RecordSize()));
  if (dbase7_) {
    uint8_t full[kDbase7HeaderSize];
    if (!DataStream->ReadExactAt(0, full, sizeof full)) return refuse(DbfNotATable, FileName);
    driver_name_ = GetDbase7DriverName(full);
  }
  uint8_t code = 0;
  if (!ReadDescriptors(&code)) return refuse(code, FileName);
  if (DataStream->GetSize() < uint64_t{HeaderSize()} + uint64_t{RecordCount()} * RecordSize())
    return refuse(DbfFileTooShort, FileName);
  // Readers disagree on where the records of such a file lie.
  if (layout_warnings_ & DbfShortRecordSize) ReadOnly = true;
  count_on_disk_ = RecordCount();
  RecNo = 1;
  ReadRecord();
  return true;
}

bool DbfTable::ReadDescriptors(uint8_t* code) {
  *code = DbfNotATable;
  const size_t base = dbase7_ ? kDbase7HeaderSize : kDbfHeaderSize;
  const size_t step = dbase7_ ? kDbase7DescriptorSize : kDbfDescriptorSize;
  // The descriptor area in one read; the terminator scan looks at the
  // first byte of each descriptor's place and stops at the end of the file.
  std::vector<uint8_t> area((kDbfMaxFields + 1) * step);
  size_t got = 0;
  if (!DataStream->ReadAt(base, area.data(), area.size(), &got)) return false;
  int count = 0;
  while (size_t(count) * step < got && area[size_t(count) * step] != kTerminator) {
    if (++count > kDbfMaxFields) return false;
  }
  if (size_t(count) * step >= got) {
    // No terminator, as some exporters write: the descriptors end at a
    // line feed in its place (as dbfread reads them) or where the header
    // size ends them (as Perl's XBase does).
    const size_t room = HeaderSize() > base ? HeaderSize() - base : 0;
    count = -1;
    for (size_t k = 0; k * step < room && k * step < got && k <= size_t(kDbfMaxFields); ++k) {
      if (area[k * step] == 0x0A) {
        count = int(k);
        break;
      }
    }
    if (count < 0 && room % step <= 1 && room / step <= size_t(kDbfMaxFields)) count = int(room / step);
    if (count <= 0 || size_t(count) * step > got) return false;
    layout_warnings_ |= DbfNoTerminator;
  } else if (HeaderSize() < base + step * size_t(count) + 1) {
    return false;
  }
  if (RecordSize() == 0) return false;

  // A Character field's decimals byte may carry the high byte of its length;
  // the record size tells which reading the file was written with.
  uint32_t plain = 1, wide = 1;
  bool any_wide = false;
  std::vector<DbfDescriptorFields> descriptors;
  for (int i = 0; i < count; ++i) {
    const uint8_t* at = area.data() + size_t(i) * step;
    const DbfDescriptorFields d = dbase7_ ? DecodeDbase7Descriptor(at) : DecodeDbfDescriptor(at);
    plain += d.Length;
    const bool long_char = d.Type == 'C' && d.Decimals != 0;
    wide += d.Length + (long_char ? 256u * d.Decimals : 0u);
    any_wide = any_wide || long_char;
    descriptors.push_back(d);
  }
  bool use_wide = false, shortened = false;
  if (any_wide && RecordSize() == wide) {
    use_wide = true;
  } else if (RecordSize() + 1u == plain && count > 0) {
    layout_warnings_ |= DbfShortRecordSize;
    // The records as the fields lay them out where the file holds them
    // so; else as the header spaces them, the last field a byte short.
    if (DataStream->GetSize() >= uint64_t{HeaderSize()} + uint64_t{RecordCount()} * plain)
      stride_ = static_cast<uint16_t>(plain);
    else
      shortened = true;
  } else if (any_wide ? RecordSize() != plain : RecordSize() < plain) {
    *code = DbfSizesDisagree;
    return false;
  } else if ((layout_warnings_ & DbfNoTerminator) && RecordSize() != plain) {
    // Without a terminator only fields that fill the record exactly say
    // the descriptors were read where they end.
    return false;
  }

  uint32_t position = 1;
  for (int i = 1; i <= count; ++i) {
    const DbfDescriptorFields& d = descriptors[size_t(i - 1)];
    DbfField& f = Fields[i];
    f = DbfField{};
    // Outside dBase 7 a name has 10 bytes; the 11th is its end.
    std::memcpy(f.Name, d.Name, dbase7_ ? sizeof f.Name : kDbfNameBytes - 1);
    f.Type = d.Type;
    f.Length = d.Length;
    f.Decimals = d.Decimals;
    if (use_wide && f.Type == 'C' && f.Decimals != 0) {
      f.Length = static_cast<uint16_t>(d.Length + 256u * d.Decimals);
      f.Decimals = 0;
    }
    if (shortened && i == count && f.Length > 0) --f.Length;
    if (!dbase7_) std::memcpy(f.Rest, d.Rest, sizeof f.Rest);
    f.NextAutoincrement = d.NextAutoincrement;
    f.FieldPosition = position;
    position += f.Length;
    if (!dbase7_)
      for (uint8_t& c : f.Name)
        if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
  }
  FieldCount = count;
  return true;
}

bool DbfTable::NumberAutoincrements() {
  if (!dbase7_) return true;
  for (int32_t i = 1; i <= FieldCount; ++i) {
    DbfField& f = Fields[i];
    if (f.Type != '+' || f.Length != 4) continue;
    // A writer that kept no counter leaves 0: numbering starts at 1.
    const uint32_t value = std::max<uint32_t>(f.NextAutoincrement, 1);
    if (value > uint32_t{INT32_MAX}) return false;
    EncodeBinaryValue(DbfValueLayout::Autoincrement, std::to_string(value), RecordBuffer + f.FieldPosition, 4);
    uint8_t next[4];
    EncodeNextAutoincrement(value + 1, next);
    const uint64_t at = kDbase7HeaderSize + uint64_t(i - 1) * kDbase7DescriptorSize + kDbase7NextAutoincrementAt;
    if (!DataStream->WriteAt(at, next, sizeof next)) return false;
    f.NextAutoincrement = value + 1;
  }
  return true;
}

// With files following the records, their changes are saved in the
// journal before the table's writes are flushed, and written after: the
// journal's removal commits both.
bool DbfTable::FlushWrites() {
  if (!write_journal_ || !Active || ReadOnly || !DataStream) return FlushTableWrites();
  const bool saved = !follower_ || !follower_->HasChanges() ||
                     (follower_->SaveChanges(*write_journal_) && write_journal_->Flush());
  if (saved && FlushTableWrites() && (!follower_ || follower_->WriteChanges()) && write_journal_->Commit()) {
    write_journal_.reset();
    return true;
  }
  // Put back, table and indexes, by the next open.
  if (follower_) {
    if (ErrorCode == 0) SetError(DbfWriteIndexError, follower_->GetErrorText());
    follower_->DropChanges();
  }
  write_journal_.reset();
  return false;
}

bool DbfTable::FlushTableWrites() {
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
  if (follower_ && !FollowRecordWrite(static_cast<uint32_t>(RecNo), offset, RecordBuffer, false)) {
    SetError(DbfWriteIndexError, follower_->GetErrorText());
    return false;
  }
  HeaderModified = true;
  if (DataStream->WriteAt(offset, RecordBuffer, BufferedRecordSize())) return true;
  return follower_ ? DropFollowedRun() : false;
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
    if (LockForWrite(hold, DbfLockScope::Record, RecNo) && !StoreRecord() && ErrorCode != DbfWriteIndexError)
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
