// The writers of each export format (ExportSink, table_export.h).
//
// CSV, JSON and the SQL script are written by the session on every
// platform. SQLite and XLSX need libraries that only native builds link:
// their writers are chosen when linking (export_sqlite.cpp and
// export_xlsx.cpp, or export_absent.cpp where the libraries are missing),
// and are null in a build without them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dbf_file.h"
#include "table_export.h"

namespace tabulon {

// RFC 4180: a header line of the column names, CRLF after every line,
// values with the separator, a quote or a line break quoted ("" for a
// quote). Dates and times in ISO 8601, logic as T and F (unknown: empty),
// binary data in Base64.
struct CsvOptions {
  char Separator = ',';
  // A UTF-8 byte-order mark first, so that Excel reads Cyrillic right.
  bool ByteOrderMark = true;
};
std::unique_ptr<ExportSink> NewCsvSink(DbfFileSystem& fs, const std::string& path, const CsvOptions& options);

// An array of objects, one a line, keyed by column name: numbers as
// numbers, dates as "YYYY-MM-DD", logic as true, false or null, memos as
// strings, binary data as Base64 strings.
std::unique_ptr<ExportSink> NewJsonSink(DbfFileSystem& fs, const std::string& path);

// A script of CREATE TABLE and INSERTs in one transaction, for PostgreSQL
// or SQLite; the table named table.
enum class SqlDialect { Postgres, Sqlite };
std::unique_ptr<ExportSink> NewSqlSink(DbfFileSystem& fs, const std::string& path, const std::string& table,
                                       SqlDialect dialect);
// A column's type in the dialect's words ("NUMERIC(10,2)").
std::string SqlColumnType(const ExportColumn& column, SqlDialect dialect);

// A table of typed columns in an SQLite database (created, or an existing
// one whose table of that name is replaced), filled in one transaction.
std::unique_ptr<ExportSink> NewSqliteSink(const std::string& path, const std::string& table);

// A workbook of typed cells (dates as dates), the header row frozen; more
// records than a sheet holds (sheet_rows, its header included) continue on
// further sheets, each with the header row.
constexpr uint32_t kXlsxSheetRows = 1048576;
std::unique_ptr<ExportSink> NewXlsxSink(const std::string& path, uint32_t sheet_rows = kXlsxSheetRows);

// Whether this build writes SQLite and XLSX (their writers are not null),
// so that a front end offers those formats only where they work.
bool HasLibraryFormats();

// The name of the table an export makes of a table file: its name without
// folder and extension.
std::string ExportTableName(const std::string& table_file);

}  // namespace tabulon
