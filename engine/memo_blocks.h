// The byte layouts of memo files: the header block and the memo blocks of
// the three layouts real tables use.
//
//   Dbt3  dBase III: 512-byte blocks; next free block (LE) at offset 0; a
//         memo is its bytes ended by 0x1A (written as 0x1A 0x1A).
//   Dbt4  dBase IV: block size (LE, 16 bits) at offset 20, 512 when 0; a
//         memo starts with FF FF 08 00 and a 4-byte LE length that counts
//         those 8 header bytes.
//   Fpt   FoxPro: next free block and block size big-endian at 0 and 4;
//         the header takes 512 bytes; a memo starts with its block type
//         (0 picture, 1 text, 2 object) and its length, both big-endian.
#pragma once

#include <cstdint>
#include <string>

#include "dbf_stream.h"

namespace tabulon {

enum class MemoLayout { Dbt3, Dbt4, Fpt };

// The layout of a version byte whose memo kind is not None.
MemoLayout MemoLayoutOfVersion(uint8_t version);

struct MemoFileHeader {
  MemoLayout Layout = MemoLayout::Dbt3;
  uint32_t BlockSize = 512;
  uint32_t NextFree = 0;
  // Bytes at the start of the file that belong to the header: no memo
  // starts before them.
  uint32_t HeaderBytes = 512;
};

// A dBase IV header ends with its block size at bytes 20..21; a file
// shorter than that names none, and is read as having 512-byte blocks.
constexpr uint64_t kDbase4HeaderEnd = 22;

// False when the header cannot be read or names an unusable block size.
bool ReadMemoHeader(DbfStream& memo, MemoLayout layout, MemoFileHeader* out);

// FoxPro's block type of a text.
constexpr uint32_t kFptTextBlock = 1;

struct MemoBlock {
  uint32_t Type = 1;  // FoxPro's block type; 1 (text) for dBase memos
  std::string Data;
};

// A dBase III memo has no length, only its end mark: a damaged one without
// it is read up to the header's next-free block (when that lies after the
// memo and within the file) or the end of the file, and never beyond this
// many bytes; longer texts are not written in that layout.
constexpr uint64_t kMaxDbt3MemoBytes = 16 * 1024 * 1024;

// The memo starting at block. False on a read failure, for block 0 or a
// block inside the header, for a block beyond the end of the file, for a
// length running past the end (Data is then empty: a damaged length must
// not return the rest of the file as a memo), and for a dBase III text cut
// at kMaxDbt3MemoBytes (Data holds the bytes up to there).
bool ReadMemoBlock(DbfStream& memo, const MemoFileHeader& header, uint64_t block, MemoBlock* out);

// Why a memo reference names no memo that can be read.
enum class DbfMemoFault { InHeader, PastEnd, Damaged };
enum class MemoReferenceRead { Read, Broken, Failed };

// The memo a reference names, read into *out: Broken (with *fault) when the
// block lies past the end of the file or inside its header, or holds no
// whole memo; Failed when a read itself failed.
MemoReferenceRead ReadReferencedMemo(DbfStream& memo, const MemoFileHeader& header, uint64_t block,
                                     MemoBlock* out, DbfMemoFault* fault);

// The bytes that start a memo at a block boundary, not padded.
std::string EncodeMemoBlock(const MemoFileHeader& header, const MemoBlock& block);

// Stores next_free in header_bytes (at least 4 bytes) in the layout's order.
void PutNextFree(const MemoFileHeader& header, uint8_t* header_bytes, uint32_t next_free);

}  // namespace tabulon
