// Import of a CSV file: into a new table whose fields are inferred from
// the data, or appended to a loaded table. The header line names the
// columns. Every line is checked before anything is written; a line that
// does not fit is refused with its line number and reason, and then
// nothing is written at all:
//   - a new table is built beside its target and renamed into place only
//     when whole;
//   - an append checks every line as a typed cell is checked, then
//     appends them all in one open of the table.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "csv_reader.h"
#include "table_session.h"

namespace tabulon {

struct ImportOptions {
  CsvEncoding Encoding = CsvEncoding::Utf8;
  // The page of CsvEncoding::CodePage.
  int CodePage = 0;
  char Separator = 0;  // 0: detected from the header line
  // A new table's text in code page 866 (otherwise 1251).
  bool Oem = false;
  // Everything read and checked, nothing written.
  bool DryRun = false;
  // Each line refused: Row is its line, Field (when one) its field.
  std::function<void(const Outcome&)> OnRowRefused;
  // Now and then; false stops the import (Refused Cancelled, nothing written).
  std::function<bool(uint64_t done, uint64_t total)> OnProgress;
};

struct ImportPlan {
  // A new table's fields: the definition created, and each line as shown.
  NewTableDefinition Definition;
  uint64_t Rows = 0;
  char Separator = ',';
};

// The fields of a new table for the file: a column whose values are all
// T, F, Y, N or ? is Logic; all dates YYYY-MM-DD, Date; all plain decimal
// numbers (no leading zeros, at most 20 characters), Number with the
// widest whole part and the most decimals; others Character as wide as
// the longest value, Memo past 254. Blank values fit every type. A column
// named _DELETED gives the records' deletion marks instead of a field.
Outcome PlanCsvTable(DbfFileSystem& fs, const std::string& csv, const ImportOptions& options, ImportPlan* plan);

// A new table at table (Refused TableExists when there is a file of that
// name) from the file; session is left with the new table loaded.
Outcome ImportCsvToNewTable(TableSession& session, const std::string& csv, const std::string& table,
                            const ImportOptions& options, ImportPlan* plan);

// The file's lines appended to the session's table, columns matched to
// fields by name (Refused UnknownColumn for one the table lacks); fields
// without a column stay blank. Dates may come as YYYY-MM-DD, times as
// YYYY-MM-DD hh:mm:ss. *rows receives the lines appended (or checked).
Outcome AppendCsv(TableSession& session, const std::string& csv, const ImportOptions& options, uint64_t* rows);

}  // namespace tabulon
