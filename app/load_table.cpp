// Loading: choosing a table, opening it with its memo file, and giving the
// table view its fields and record count (the view reads the records it
// shows as it draws them).
#include <algorithm>
#include <string>
#include <vector>

#include "main_window.h"
#include "program.h"
#include "text.h"
#include "texts.h"

namespace tabulon {

namespace {

// The title column's width when the numbers need no more.
constexpr int kRowTitleWidth = 30;

// The platform asks before a file is replaced (saving only). A new table's
// file need not exist yet: saving leaves out "the file must exist".
constexpr uint32_t kTableDialogOptions = kOfnFileMustExist | kOfnPathMustExist | kOfnHideReadOnly |
                                         kOfnOverwritePrompt | kOfnExplorer | kOfnEnableSizing |
                                         kOfnLongNames;

// Numbers read best right-aligned, their digits under each other.
bool IsNumberLayout(DbfValueLayout layout) {
  switch (layout) {
    case DbfValueLayout::Number:
    case DbfValueLayout::Integer:
    case DbfValueLayout::Autoincrement:
    case DbfValueLayout::Currency:
    case DbfValueLayout::Double:
    case DbfValueLayout::SortableDouble:
      return true;
    default:
      return false;
  }
}

// Whether order holds each field 1..fields once.
bool IsFieldOrder(const std::vector<int>& order, int fields) {
  if (order.size() != size_t(fields)) return false;
  std::vector<bool> seen(size_t(fields) + 1, false);
  for (int f : order) {
    if (f < 1 || f > fields || seen[size_t(f)]) return false;
    seen[size_t(f)] = true;
  }
  return true;
}

}  // namespace

void MainWindow::LoadTable() {
  if (!EndPendingEdit()) return;
  CommandScope command(*this);
  if (!command.Entered()) return;
  if (ChooseTableFile(FileDialogMode::Open)) LoadTableFile(FileDialog->GetFileName());
}

void MainWindow::OpenTableFile(const std::string& path) {
  if (!EndPendingEdit()) return;
  CommandScope command(*this);
  if (command.Entered()) LoadTableFile(path);
}

void MainWindow::LoadTableFile(const std::string& path) { ShowLoaded(Session->Load(path)); }

void MainWindow::ShowCreatedTable(const std::string& path, const std::string& memo_file) {
  ShowLoaded(Session->Load(path, memo_file));
}

void MainWindow::ShowLoaded(const Outcome& loaded) {
  column_fields_.clear();  // a new table shows its fields in file order
  // The hits of the table shown before name none of this one's records.
  SearchResultList->Clear();
  SearchHitRecords.clear();
  SearchTitle->SetText(texts::kSearchTitle);
  if (!loaded.IsDone()) {
    ReportLoadFailure(loaded);
    return;
  }
  // A new table's first write asks afresh about its index files.
  Session->SetIndexesMayGoStale(false);
  Session->SetReadingOnlyChosen(false);
  // The table's text tells its code page, or its language-driver byte
  // does; a table that tells nothing leaves the box as it was.
  switch (Session->GetSuggestedCodePage()) {
    case ShownCodePage::Oem: OemCheckBox->SetChecked(true); break;
    case ShownCodePage::Ansi: OemCheckBox->SetChecked(false); break;
    case ShownCodePage::Undecided: break;
  }
  // The box switches between a page's DOS and Windows forms; a page with
  // no such twin (UTF-8, say) leaves it nothing to do.
  OemCheckBox->SetEnabled(Session->HasCodePageTwin());
  ForgetViewState();
  FillGrid();
  // After the fill, so that every column of the new table takes its share.
  SpreadColumns();
  TableGrid->SetTopRow(0);
  TableGrid->SetLeftCol(0);
  TableGrid->SetCurrentCell(0, 0);
  OfferToClearMissingIndexFlag();
  ShowIndexes();
  // The user goes on with the keys where the records are.
  if (Window->IsVisible()) TableGrid->SetFocus();
  Report(loaded);
  if (HasMemoFields() && Session->GetMemoKind() == MemoKind::None) Tell(texts::kMemoFileMissingAtLoad);
}

bool MainWindow::HasMemoFields() const {
  for (int f = 1; f <= Session->GetFieldCount(); ++f)
    if (Session->GetFieldType(f) == DbfFieldType::Memo) return true;
  return false;
}

void MainWindow::ForgetViewState() {
  // Emptied, the view drops the previous table's row heights, marks and
  // widths; the enlarged cell goes with them.
  TableGrid->BeginUpdate();
  TableGrid->SetRowCount(0);
  TableGrid->SetColCount(0);
  TableGrid->EndUpdate();
  ZoomedCell = XLGridCoord{};
  ZoomInButton->SetEnabled(true);
  ZoomOutButton->SetEnabled(false);
}

bool MainWindow::ChooseTableFile(FileDialogMode mode) {
  FileDialog->SetMode(mode);
  FileDialog->SetOptions(mode == FileDialogMode::Open ? kTableDialogOptions
                                                      : kTableDialogOptions & ~kOfnFileMustExist);
  FileDialog->SetFilter(texts::kTableFilter);
  FileDialog->SetFilterIndex(1);
  FileDialog->SetDefaultExt("");  // a name without extension is used as typed
  return FileDialog->Execute();
}

void MainWindow::ReloadTable() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  const Outcome reloaded = Session->Reload();
  if (!reloaded.IsDone()) {
    ReportLoadFailure(reloaded);
    return;
  }
  FillGrid();
  Report(reloaded);
}

void MainWindow::OfferToClearMissingIndexFlag() {
  bool missing = false;
  for (const FoundIndex& index : Session->GetIndexes()) missing = missing || (index.Structural && index.Missing);
  if (!missing || Session->IsReadOnly() || !program_.GetApplet().Ask(texts::kClearStructuralFlagQuestion)) return;
  // One byte of the header; the programs that own the table open it again.
  Report(Session->ClearStructuralIndexFlag());
}

void MainWindow::ShowIndexes() {
  std::string line;
  bool all_kept = true;
  for (const FoundIndex& index : Session->IsLoaded() ? Session->GetIndexes() : std::vector<FoundIndex>()) {
    const size_t cut = index.File.find_last_of("\\/");
    line += (line.empty() ? texts::kIndexesPrefix : "; ") + index.File.substr(cut == std::string::npos ? 0 : cut + 1);
    if (index.Missing) {
      line += texts::kIndexMissing;
    } else if (!index.Readable) {
      line += texts::kIndexUnreadable;
      all_kept = false;
    } else {
      std::string tags;
      for (size_t t = 0; t < index.Tags.size(); ++t) {
        tags += (tags.empty() ? "" : ", ") + index.Tags[t].Name;
        if (!index.IsMaintained(t)) tags += texts::kTagNotKept;
        all_kept = all_kept && index.IsMaintained(t);
      }
      line += " (" + tags + ")";
    }
  }
  if (!line.empty()) line += all_kept ? texts::kIndexesKept : texts::kIndexesNotKept;
  IndexLabel->SetText(line);
  IndexBar->SetVisible(!line.empty());
}

void MainWindow::ClearTableView() {
  ForgetViewState();
  Window->SetText(texts::kMainCaption);
  ShowIndexes();
  Session->ForgetShownRows();
  column_fields_.clear();
}

void MainWindow::FillGrid() {
  SetStatus(texts::kStatusLoad);
  const int fields = Session->GetFieldCount();
  // The view's rows are counted in 31 bits: the records past them (in a
  // file of more than 2 GB) are not shown.
  const int rows = int(std::min<uint32_t>(Session->GetRecordCount(), uint32_t(kXLGridMaxRows)));
  // The box takes effect at a fill.
  if (!Session->SetShownOem(OemCheckBox->IsChecked())) OemCheckBox->SetChecked(Session->IsShownOem());
  // The columns keep the order the user gave them, as long as the table
  // has the fields they show.
  if (!IsFieldOrder(column_fields_, fields)) {
    column_fields_.resize(size_t(fields));
    for (int c = 0; c < fields; ++c) column_fields_[size_t(c)] = c + 1;
  }

  TableGrid->BeginUpdate();
  TableGrid->SetColCount(fields);
  TableGrid->SetRowCount(rows);
  std::vector<std::string> titles;
  titles.reserve(size_t(fields));
  for (int f : column_fields_) titles.push_back(Session->GetFieldTitle(f));
  TableGrid->SetColTitles(titles);
  // Whatever the view drew before is read afresh.
  Session->ForgetShownRows();
  FitRowTitles();
  AlignNumberColumns();
  TableGrid->EndUpdate();
  ShowTableInCaption();
  SetStatus(texts::kStatusOk);
}

void MainWindow::ShowTableInCaption() {
  const std::string& path = Session->GetFileName();
  const size_t cut = path.find_last_of("\\/");
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  Window->SetText(texts::kMainCaption + std::string(texts::kCaptionFileSeparator) + name +
                  texts::kCaptionRecordCount + std::to_string(Session->GetRecordCount()));
}

void MainWindow::AlignNumberColumns() {
  for (int c = 0; c < TableGrid->ColCount(); ++c) {
    const int field = FieldOfColumn(c);
    const bool number = field <= Session->GetFieldCount() && IsNumberLayout(Session->GetValueLayout(field));
    const uint8_t align = number ? kAlignRight : kAlignLeft;
    // The column's shared cell carries the look of all its rows.
    TableGrid->GetCell(c, 0).SetHAlign(align);
  }
}

void MainWindow::FitRowTitles() {
  // Room for the widest number with its mark, and never below the default.
  Canvas& canvas = TableGrid->GetBuffer().GetCanvas();
  canvas.SetFont(TableGrid->TitleFont());
  const std::string widest = "*" + std::string(std::to_string(TableGrid->RowCount()).size(), '8');
  TableGrid->SetRowTitleWidth(std::max(kRowTitleWidth, canvas.MeasureText(widest).Width + 8));
}

// The columns share the grid's client area beside the record numbers in
// proportion to what their fields hold (a title is never narrower than
// its text), so that every field is in view where there is room; with many
// fields each keeps a readable minimum and the view scrolls.
void MainWindow::SpreadColumns() {
  const int fields = Session->GetFieldCount();
  if (fields <= 0 || TableGrid->ColCount() != fields) return;
  constexpr int kMinSpreadWidth = 40;
  constexpr int kMemoChars = 30;  // a memo shows the start of its text
  constexpr int kMostChars = 60;
  Canvas& canvas = TableGrid->GetBuffer().GetCanvas();
  canvas.SetFont(TableGrid->TitleFont());
  const int char_width = std::max(1, canvas.MeasureText("0").Width);
  std::vector<int> titles(static_cast<size_t>(fields)), wants(static_cast<size_t>(fields));
  int total = 0;
  for (int c = 0; c < fields; ++c) {
    const int field = FieldOfColumn(c);
    const DbfField& info = Session->GetField(field);
    const int chars = Session->GetFieldType(field) == DbfFieldType::Memo ? kMemoChars
                                                                          : std::min<int>(info.Length, kMostChars);
    titles[size_t(c)] = canvas.MeasureText(Session->GetFieldTitle(field)).Width + 12;
    wants[size_t(c)] = std::max({kMinSpreadWidth, titles[size_t(c)], chars * char_width + 8});
    total += wants[size_t(c)];
  }
  const int room = TableGrid->GetClientSize().Width - TableGrid->GetRowTitleWidth();
  std::vector<int> widths(static_cast<size_t>(fields));
  for (int c = 0; c < fields; ++c) {
    const int share = total > 0 ? int(int64_t(wants[size_t(c)]) * room / total) : kMinSpreadWidth;
    // Narrowed to the room, a column keeps its title whole.
    widths[size_t(c)] = std::max({kMinSpreadWidth, total > room ? titles[size_t(c)] : 0, share});
  }
  TableGrid->SetColWidths(widths);
}

}  // namespace tabulon
