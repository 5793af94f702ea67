// What a command of a table session came to: done, refused (nothing was
// written, and the reason says why in terms each front end words in its
// own language), or failed (the engine's error, with its code and text).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tabulon {

enum class OutcomeKind { Done, Refused, Failed };

enum class Refusal {
  None,
  // No table is loaded, or the record or field asked for is not there.
  NoTable,
  NoSuchRecord,
  NoSuchField,
  // The table can be read but not written.
  ReadOnly,
  // Another program changed the table since it was shown; nothing written.
  TableChanged,
  // Another program (one of the xBase family) holds the lock of the record
  // (Record), or of the whole table (Record 0); nothing written.
  Locked,
  // A memo to write while the table's memo file is not open.
  NoMemoFile,
  // A typed value that does not suit its field, or a field whose bytes
  // have no text a user could write (Field says which).
  ValueRefused,
  // A memo that holds binary data (an image, say), which is never edited
  // as text (Field says which).
  BinaryData,
  // A tab, line break or other control character typed into a Character
  // field (Field says which); memos keep them.
  ControlCharacter,
  // A typed character the table's code page lacks (Detail holds it).
  NoCodePageTwin,
  // Packing a table whose memo blocks cannot be carried over: its memo
  // file is missing (Detail: the file looked for).
  PackMemoMissing,
  // A write to a table with index tags the writes do not keep true (or an
  // index file that cannot be read): it would leave them stale. Refused
  // until the caller allows it for the session; Detail: an index file.
  StaleIndexes,
  // An index file named that is not one of the table's; Detail: the name.
  NoSuchIndex,
  // Field rows of a new table (Row, 1-based; OtherRow for SameName):
  EnterName,
  EnterSize,
  ChooseType,
  TextSize,       // Detail: the size as typed
  NameNoOemTwin,  // Detail: the character
  SameName,       // Detail: the name as shown
  RecordTooLong,  // Size: the fields' sum; Limit: what a record holds
  // Export and import:
  Cancelled,     // the user stopped a long work; nothing written
  CannotRead,    // Detail: the file; Text: why, when known
  CannotWrite,   // Detail: the file; Text: why, when known
  TableExists,   // Detail: the table an import would have replaced
  UnknownColumn, // Detail: a column name the table has no field of
  NoColumns,     // a CSV file without a header line
  // One CSV line (Row) refused; nothing of the file is written:
  UnclosedQuote,
  ValueCount,    // Size: the values on the line; Limit: the columns
  TextTooLong,   // Field; Size: its characters; Limit: the field's
  RowsRefused,   // the import as a whole: Size lines refused
};

struct Outcome {
  OutcomeKind Kind = OutcomeKind::Done;
  Refusal Reason = Refusal::None;
  int32_t Record = 0;  // the record concerned, or 0
  int Field = 0;       // the field concerned (1-based), or 0
  int Row = 0;
  int OtherRow = 0;
  int64_t Size = 0;
  int64_t Limit = 0;
  // UTF-8: a character, a name or a file, as the reason says.
  std::string Detail;
  // Failed: the engine's error code and its English text.
  uint8_t EngineCode = 0;
  std::string EngineText;
  // Done, for a cell or a memo: its text as the file now holds it, shown.
  std::string Text;

  bool IsDone() const { return Kind == OutcomeKind::Done; }
};

inline Outcome Refused(Refusal reason) {
  Outcome o;
  o.Kind = OutcomeKind::Refused;
  o.Reason = reason;
  return o;
}

// Refused for a reason that concerns one field.
inline Outcome Refused(Refusal reason, int field) {
  Outcome o = Refused(reason);
  o.Field = field;
  return o;
}

}  // namespace tabulon
