// The rollback journal of a pass that rewrites a table in place (packing,
// removing a record): written beside the table as its file name + "~pack"
// before a byte of the table's files changes, and removed once the new
// state is on disk. Removing it is the commit; finding it at the next open
// means the pass was cut off, and the saved bytes put the old table back.
//
// A journal also names the table it was written for, so that one left
// beside a table restored from a backup, or beside another table, is set
// aside instead of written into it: the header bytes no pass changes, a
// sum of the bytes before the saved region (which no pass writes), and the
// date the pass stamps. Journals of the first layout ("DBFPACK1") carry no
// such names and are never applied.
//
// Layout (integers little-endian):
//    0   8  "DBFPACK2"
//    8   8  the data file's size before the pass
//   16  32  the data file's first 32 bytes
//   48   8  offset of the saved data region (from there to the old end)
//   56   8  length of that region
//   64   8  the memo file's size (when its name follows)
//   72   4  length of the memo file's base name; 0: the memo file is not saved
//   76   4  zero
//   80   8  FNV-1a 64 of the data file's untouched bytes (UntouchedSum)
//   88   3  the date the pass stamps in the header (year % 100, month, day)
//   91   1  kind: 0 the saved bytes are put back; 1 a removal, finished
//   92   4  zero
//   96      region bytes, memo file base name, the memo file's bytes
//   ..   8  FNV-1a 64 over every byte before it
//   ..   8  "COMPLETE", written once everything before it is on the disk
//
// A removal (kind 1) saves no bytes of the table beforehand: the record at
// the region's offset is taken out by moving the records after it forward
// one record, a piece at a time, and a removal cut off is finished rather
// than undone. Each piece's bytes are first written to the journal at 176
// and flushed; then a progress slot after the marker names the piece (two
// slots at 112 and 144, used in turn, so that a torn one leaves the other):
//    0   8  sequence number (from 1)
//    8   8  bytes of the move done before this piece
//   16   8  PieceSum of the piece's bytes
//   24   8  FNV-1a 64 of the 24 bytes before
// and only then is the piece written to the table. However little of that
// write the disk kept, and in whatever order of its pages, the piece is
// written again whole from the journal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dbf_file.h"
#include "dbf_stream.h"

namespace tabulon {

struct PackJournal {
  uint64_t DataSize = 0;
  uint8_t Header[32] = {};
  uint64_t RegionOffset = 0;
  std::string MemoName;  // base name, no folder; empty: no memo bytes saved
  uint64_t MemoSize = 0;
  uint64_t Untouched = 0;
  uint8_t PassDate[3] = {};
  uint8_t Kind = 0;  // kPutBack or kRemoval
  // Where the saved bytes lie inside the journal (filled by reading it).
  uint64_t RegionAt = 0;
  uint64_t MemoAt = 0;
};

constexpr uint8_t kPutBack = 0;
constexpr uint8_t kRemoval = 1;

// The piece of a removal's move being written.
struct RemovalProgress {
  uint64_t Sequence = 0;  // 0: no piece begun
  uint64_t Done = 0;
  uint64_t Sum = 0;
};

enum class JournalState {
  Complete,    // whole, checksum and sizes right
  Incomplete,  // cut off while being written: the table was not touched yet
  Malformed,   // not a journal this engine wrote, or damaged after completion
  Unreadable,  // a read failed: nothing can be said
};

std::string PackJournalName(const std::string& table_file);
// Where an untrusted journal is set aside: "~pack-rejected" for the first
// (number 1), "~pack-rejected2" and on for later ones, so none replaces
// another.
std::string RejectedJournalName(const std::string& table_file, int number);
constexpr int kMaxRejectedJournals = 99;

// Writes a complete journal to out (an empty new file): the region
// data[RegionOffset, DataSize) and, with a MemoName, the whole memo stream;
// fills in RegionAt and MemoAt. Flushes before the completion marker and
// after it.
bool WritePackJournal(DbfFile& out, PackJournal* journal, DbfStream& data, DbfStream* memo);

// Reads and checks a journal. Trusts none of its numbers: each is checked
// against the file's size, the others and the saved header's sizes.
JournalState ReadPackJournal(DbfStream& in, PackJournal* journal);

// The sum of the data file's bytes that a pass saving from region_offset
// never writes: the field descriptors, and the 64 KiB before the region
// (records that stay where they are). False when they cannot be read.
bool UntouchedSum(DbfStream& data, const uint8_t header[32], uint64_t region_offset,
                  uint64_t* sum);

// Whether the data file can be a state of the pass that wrote the journal:
// Complete when so, Malformed when not (another table, or this one
// replaced since), Unreadable when a read failed. A pass changes only the
// record count and date in the header (to the pass's date, or the date
// it had), and leaves the file no shorter than the region's offset and no
// longer than one end-of-data byte past its old size.
JournalState CheckJournalFitsTable(DbfStream& data, const PackJournal& journal);

// Records the piece a removal is about to write, in slot Sequence % 2.
bool WriteRemovalProgress(DbfFile& journal, const RemovalProgress& progress);
// The last whole progress slot of a removal journal (Sequence 0 when none).
bool ReadRemovalProgress(DbfStream& journal, RemovalProgress* progress);

// Where a removal's journal keeps the bytes of the piece being moved.
constexpr uint64_t kRemovalPieceAt = 176;

// The sum of a piece of a removal's move: a polynomial in a fixed odd
// number, modulo 2^64.
uint64_t PieceSum(const uint8_t* bytes, size_t n);

// Copies length bytes from one stream position to another, in pieces.
bool CopyStreamBytes(DbfStream& from, uint64_t from_at, DbfStream& to, uint64_t to_at,
                     uint64_t length);

// A read-only window onto bytes [offset, offset + length) of file, which it
// owns; writes and resizing fail.
std::unique_ptr<DbfFile> NewFileView(std::unique_ptr<DbfFile> file, uint64_t offset,
                                     uint64_t length);

}  // namespace tabulon
