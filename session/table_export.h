// Export: a table's records, as the table view decodes them, written to a
// file of another format through a writer (an ExportSink) for that format.
//
// ExportTable reads the records through a table of its own opened for
// reading only, one record at a time, and gives each writer typed cells:
// the writer never holds more than a record, so a table of millions of
// records costs no more memory than one of ten.
//
// Writers (export_formats.h) put what they write beside the target first
// and in its place only once it is whole: a cancelled or failed export
// leaves no file, and an old file of that name stays as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "session_outcome.h"

namespace tabulon {

class TableSession;

// What a column holds, for writers that type their columns.
enum class ColumnKind : uint8_t {
  Text,     // Length: characters
  Integer,  // whole numbers: N without decimals, I, +
  Decimal,  // N and F with decimals, Y: Length digits, Decimals after the point
  Real,     // B, O: doubles
  Date,
  DateTime,
  Logic,
  Memo,
  Binary,   // memo blocks of binary data, bytes of no text form
};

struct ExportColumn {
  std::string Name;  // UTF-8 (as stored for a CSV in the table's code page)
  ColumnKind Kind = ColumnKind::Text;
  uint16_t Length = 0;
  uint8_t Decimals = 0;
};

// One value, as the writers take it.
enum class CellKind : uint8_t { Null, Text, Number, Date, DateTime, Logic, Binary };
struct ExportCell {
  CellKind Kind = CellKind::Null;
  // Text: the text (UTF-8, or as stored); Number: digits as JSON writes a
  // number ("-0.5", "12", "1e+20"); Date: YYYY-MM-DD; DateTime: YYYY-MM-DD
  // hh:mm:ss; Logic: "1" or "0"; Binary: the bytes. A value its field's
  // kind cannot read (a date of 31 February, a number of stars) comes as
  // the Text the view shows.
  std::string Text;
};

// The column added when records marked deleted are exported too.
constexpr const char* kDeletedColumn = "_DELETED";

class ExportSink {
 public:
  virtual ~ExportSink() = default;
  // records: how many Write calls at most follow.
  virtual bool Begin(const std::vector<ExportColumn>& columns, uint64_t records) = 0;
  virtual bool Write(const std::vector<ExportCell>& cells) = 0;
  // The output complete and in its place.
  virtual bool Finish() = 0;
  // Nothing of the output stays.
  virtual void Abandon() = 0;
  // The file written, and why a call failed (empty when no one said).
  virtual const std::string& GetPath() const = 0;
  virtual std::string GetProblem() const { return std::string(); }
};

struct ExportOptions {
  // Records marked deleted too, told in a last column (kDeletedColumn).
  bool WithDeleted = false;
  // These records only, in this order (the marked rows); empty: all.
  std::vector<int32_t> Records;
  // Texts and names as the table stores them (its own code page), not UTF-8.
  bool TableCodePage = false;
  // Called every few thousand records and at the end; false stops the
  // export (Refused Cancelled, no file left).
  std::function<bool(uint64_t done, uint64_t total)> OnProgress;
};

// Exports the loaded table of session through sink. Refused NoSuchRecord
// for a record of options.Records the table lacks (nothing written),
// CannotWrite (Detail: the file) when the writer fails.
Outcome ExportTable(TableSession& session, const ExportOptions& options, ExportSink& sink);

// Shared by the writers.
// Standard Base64 (RFC 4648, with padding), appended to out.
void AppendBase64(std::string& out, const std::string& bytes);
// A JSON string literal (quotes included) of UTF-8 text, appended to out.
void AppendJsonString(std::string& out, const std::string& text);
// A number text (blanks around it removed) in the form JSON writes:
// no plus sign, no leading zeros or lone point; false when it is none.
bool JsonNumberForm(const std::string& text, std::string* number);

}  // namespace tabulon
