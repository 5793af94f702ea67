#include "memo_blocks.h"

#include <algorithm>

#include "dbf_table.h"

namespace tabulon {

namespace {

constexpr uint8_t kDbtTerminator = 0x1A;
constexpr uint8_t kDbase4Signature[4] = {0xFF, 0xFF, 0x08, 0x00};
constexpr uint32_t kDbase4BlockHeader = 8;
// FoxPro writes a 512-byte header whatever its block size.
constexpr uint32_t kFptHeaderSize = 512;
constexpr uint32_t kMaxBlockSize = 0xFFFF;

uint32_t Little32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

uint32_t Big32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void AppendLittle32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

void AppendBig32(std::string& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// Reads length bytes at position; false, with nothing read, when the read
// fails or the length runs past the end of the file.
bool ReadData(DbfStream& memo, uint64_t position, uint64_t length, std::string* data) {
  data->clear();
  const uint64_t size = memo.GetSize();
  if (position > size || length > size - position) return false;
  data->resize(static_cast<size_t>(length));
  if (memo.ReadExactAt(position, data->data(), data->size())) return true;
  data->clear();
  return false;
}

// dBase III text: up to the first 0x1A, or to limit (false when that is
// the cap, not the end of the memo's room).
bool ReadTerminatedText(DbfStream& memo, uint64_t position, uint64_t limit, bool capped,
                        std::string* data) {
  data->clear();
  uint8_t chunk[512];
  while (position < limit) {
    size_t got = 0;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof chunk, limit - position));
    if (!memo.ReadAt(position, chunk, want, &got)) return false;
    const uint8_t* end = std::find(chunk, chunk + got, kDbtTerminator);
    data->append(reinterpret_cast<const char*>(chunk), static_cast<size_t>(end - chunk));
    if (end != chunk + got || got < want) return true;
    position += got;
  }
  return !capped;
}

}  // namespace

MemoLayout MemoLayoutOfVersion(uint8_t version) {
  if (MemoKindOfVersion(version) == MemoKind::Fpt) return MemoLayout::Fpt;
  return UsesDbase4MemoBlocks(version) ? MemoLayout::Dbt4 : MemoLayout::Dbt3;
}

bool ReadMemoHeader(DbfStream& memo, MemoLayout layout, MemoFileHeader* out) {
  uint8_t head[24] = {};
  size_t got = 0;
  if (!memo.ReadAt(0, head, sizeof head, &got) || got < 4) return false;
  MemoFileHeader h;
  h.Layout = layout;
  switch (layout) {
    case MemoLayout::Dbt3:
      h.NextFree = Little32(head);
      break;
    case MemoLayout::Dbt4: {
      h.NextFree = Little32(head);
      const uint32_t size =
          got >= kDbase4HeaderEnd ? uint32_t{head[20]} | (uint32_t{head[21]} << 8) : 0;
      // Block 0 is the header; a block smaller than its 24 bytes cannot be.
      if (size != 0 && size < sizeof head) return false;
      h.BlockSize = size ? size : 512;
      h.HeaderBytes = h.BlockSize;
      break;
    }
    case MemoLayout::Fpt:
      if (got < 8) return false;
      h.NextFree = Big32(head);
      h.BlockSize = Big32(head + 4);
      if (h.BlockSize == 0 || h.BlockSize > kMaxBlockSize) return false;
      h.HeaderBytes = (kFptHeaderSize + h.BlockSize - 1) / h.BlockSize * h.BlockSize;
      break;
  }
  *out = h;
  return true;
}

bool ReadMemoBlock(DbfStream& memo, const MemoFileHeader& header, uint64_t block, MemoBlock* out) {
  out->Type = 1;
  out->Data.clear();
  const uint64_t position = block * header.BlockSize;
  if (block == 0 || position < header.HeaderBytes || position >= memo.GetSize()) return false;
  uint8_t head[8] = {};
  size_t got = 0;
  if (!memo.ReadAt(position, head, sizeof head, &got)) return false;
  if (header.Layout == MemoLayout::Fpt) {
    if (got < 8) return false;
    out->Type = Big32(head);
    return ReadData(memo, position + 8, Big32(head + 4), &out->Data);
  }
  // A dBase IV block is known by its signature, also in a table whose
  // version byte says dBase III; anything else is dBase III text.
  if (got == 8 && std::equal(head, head + 4, kDbase4Signature)) {
    const uint32_t length = Little32(head + 4);
    if (length < kDbase4BlockHeader) return false;
    return ReadData(memo, position + kDbase4BlockHeader, length - kDbase4BlockHeader, &out->Data);
  }
  // The memo's room ends at the next-free block when that lies after it;
  // a stale or wild next-free number says nothing.
  uint64_t limit = memo.GetSize();
  const uint64_t next_free = uint64_t{header.NextFree} * header.BlockSize;
  if (next_free > position && next_free < limit) limit = next_free;
  const bool capped = limit - position > kMaxDbt3MemoBytes;
  if (capped) limit = position + kMaxDbt3MemoBytes;
  return ReadTerminatedText(memo, position, limit, capped, &out->Data);
}

std::string EncodeMemoBlock(const MemoFileHeader& header, const MemoBlock& block) {
  std::string out;
  const uint32_t length = static_cast<uint32_t>(block.Data.size());
  switch (header.Layout) {
    case MemoLayout::Dbt3:
      out = block.Data;
      out.append(2, static_cast<char>(kDbtTerminator));
      break;
    case MemoLayout::Dbt4:
      out.assign(reinterpret_cast<const char*>(kDbase4Signature), 4);
      AppendLittle32(out, length + kDbase4BlockHeader);
      out += block.Data;
      break;
    case MemoLayout::Fpt:
      AppendBig32(out, block.Type);
      AppendBig32(out, length);
      out += block.Data;
      break;
  }
  return out;
}

void PutNextFree(const MemoFileHeader& header, uint8_t* header_bytes, uint32_t next_free) {
  for (int i = 0; i < 4; ++i) {
    const int shift = header.Layout == MemoLayout::Fpt ? 8 * (3 - i) : 8 * i;
    header_bytes[i] = static_cast<uint8_t>(next_free >> shift);
  }
}

MemoReferenceRead ReadReferencedMemo(DbfStream& memo, const MemoFileHeader& header, uint64_t block,
                                     MemoBlock* out, DbfMemoFault* fault) {
  const uint64_t b = header.BlockSize;
  auto broken = [fault](DbfMemoFault why) {
    *fault = why;
    return MemoReferenceRead::Broken;
  };
  // Past the end first: within the file, the product cannot overflow.
  if (block >= memo.GetSize() / b + (memo.GetSize() % b != 0)) return broken(DbfMemoFault::PastEnd);
  if (block * b < header.HeaderBytes) return broken(DbfMemoFault::InHeader);
  if (ReadMemoBlock(memo, header, block, out)) return MemoReferenceRead::Read;
  // A block whose first bytes read is one whose memo is damaged (a length
  // past the end); otherwise the read itself failed.
  uint8_t start[8];
  const size_t n = static_cast<size_t>(std::min<uint64_t>(8, memo.GetSize() - block * b));
  return memo.ReadExactAt(block * b, start, n) ? broken(DbfMemoFault::Damaged) : MemoReferenceRead::Failed;
}

}  // namespace tabulon
