// The engine's numbered error codes and their fixed English messages.
#pragma once

#include <cstdint>

namespace tabulon {

enum DbfErrorCode : uint8_t {
  DbfNoError = 0,
  DbfUnknownError = 1,
  DbfFileNotExist = 2,
  DbfHeaderError = 3,
  DbfHeaderSizeError = 4,
  DbfHeaderBufferError = 5,
  DbfFieldNameError = 6,
  DbfFieldTypeError = 7,
  DbfFieldSizeError = 8,
  DbfFieldDecimalError = 9,
  DbfFieldByNumberError = 10,
  DbfFieldByNameError = 11,
  DbfPutFieldByNumberError = 12,
  DbfPutFieldByNameError = 13,
  DbfReadMemoError = 14,
  DbfWriteMemoError = 15,
  DbfReadRecordRangeError = 16,
  DbfWriteRecordRangeError = 17,
  DbfReadRecordError = 18,
  DbfWriteRecordError = 19,
  DbfAppendBlankError = 20,
  DbfDecimalPointError = 21,
  DbfConvertError = 22,
  // Refusals on open, each with its reason; the detail is the file name.
  DbfNotATable = 23,
  DbfUnsupportedVersion = 24,  // detail: "dBase II" or "dBase 7"
  DbfSizesDisagree = 25,
  DbfFileTooShort = 26,
  DbfNoWriteAccess = 27,
  // A value the field's type cannot hold; nothing was stored.
  DbfValueRefused = 28,
  // A memo operation without a memo file or on a layout the engine does
  // not know.
  DbfMemoUnavailable = 29,
  // A pack journal beside the table that recovery could not trust was
  // renamed aside and nothing else was touched; detail: its new name.
  DbfPackJournalSetAside = 30,
  // A write to a table opened for reading only; nothing was changed.
  DbfReadOnly = 31,
  // A file that exists but cannot be opened even for reading (no access,
  // locked against readers); detail: the file name.
  DbfNoAccess = 32,
  // A pack was cut off and must be undone before the table is read, but
  // the table cannot be written; the open is refused. Detail: file name.
  DbfJournalNeedsWrite = 33,
  // A cut-off pack saved the memo file it names beside the table, which
  // is neither the memo file given nor there: the open is refused until it
  // is given (records half old, half packed would be shown). Detail: the
  // memo file's name.
  DbfJournalMemoMissing = 34,
  // Something that is not a journal this pass can write (a directory, a
  // pipe, another journal) holds a journal's name; nothing was changed.
  // Detail: that name.
  DbfJournalNameTaken = 35,
  // A pack met a memo reference it cannot read; nothing was changed.
  // Detail: the record number, the field and the reason.
  DbfPackBrokenMemo = 36,
  // Another program holds the lock a write needs (the record's, or the
  // table's); nothing was written. Detail: the record number, or "table".
  DbfLockedElsewhere = 37,
  // An index file kept with the table could not be written; the write is
  // put back, with the index files, at the next open. Detail: the reason.
  DbfWriteIndexError = 38,
};

constexpr int kDbfErrorCodeCount = 39;

// The message of a code; empty for 0 and for numbers outside the table.
const char* DbfErrorMessage(uint8_t code);

}  // namespace tabulon
