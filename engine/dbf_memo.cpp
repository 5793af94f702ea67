// Memo texts of the current record in .dbt files (dBase III and dBase IV
// blocks) and .fpt files (FoxPro blocks); memo_blocks.h has their layouts.
//
// Whatever a memo file claims, the engine never reads or allocates beyond
// its end, never makes it shorter, never writes into its header block or
// into a block a record may refer to, and stores a new reference in the
// record only after the memo bytes and the memo header are written (and,
// for a record the header counts, flushed), so a failed write or a power
// loss leaves the old memo in force.
#include <algorithm>
#include <cstring>

#include "dbf_locks.h"
#include "dbf_table.h"
#include "write_journal.h"
#include "memo_blocks.h"

namespace tabulon {

namespace {

uint64_t RoundUp(uint64_t value, uint64_t unit) { return (value + unit - 1) / unit * unit; }

}  // namespace

namespace {

bool HoldsBinaryReference(uint8_t version, const DbfField& field) {
  return IsVisualFoxPro(version) && field.Length == 4;
}

// Whether PutMemoReference can store block in the field.
bool ReferenceFits(uint8_t version, const DbfField& field, uint64_t block) {
  return HoldsBinaryReference(version, field) ? block <= UINT32_MAX
                                              : std::to_string(block).size() <= field.Length;
}

}  // namespace

uint64_t GetMemoReference(uint8_t version, const DbfField& field, const uint8_t* record) {
  const uint8_t* at = record + field.FieldPosition;
  if (HoldsBinaryReference(version, field))
    return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
           (uint32_t{at[3]} << 24);
  int64_t value = ParseLeadingInteger(
      TrimBlanks(std::string(reinterpret_cast<const char*>(at), field.Length)));
  // A negative or oversized number refers to no block the file can hold.
  if (value <= 0) return 0;
  return value > UINT32_MAX ? UINT32_MAX : static_cast<uint64_t>(value);
}

bool PutMemoReference(uint8_t version, const DbfField& field, uint8_t* record, uint64_t block) {
  uint8_t* at = record + field.FieldPosition;
  if (HoldsBinaryReference(version, field)) {
    if (block > UINT32_MAX) return false;
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(block >> (8 * i));
    return true;
  }
  const std::string digits = std::to_string(block);
  if (digits.size() > field.Length) return false;
  const std::string text = PadLeft(digits, field.Length);
  std::memcpy(at, text.data(), text.size());
  return true;
}

uint32_t DbfTable::MemoReference(int32_t n) {
  if (n < 1 || n > FieldCount) return 0;
  return static_cast<uint32_t>(GetMemoReference(GetVersion(), Fields[n], RecordBuffer));
}

bool IsMemoReferenceField(uint8_t version, uint8_t type) {
  if (type == 'M' || type == 'G' || type == 'P' || type == 'W') return true;
  // In Visual FoxPro 'B' is a double inside the record; elsewhere binary memo.
  return type == 'B' && !IsVisualFoxPro(version);
}

bool DbfTable::RefersToMemo(int32_t n) const {
  return n >= 1 && n <= FieldCount && IsMemoReferenceField(GetVersion(), Fields[n].Type);
}

void DbfTable::ReadMemo(int32_t n, std::string& text, bool* binary) {
  if (binary) *binary = false;
  switch (GetMemoKind()) {
    case MemoKind::None:
      // The text stays as it was; the caller learns why it got none.
      if (RefersToMemo(n)) SetError(DbfMemoUnavailable, std::to_string(n));
      return;
    case MemoKind::Dbt:
      ReadDbtMemo(n, text);
      return;
    case MemoKind::Fpt:
      ReadFptMemo(n, text, binary);
      return;
  }
}

void DbfTable::WriteMemo(int32_t n, const std::string& text) {
  if (!Active || RefusedReadOnly()) return;
  if (n >= 1 && n <= FieldCount && !RefersToMemo(n)) {
    // A block number written into a text or number field would garble it.
    SetError(DbfWriteMemoError, std::to_string(n));
    return;
  }
  // Other programs guard a record's memo with the record's lock.
  DbfLockHold hold;
  if (GetMemoKind() != MemoKind::None && RecNo >= 1 &&
      !LockForWrite(hold, DbfLockScope::Record, RecNo))
    return;
  switch (GetMemoKind()) {
    case MemoKind::None:
      if (RefersToMemo(n)) SetError(DbfMemoUnavailable, std::to_string(n));
      return;
    case MemoKind::Dbt:
      WriteDbtMemo(n, text);
      return;
    case MemoKind::Fpt:
      WriteFptMemo(n, text);
      return;
  }
}

void DbfTable::ReadDbtMemo(int32_t n, std::string& text) {
  text.clear();
  const uint64_t block = MemoReference(n);
  MemoFileHeader header;
  if (block == 0) return;
  if (!ReadMemoHeader(*MemoStream, MemoLayoutOfVersion(GetVersion()), &header)) {
    SetError(DbfReadMemoError, std::to_string(n));
    return;
  }
  // A reference beyond the end of the file holds no text.
  if (MemoStream->GetSize() <= block * header.BlockSize) return;
  MemoBlock memo;
  const bool ok = ReadMemoBlock(*MemoStream, header, block, &memo);
  text = std::move(memo.Data);
  if (!ok) SetError(DbfReadMemoError, std::to_string(n));
}

void DbfTable::ReadFptMemo(int32_t n, std::string& text, bool* binary) {
  text.clear();
  if (n < 1 || n > FieldCount) return;
  const uint64_t block = MemoReference(n);
  MemoFileHeader header;
  if (!ReadMemoHeader(*MemoStream, MemoLayout::Fpt, &header)) {
    SetError(DbfReadMemoError, std::to_string(n));
    return;
  }
  if (block == 0) return;
  // A length running past the end yields the bytes that are there.
  MemoBlock memo;
  const bool ok = ReadMemoBlock(*MemoStream, header, block, &memo);
  text = std::move(memo.Data);
  // FoxPro marks pictures (0) and objects (2) apart from texts (1).
  if (binary) *binary = memo.Type != kFptTextBlock;
  if (!ok) SetError(DbfReadMemoError, std::to_string(n));
}

// Stores block as the reference of field n in the record buffer. False when
// the field is too narrow to hold the number whole: a cut number would point
// at some other memo.
bool DbfTable::StoreMemoReference(int32_t n, uint64_t block) {
  if (!PutMemoReference(GetVersion(), Fields[n], RecordBuffer, block)) return false;
  RecordModified = true;
  return true;
}

void DbfTable::WriteDbtMemo(int32_t n, const std::string& text) {
  const std::string detail = std::to_string(n);
  if (n < 1 || n > FieldCount) {
    SetError(DbfWriteMemoError, detail);
    return;
  }
  if (!AcceptChange()) return;
  DbfStream& memo = *MemoStream;
  MemoFileHeader header;
  // A dBase IV header cut off before its block size: the bytes a write
  // appends would give it one other than the 512 it was read with.
  if (memo.GetSize() < 4 || !ReadMemoHeader(memo, MemoLayoutOfVersion(GetVersion()), &header) ||
      (header.Layout == MemoLayout::Dbt4 && memo.GetSize() < kDbase4HeaderEnd) ||
      !AppendMemo(n, header, text)) {
    SetError(DbfWriteMemoError, detail);
    return;
  }
}

// A FoxPro memo is never rewritten in place either: its length and its text
// would be two writes a kill could part, and the room a block owns is only
// known from every record's references (a stored length may claim the next
// memo's blocks, and two records may share a block). The old blocks stay
// unused until a pack.
void DbfTable::WriteFptMemo(int32_t n, const std::string& text) {
  if (n < 1 || n > FieldCount) return;
  if (!AcceptChange()) return;
  const std::string detail = std::to_string(n);
  MemoFileHeader header;
  if (!ReadMemoHeader(*MemoStream, MemoLayout::Fpt, &header) || !AppendMemo(n, header, text)) {
    SetError(DbfWriteMemoError, detail);
    return;
  }
  // Unlike the dBase layout, the record with its reference is written now.
  if (!StoreRecord()) SetError(DbfWriteMemoError, detail);
  RecordModified = false;
}

// The new text goes at the first block after the present end of the file
// (never into the header), padded to whole blocks, in one write; then the
// header's next-free number; then the reference, into the record buffer
// only. The stored next-free number is not trusted: a stale one would cut
// off the newest memos, one far beyond the end would blow the file up to
// gigabytes; in a sound file it equals the end anyway. No block another
// record refers to is ever written, so the record keeps its old memo until
// its new reference is stored, and that reaches the disk only after these
// blocks (StoreRecord).
bool DbfTable::AppendMemo(int32_t n, const MemoFileHeader& header, const std::string& text) {
  DbfStream& memo = *MemoStream;
  if (header.Layout == MemoLayout::Dbt3 && text.size() > kMaxDbt3MemoBytes) return false;
  const uint64_t b = header.BlockSize;
  const uint64_t first_block = RoundUp(header.HeaderBytes, b) / b;
  const uint64_t block = std::max(first_block, RoundUp(memo.GetSize(), b) / b);
  std::string bytes = EncodeMemoBlock(header, MemoBlock{1, text});
  const uint64_t end = RoundUp(block * b + bytes.size(), b);
  if (end / b > UINT32_MAX || bytes.size() > UINT32_MAX ||
      !ReferenceFits(GetVersion(), Fields[n], block))
    return false;
  bytes.resize(static_cast<size_t>(end - block * b), '\0');
  uint8_t new_head[4];
  PutNextFree(header, new_head, static_cast<uint32_t>(end / b));
  return memo.WriteAt(block * b, bytes.data(), bytes.size()) && memo.WriteAt(0, new_head, 4) &&
         StoreMemoReference(n, block);
}

}  // namespace tabulon
