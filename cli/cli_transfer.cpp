// export and import: a table's records out to CSV, JSON, SQLite, an SQL
// script or XLSX, and a CSV file into a new table or onto an existing one.
#include <cstdio>

#include "cli_commands.h"
#include "cli_output.h"
#include "code_pages.h"
#include "csv_import.h"
#include "export_formats.h"
#include "table_session.h"

namespace tabulon::cli {

namespace {

int Usage(const std::string& message) {
  std::fprintf(stderr, "tabulon-cli: %s (see 'tabulon-cli --help')\n", message.c_str());
  return 2;
}

// The format OUT's extension names, lower case; empty for none known.
std::string FormatOf(const std::string& out) {
  const size_t dot = out.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : out.substr(dot + 1);
  for (char& c : ext) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (ext == "db" || ext == "sqlite3") return "sqlite";
  for (const char* known : {"csv", "json", "sqlite", "sql", "xlsx"})
    if (ext == known) return ext;
  return std::string();
}

// ',' ';' or a tab, named as given; 0 for anything else.
char SeparatorOf(const std::string& text) {
  if (text == "," || text == ";") return text[0];
  if (text == "tab" || text == "\t" || text == "\\t") return '\t';
  return 0;
}

}  // namespace

int RunExport(Invocation& run) {
  const std::string& out = run.Args[1];
  const std::string format = run.Format.empty() ? FormatOf(out) : run.Format;
  if (FormatOf("." + format) != format || format.empty())
    return Usage(run.Format.empty() ? "cannot tell the format from '" + out + "'; give --format"
                                    : "unknown format '" + format + "'");
  const std::string encoding = run.Encoding.empty() ? "utf-8" : run.Encoding;
  const bool table_code_page = encoding == "table" || encoding == "866" || encoding == "1251";
  if (encoding != "utf-8" && encoding != "utf-8-no-bom" && !table_code_page)
    return Usage("--encoding takes utf-8, utf-8-no-bom or table");
  if (format != "csv" && encoding != "utf-8") return Usage("only CSV is written in another encoding than UTF-8");
  const char separator = run.Separator.empty() ? ',' : SeparatorOf(run.Separator);
  if (separator == 0) return Usage("--separator takes ',', ';' or tab");
  if (!run.Dialect.empty() && run.Dialect != "postgres" && run.Dialect != "sqlite")
    return Usage("--dialect takes postgres or sqlite");

  TableSession session;
  if (!LoadTable(session, run)) return 1;
  if (encoding == "866" || encoding == "1251") {
    const std::string own = session.IsShownOem() ? "866" : "1251";
    if (encoding != own) {
      Complain("the table's code page is " + own + "; --encoding " + encoding + " is not offered");
      return 1;
    }
  }
  const std::string name = ExportTableName(session.GetFileName());
  std::unique_ptr<ExportSink> sink;
  if (format == "csv") {
    CsvOptions csv;
    csv.Separator = separator;
    csv.ByteOrderMark = encoding == "utf-8";
    sink = NewCsvSink(session.FileSystem(), out, csv);
  } else if (format == "json") {
    sink = NewJsonSink(session.FileSystem(), out);
  } else if (format == "sql") {
    sink = NewSqlSink(session.FileSystem(), out, name,
                      run.Dialect == "sqlite" ? SqlDialect::Sqlite : SqlDialect::Postgres);
  } else if (format == "sqlite") {
    sink = NewSqliteSink(out, name);
  } else {
    sink = NewXlsxSink(out);
  }
  if (!sink) {
    Complain(format + " is not in this build (it writes csv, json and sql)");
    return 1;
  }
  ExportOptions options;
  options.WithDeleted = run.Deleted;
  options.TableCodePage = table_code_page;
  return Finish(session, ExportTable(session, options, *sink));
}

int RunImport(Invocation& run) {
  const std::string& csv = run.Args[0];
  const std::string& table = run.Args[1];
  ImportOptions options;
  if (run.Encoding == "866") options.Encoding = CsvEncoding::Dos866;
  else if (run.Encoding == "1251") options.Encoding = CsvEncoding::Windows1251;
  else if (!run.Encoding.empty() && run.Encoding != "utf-8") {
    // Any other single-byte page the program knows, by its number or name.
    options.Encoding = CsvEncoding::CodePage;
    options.CodePage = CodePageOfName(run.Encoding);
    if (options.CodePage == 0 || options.CodePage == kUtf8CodePage)
      return Usage("--encoding takes utf-8, 866, 1251 or another code page (1252, koi8-r, ...)");
  }
  if (!run.Separator.empty() && (options.Separator = SeparatorOf(run.Separator)) == 0)
    return Usage("--separator takes ',', ';' or tab");
  options.DryRun = run.DryRun;
  options.Oem = run.CodePage == 866;
  TableSession session;
  options.OnRowRefused = [&](const Outcome& o) {
    Complain("line " + std::to_string(o.Row) + ": " + DescribeOutcome(session, o));
  };
  uint64_t rows = 0;
  Outcome o;
  if (run.Append) {
    Invocation loaded = run;
    loaded.Args = {table};
    if (!LoadTable(session, loaded)) return 1;
    o = AppendCsv(session, csv, options, &rows);
  } else {
    ImportPlan plan;
    o = ImportCsvToNewTable(session, csv, table, options, &plan);
    if (run.DryRun && !plan.Definition.ShownLines.empty()) {
      for (const std::string& line : plan.Definition.ShownLines) std::printf("%s\n", line.c_str());
    }
    rows = plan.Rows;
  }
  if (o.IsDone())
    std::printf("%llu lines %s\n", static_cast<unsigned long long>(rows),
                run.DryRun ? "checked; nothing written" : run.Append ? "appended" : "imported");
  return Finish(session, o);
}

}  // namespace tabulon::cli
