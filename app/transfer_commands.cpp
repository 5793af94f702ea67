// Export and import: the table shown written out to CSV, JSON, an SQL
// script (and SQLite or Excel where the program links their libraries),
// and a CSV file read into a new table or onto the table shown. The
// session does the work; the window chooses the files, asks what the user
// wants, shows the progress and lets Escape stop it.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "csv_import.h"
#include "export_formats.h"
#include "input.h"
#include "main_window.h"
#include "program.h"
#include "system.h"
#include "texts.h"

namespace tabulon {

namespace {

// The status is redrawn no more often than this: a redraw per batch of
// records would cost more than the records.
constexpr auto kProgressInterval = std::chrono::milliseconds(250);
// How many refused lines a message lists; the count tells the rest.
constexpr size_t kRefusedLinesShown = 10;

constexpr uint32_t kOpenOptions =
    kOfnFileMustExist | kOfnPathMustExist | kOfnHideReadOnly | kOfnExplorer | kOfnEnableSizing | kOfnLongNames;
constexpr uint32_t kSaveOptions =
    kOfnPathMustExist | kOfnHideReadOnly | kOfnOverwritePrompt | kOfnExplorer | kOfnEnableSizing | kOfnLongNames;

// The extension of path, lower case (ASCII), without the dot.
std::string ExtensionOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of("\\/");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext;
}

std::string FileNameOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// CSV takes the user's list separator when it is one a CSV reader knows
// (";" on Russian systems, where Excel expects it), "," otherwise.
char CsvSeparator() {
  const std::string listed = GetListSeparator();
  return listed == ";" || listed == "\t" ? listed[0] : ',';
}

}  // namespace

std::function<bool(uint64_t, uint64_t)> MainWindow::ProgressShown(const char* word) {
  auto shown = std::make_shared<std::chrono::steady_clock::time_point>();
  return [this, word, shown](uint64_t done, uint64_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (*shown == std::chrono::steady_clock::time_point{} || now - *shown >= kProgressInterval) {
      *shown = now;
      const uint64_t percent = total == 0 ? 100 : done * 100 / total;
      StatusLabel->SetText(std::string(word) + " " + std::to_string(percent) + "%");
      StatusLabel->Update();
    }
    program_.GetApplet().ProcessMessages();
    return GetKeyState(kVkEscape) >= 0;
  };
}

void MainWindow::TellRefusedLines(const std::vector<Outcome>& refused) {
  std::string text = texts::kRowsRefusedPrefix + std::to_string(refused.size()) + texts::kRowsRefusedMiddle;
  for (size_t i = 0; i < refused.size() && i < kRefusedLinesShown; ++i)
    text += "\r\n" + std::string(texts::kLinePrefix) + std::to_string(refused[i].Row) + ": " + LineRefusal(refused[i]);
  Tell(text);
  SetStatus(texts::kStatusError);
}

void MainWindow::ExportTable() {
  if (!EndPendingEdit()) return;
  CommandScope command(*this);
  if (!command.Entered()) return;
  if (!Session->IsLoaded()) {
    Tell(texts::kExportNoTable);
    return;
  }
  const bool libraries = HasLibraryFormats();
  std::string filter = std::string(texts::kExportCsvFilter) + "|" + texts::kExportJsonFilter + "|" + texts::kExportSqlFilter;
  if (libraries) filter += std::string("|") + texts::kExportSqliteFilter + "|" + texts::kExportXlsxFilter;
  FileDialog->SetMode(FileDialogMode::Save);
  FileDialog->SetOptions(kSaveOptions);
  FileDialog->SetFilter(filter);
  // A name typed without extension takes the chosen format's.
  FileDialog->SetDefaultExt("csv");
  const std::string table_file = Session->GetFileName();
  const std::string name = ExportTableName(table_file);
  FileDialog->SetFileName(name + ".csv");
  const bool chosen = FileDialog->Execute();
  const std::string out = FileDialog->GetFileName();
  // The next dialog of the window starts without this name.
  FileDialog->SetFileName("");
  if (!chosen) return;
  const std::string format = ExtensionOf(out);

  std::unique_ptr<ExportSink> sink;
  if (format == "csv") {
    CsvOptions csv;
    csv.Separator = CsvSeparator();
    sink = NewCsvSink(fs_, out, csv);
  } else if (format == "json") {
    sink = NewJsonSink(fs_, out);
  } else if (format == "sql") {
    sink = NewSqlSink(fs_, out, name, SqlDialect::Postgres);
  } else if (format == "sqlite" || format == "db" || format == "sqlite3") {
    sink = NewSqliteSink(out, name);
  } else if (format == "xlsx") {
    sink = NewXlsxSink(out);
  }
  if (!sink) {
    Tell(std::string(texts::kExportUnknownFormat) + (libraries ? texts::kExportLibraryFormats : "") + ".");
    return;
  }

  ExportOptions options;
  options.WithDeleted = program_.GetApplet().Ask(texts::kExportWithDeleted);
  // Rows marked in the view narrow the export to their records.
  for (int row : TableGrid->GetMarkedRows()) options.Records.push_back(int32_t(row) + 1);
  options.OnProgress = ProgressShown(texts::kStatusExport);
  const Outcome o = ::tabulon::ExportTable(*Session, options, *sink);
  SetStatus(texts::kStatusOk);
  // Stopped with Escape: the user knows, and no file was left.
  if (o.Reason == Refusal::Cancelled) return;
  if (!Report(o)) return;
  const size_t records = options.Records.empty() ? Session->GetRecordCount() : options.Records.size();
  Tell(texts::kExportDone + std::to_string(records) + texts::kIntoFile + FileNameOf(out));
}

void MainWindow::ImportTable() {
  if (!EndPendingEdit()) return;
  CommandScope command(*this);
  if (!command.Entered()) return;
  FileDialog->SetMode(FileDialogMode::Open);
  FileDialog->SetOptions(kOpenOptions);
  FileDialog->SetFilter(texts::kCsvFilter);
  FileDialog->SetDefaultExt("");
  if (!FileDialog->Execute()) return;
  const std::string csv = FileDialog->GetFileName();

  std::vector<Outcome> refused;
  ImportOptions options;
  // A new table takes the code page the view shows tables in.
  options.Oem = OemCheckBox->IsChecked();
  options.OnRowRefused = [&refused](const Outcome& o) { refused.push_back(o); };
  options.OnProgress = ProgressShown(texts::kStatusImport);
  auto finish = [&](const Outcome& o) {
    SetStatus(texts::kStatusOk);
    if (o.Reason == Refusal::Cancelled) return false;
    if (o.Reason == Refusal::RowsRefused || !refused.empty()) {
      TellRefusedLines(refused);
      return false;
    }
    return Report(o);
  };

  // The table shown may take the lines, when the user says so.
  if (Session->IsLoaded() &&
      program_.GetApplet().Ask(texts::kImportAppendPrefix + FileNameOf(Session->GetFileName()) +
                               texts::kImportAppendSuffix)) {
    if (!MayWrite()) return;
    uint64_t rows = 0;
    const Outcome o = AppendCsv(*Session, csv, options, &rows);
    if (Session->IsLoaded()) FillGrid();
    if (finish(o)) Tell(texts::kImportAppended + std::to_string(rows));
    return;
  }

  // A dry run first: the fields the data asks for, shown for confirmation.
  ImportPlan plan;
  options.DryRun = true;
  Outcome o = PlanCsvTable(fs_, csv, options, &plan);
  if (!finish(o)) return;
  std::string fields = texts::kImportFieldsPrefix;
  for (const std::string& line : plan.Definition.ShownLines) fields += line + "\r\n";
  fields += texts::kImportRowsPrefix + std::to_string(plan.Rows) + texts::kImportFieldsSuffix;
  if (!program_.GetApplet().Ask(fields)) return;
  if (!ChooseTableFile(FileDialogMode::Save)) return;
  const std::string table = FileDialog->GetFileName();
  options.DryRun = false;
  o = ImportCsvToNewTable(*Session, csv, table, options, &plan);
  if (!finish(o)) return;
  // Shown as a load shows a table, from its first record.
  ShowCreatedTable(table, Session->GetMemoFileName());
}

}  // namespace tabulon
