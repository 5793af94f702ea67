// Packing a memo table by copying: the live records and the memo texts they
// refer to are written into a new table and a new memo file beside the old
// ones, which the new pair then replaces together or not at all.
//
// The new files keep the table as it was apart from the records marked
// deleted: the same version byte, header area and field descriptors, and a
// memo file of the same layout (dBase blocks, or FoxPro blocks of the same
// size, with four-byte references for Visual FoxPro).
//
// Replacing is four renames on one volume, recorded first in a journal file
// beside the table (the table's name with "~pack" added). An interruption at
// any point leaves the old pair, the new pair, or a journal from which
// RecoverInterruptedPack restores one of them.
#pragma once

#include <string>

#include "dbf_table.h"

namespace tabulon {

enum class CopyPackResult {
  Packed,
  MemoFileMissing,  // a memo flavour without its memo file: nothing changed
  CopyFailed,       // reading the table or writing the copy failed: nothing changed
  ReplaceFailed,    // the originals could not be replaced: nothing changed
  BinaryFields,     // fields keep binary data in the memo file: nothing changed
};

struct CopyPackOutcome {
  CopyPackResult Result = CopyPackResult::Packed;
  std::string Detail;  // the engine's error text, or the file that failed
  std::string Target;  // ReplaceFailed: where that file was to go
  int32_t Kept = 0;    // records in the packed table
};

// Whether field type (a descriptor's type letter) of a table of the given
// version byte refers to memo blocks: memo texts ('M'), or binary data
// (FoxPro's General 'G', Picture 'P' and Blob 'W'; dBase's binary 'B').
bool IsMemoTextField(uint8_t type);
bool IsBinaryMemoField(uint8_t version, uint8_t type);

// Packs table (open or closed; closed afterwards) through its FileName and
// MemoFileName. Temporary files are removed on every path. Binary memo
// fields are refused: the copy carries texts only, and their blocks would
// be lost.
CopyPackOutcome CopyPack(DbfTable& table, DbfFileSystem& fs);

// Completes or undoes a replacement that was interrupted, if the journal of
// table_file exists. Returns true when the pair is consistent afterwards.
bool RecoverInterruptedPack(const std::string& table_file, DbfFileSystem& fs);

// The local date and time as a day number counted from 1 January of year 1
// (that day is 1) plus the time of day as a fraction, in plain decimal with
// at most 15 significant digits and no trailing zeros.
std::string TimeStamp(const DbfLocalTime& now);

}  // namespace tabulon
