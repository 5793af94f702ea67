// Memo texts of the current record in .dbt files (dBase III and dBase IV
// blocks) and .fpt files (FoxPro blocks); memo_blocks.h has their layouts.
//
// Whatever a memo file claims, the engine never reads or allocates beyond
// its end, never makes it shorter, never writes into its header block, and
// stores a new reference in the record only after the memo bytes and the
// memo header are on disk, so a failed write leaves the old memo in force.
#include <algorithm>
#include <cstring>

#include "dbf_table.h"
#include "memo_blocks.h"

namespace tabulon {

namespace {

uint64_t RoundUp(uint64_t value, uint64_t unit) { return (value + unit - 1) / unit * unit; }

}  // namespace

namespace {

bool HoldsBinaryReference(uint8_t version, const DbfField& field) {
  return IsVisualFoxPro(version) && field.Length == 4;
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

void DbfTable::ReadMemo(int32_t n, std::string& text) {
  switch (GetMemoKind()) {
    case MemoKind::None:
      // The text stays as it was; the caller learns why it got none.
      if (RefersToMemo(n)) SetError(DbfMemoUnavailable, std::to_string(n));
      return;
    case MemoKind::Dbt:
      ReadDbtMemo(n, text);
      return;
    case MemoKind::Fpt:
      ReadFptMemo(n, text);
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

void DbfTable::ReadFptMemo(int32_t n, std::string& text) {
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
      (header.Layout == MemoLayout::Dbt4 && memo.GetSize() < kDbase4HeaderEnd)) {
    SetError(DbfWriteMemoError, detail);
    return;
  }
  // New text goes at the block after the present end of the file (and never
  // into the header). The stored next-free number is not trusted: a stale
  // one would cut off the newest memos, one far beyond the end would blow
  // the file up to gigabytes; in a sound file it equals the end anyway.
  const uint64_t b = header.BlockSize;
  const uint64_t first_block = RoundUp(header.HeaderBytes, b) / b;
  const uint64_t next_free = std::max(first_block, RoundUp(memo.GetSize(), b) / b);
  const uint64_t start = next_free * b;
  const std::string bytes = EncodeMemoBlock(header, MemoBlock{1, text});
  const uint64_t end = RoundUp(start + bytes.size(), b);
  const uint64_t after = end / b;
  if (after > UINT32_MAX || std::to_string(next_free).size() > Fields[n].Length) {
    SetError(DbfWriteMemoError, detail);
    return;
  }
  uint8_t new_head[4];
  PutNextFree(header, new_head, static_cast<uint32_t>(after));
  if (!memo.SetSize(start) || !memo.WriteAt(start, bytes.data(), bytes.size()) ||
      !memo.SetSize(end) || !memo.WriteAt(0, new_head, 4)) {
    SetError(DbfWriteMemoError, detail);
    return;
  }
  StoreMemoReference(n, next_free);
}

void DbfTable::WriteFptMemo(int32_t n, const std::string& text) {
  if (n < 1 || n > FieldCount) return;
  if (!AcceptChange()) return;
  const std::string detail = std::to_string(n);
  auto fail = [&] { SetError(DbfWriteMemoError, detail); };
  DbfStream& memo = *MemoStream;
  uint64_t reference = MemoReference(n);
  MemoFileHeader header;
  if (!ReadMemoHeader(memo, MemoLayout::Fpt, &header)) return fail();
  const uint64_t b = header.BlockSize;
  const uint64_t first_block = std::max<uint64_t>(1, header.HeaderBytes / b);
  // As for dBase files, new blocks start at the present end of the file,
  // whatever the stored next-free number says.
  uint64_t next_free = std::max<uint64_t>(first_block, RoundUp(memo.GetSize(), b) / b);

  const uint64_t length = text.size();
  uint64_t write_position = 0;
  bool in_place = false;
  if (reference >= first_block && reference < next_free) {
    uint32_t old_length = 0;
    memo.SetPosition(reference * b + 4);
    if (ReadBigEndian32(memo, &old_length)) {
      uint64_t capacity = RoundUp(uint64_t{old_length} + 8, b) - 8;
      // The old memo's blocks must lie inside the allocated part of the file.
      if (length <= capacity && reference * b + capacity + 8 <= next_free * b) {
        in_place = true;
        write_position = reference * b + 4;
      }
    }
  }
  if (!in_place) {
    uint64_t needed = RoundUp(length + 8, b);
    reference = next_free;
    next_free += needed / b;
    if (next_free > UINT32_MAX) return fail();
    // A new text block; its length and text follow below.
    const std::string head = EncodeMemoBlock(header, MemoBlock{1, std::string()});
    if (!memo.SetSize(reference * b) || !memo.WriteAt(reference * b, head.data(), 4)) return fail();
    write_position = reference * b + 4;
  }
  if (std::to_string(reference).size() > Fields[n].Length &&
      !IsVisualFoxPro(GetVersion()))
    return fail();
  memo.SetPosition(write_position);
  if (!WriteBigEndian32(memo, static_cast<uint32_t>(length)) ||
      !memo.Write(text.data(), text.size()) || !memo.SetSize(next_free * b))
    return fail();
  memo.SetPosition(0);
  if (!WriteBigEndian32(memo, static_cast<uint32_t>(next_free))) return fail();
  if (!StoreMemoReference(n, reference)) return fail();
  // Unlike the dBase layout, the record with its reference is written now.
  RecordModified = true;
  if (!StoreRecord()) fail();
  RecordModified = false;
}

}  // namespace tabulon
