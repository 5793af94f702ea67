// Export and import: the table shown written out to CSV, JSON, an SQL
// script (and SQLite or Excel where the program links their libraries),
// and a CSV file read into a new table or onto the table shown. The
// session does the work; the window chooses the files, asks what the user
// wants (for a CSV file its separator and code page, and a new table's
// fields), shows the progress and lets Escape stop it.
#include <cctype>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "csv_import.h"
#include "csv_import_window.h"
#include "export_formats.h"
#include "input.h"
#include "main_window.h"
#include "program.h"
#include "system.h"
#include "text.h"
#include "texts.h"
#include "utf8_length.h"

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

std::string FileNameOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// What the save dialog's filter offers, in its order.
enum class ExportFormat { CsvListSeparator, CsvOtherSeparator, CsvTableCodePage, Json, PostgresScript, SqliteScript, Sqlite, Xlsx };

// CSV takes the user's list separator by default when it is one a CSV
// reader knows (";" on Russian systems, where Excel expects it), "," when
// it is another; the other of the two is offered beside it.
char ListSeparator() {
  const std::string listed = GetListSeparator();
  return listed == ";" ? ';' : ',';
}

char OtherSeparator() { return ListSeparator() == ';' ? ',' : ';'; }

std::string CsvFilter(char separator, const char* suffix) {
  return texts::kExportCsvPrefix + std::string(1, separator) + suffix;
}

// The description and pattern pair of a format in the save dialog.
std::string FormatFilter(ExportFormat format) {
  switch (format) {
    case ExportFormat::CsvListSeparator: return CsvFilter(ListSeparator(), texts::kExportCsvUtf8);
    case ExportFormat::CsvOtherSeparator: return CsvFilter(OtherSeparator(), texts::kExportCsvUtf8);
    case ExportFormat::CsvTableCodePage: return CsvFilter(ListSeparator(), texts::kExportCsvTableCodePage);
    case ExportFormat::Json: return texts::kExportJsonFilter;
    case ExportFormat::PostgresScript: return texts::kExportPostgresFilter;
    case ExportFormat::SqliteScript: return texts::kExportSqliteScriptFilter;
    case ExportFormat::Sqlite: return texts::kExportSqliteFilter;
    case ExportFormat::Xlsx: return texts::kExportXlsxFilter;
  }
  return std::string();
}

// The encoding of a CSV file, told by its start: UTF-8 when every byte
// beyond ASCII begins a valid sequence (a byte-order mark included);
// otherwise the Russian code page its words read in, 1251 (what Excel
// writes on Russian systems) when they say nothing.
CsvEncoding GuessCsvEncoding(DbfFileSystem& fs, const std::string& path) {
  constexpr size_t kSample = 64 * 1024;
  std::unique_ptr<DbfFile> file = fs.Open(path, DbfOpenMode::ReadOnly);
  std::string sample(kSample, '\0');
  size_t got = 0;
  if (!file || !file->Read(&sample[0], sample.size(), &got)) return CsvEncoding::Utf8;
  sample.resize(got);
  // A sequence the sample cuts in two is not held against it.
  const size_t whole = got == kSample ? got - 3 : got;
  bool utf8 = true;
  for (size_t i = 0; i < whole && utf8; i += Utf8CharBytes(sample, i))
    utf8 = uint8_t(sample[i]) < 0x80 || Utf8CharBytes(sample, i) > 1;
  if (utf8) return CsvEncoding::Utf8;
  CyrillicEvidence evidence;
  AddCyrillicEvidence(sample, evidence);
  return evidence.Oem > evidence.Ansi ? CsvEncoding::Dos866 : CsvEncoding::Windows1251;
}

// Escape during a long work stops it. The table view, which has the focus
// then, notes the key as it comes; a key held down is seen on its own.
class EscapeWatch {
 public:
  explicit EscapeWatch(Control& view) : view_(view), saved_(view.OnKeyDown) {
    view.OnKeyDown = [this](Control& sender, int& key, uint32_t shift) {
      if (key != kVkEscape) {
        if (saved_) saved_(sender, key, shift);
        return;
      }
      pressed_ = true;
      key = 0;
    };
  }
  ~EscapeWatch() { view_.OnKeyDown = saved_; }
  EscapeWatch(const EscapeWatch&) = delete;
  EscapeWatch& operator=(const EscapeWatch&) = delete;
  bool Pressed() const { return pressed_ || GetKeyState(kVkEscape) < 0; }

 private:
  Control& view_;
  std::function<void(Control&, int&, uint32_t)> saved_;
  bool pressed_ = false;
};

// The session's progress callback: the status shows the word and the
// percentage, at most a few times a second; messages are processed so
// that the window repaints and Escape reaches the watch.
std::function<bool(uint64_t, uint64_t)> ProgressShown(Label& status, Applet& applet, const EscapeWatch& escape,
                                                     const char* word) {
  auto shown = std::make_shared<std::chrono::steady_clock::time_point>();
  return [&status, &applet, &escape, word, shown](uint64_t done, uint64_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (*shown == std::chrono::steady_clock::time_point{} || now - *shown >= kProgressInterval) {
      *shown = now;
      const uint64_t percent = total == 0 ? 100 : done * 100 / total;
      status.SetText(std::string(word) + " " + std::to_string(percent) + "%");
      status.Update();
    }
    applet.ProcessMessages();
    return !escape.Pressed();
  };
}

// Whether two paths name the same file as far as their text tells
// (letters compared without case, as Windows names files).
bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char x = a[i] == '\\' ? '/' : a[i], y = b[i] == '\\' ? '/' : b[i];
    if (x != y && !(std::isalpha(uint8_t(x)) && std::tolower(uint8_t(x)) == std::tolower(uint8_t(y)))) return false;
  }
  return true;
}

}  // namespace

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
  std::vector<ExportFormat> formats = {ExportFormat::CsvListSeparator, ExportFormat::CsvOtherSeparator,
                                       ExportFormat::CsvTableCodePage, ExportFormat::Json,
                                       ExportFormat::PostgresScript, ExportFormat::SqliteScript};
  if (HasLibraryFormats()) formats.insert(formats.end(), {ExportFormat::Sqlite, ExportFormat::Xlsx});
  std::string filter;
  for (ExportFormat format : formats) filter += (filter.empty() ? "" : "|") + FormatFilter(format);
  FileDialog->SetMode(FileDialogMode::Save);
  FileDialog->SetOptions(kSaveOptions);
  FileDialog->SetFilter(filter);
  FileDialog->SetFilterIndex(1);
  // A name typed without extension takes the chosen format's.
  FileDialog->SetDefaultExt("csv");
  const std::string name = ExportTableName(Session->GetFileName());
  FileDialog->SetFileName(name + ".csv");
  const bool chosen = FileDialog->Execute();
  const std::string out = FileDialog->GetFileName();
  // The next dialog of the window starts without this name.
  FileDialog->SetFileName("");
  if (!chosen) return;
  // Written beside and renamed into place, the export would replace them.
  if (SamePath(out, Session->GetFileName()) || SamePath(out, Session->GetMemoFileName())) {
    Tell(texts::kExportOverTable);
    return;
  }
  const int index = FileDialog->GetFilterIndex();
  const ExportFormat format = index >= 1 && size_t(index) <= formats.size() ? formats[size_t(index) - 1] : formats[0];

  std::unique_ptr<ExportSink> sink;
  ExportOptions options;
  CsvOptions csv;
  switch (format) {
    case ExportFormat::CsvListSeparator:
    case ExportFormat::CsvTableCodePage:
    case ExportFormat::CsvOtherSeparator:
      csv.Separator = format == ExportFormat::CsvOtherSeparator ? OtherSeparator() : ListSeparator();
      options.TableCodePage = format == ExportFormat::CsvTableCodePage;
      csv.ByteOrderMark = !options.TableCodePage;
      sink = NewCsvSink(fs_, out, csv);
      break;
    case ExportFormat::Json: sink = NewJsonSink(fs_, out); break;
    case ExportFormat::PostgresScript: sink = NewSqlSink(fs_, out, name, SqlDialect::Postgres); break;
    case ExportFormat::SqliteScript: sink = NewSqlSink(fs_, out, name, SqlDialect::Sqlite); break;
    case ExportFormat::Sqlite: sink = NewSqliteSink(out, name); break;
    case ExportFormat::Xlsx: sink = NewXlsxSink(out); break;
  }
  if (!sink) return;  // offered only where the build writes it

  options.WithDeleted = program_.GetApplet().Ask(texts::kExportWithDeleted);
  // Rows marked in the view narrow the export to their records.
  for (int row : TableGrid->GetMarkedRows()) options.Records.push_back(int32_t(row) + 1);
  EscapeWatch escape(*TableGrid);
  options.OnProgress = ProgressShown(*StatusLabel, program_.GetApplet(), escape, texts::kStatusExport);
  const Outcome o = ::tabulon::ExportTable(*Session, options, *sink);
  SetStatus(texts::kStatusOk);
  // Stopped with Escape: the user knows, and no file was left.
  if (o.Reason == Refusal::Cancelled) return;
  if (!Report(o)) return;
  Tell(texts::kExportDone + FileNameOf(out));
}

void MainWindow::ImportTable() {
  if (!EndPendingEdit()) return;
  CommandScope command(*this);
  if (!command.Entered()) return;
  FileDialog->SetMode(FileDialogMode::Open);
  FileDialog->SetOptions(kOpenOptions);
  FileDialog->SetFilter(texts::kCsvFilter);
  FileDialog->SetFilterIndex(1);
  FileDialog->SetDefaultExt("");
  if (!FileDialog->Execute()) return;
  const std::string csv = FileDialog->GetFileName();

  // How the file is read: what its start suggests, as the user confirms
  // or changes it.
  const CsvEncoding guessed = GuessCsvEncoding(fs_, csv);
  CsvReader probe(fs_, csv, guessed);
  const char separator = probe.Open() ? probe.GetSeparator() : ',';
  CsvImportWindow& reading = program_.GetCsvImportWindow();
  if (!reading.Ask(FileNameOf(csv), separator, guessed, 0)) return;

  std::vector<Outcome> refused;
  ImportOptions options;
  options.Encoding = reading.GetEncoding();
  options.CodePage = reading.GetCodePage();
  options.Separator = reading.GetSeparator();
  // A new table takes the code page the view shows tables in.
  options.Oem = OemCheckBox->IsChecked();
  options.OnRowRefused = [&refused](const Outcome& o) { refused.push_back(o); };
  EscapeWatch escape(*TableGrid);
  options.OnProgress = ProgressShown(*StatusLabel, program_.GetApplet(), escape, texts::kStatusImport);
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
