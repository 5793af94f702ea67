// Loading: choosing a table, opening it with its memo file, and giving the
// table view its fields and record count (the view reads the records it
// shows as it draws them).
#include <algorithm>
#include <string>
#include <vector>

#include "code_page.h"
#include "engine_messages.h"
#include "main_window.h"
#include "table_files.h"
#include "text.h"
#include "texts.h"

namespace tabulon {

namespace {

// The title column's width when the numbers need no more.
constexpr int kRowTitleWidth = 30;

// The records, and the start of each memo text, whose Russian letters tell
// a table's code page: enough for a verdict, little next to the fill.
constexpr uint32_t kCodePageSampleRecords = 300;
constexpr size_t kCodePageSampleMemo = 4096;

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
  if (!ChooseTableFile(FileDialogMode::Open)) return;
  CurrentFileName = FileDialog->GetFileName();
  Table->FileName = CurrentFileName;
  // Chosen afresh for every table, so no table ever gets another's memo file.
  Table->MemoFileName = ChooseMemoFile(CurrentFileName, fs_);
  column_fields_.clear();  // a new table shows its fields in file order
  if (!OpenTable()) return;
  ShowTableCodePage();
  ForgetViewState();
  FillGrid();
  // After the fill, so that every column of the new table takes its share.
  SpreadColumns();
  TableGrid->SetTopRow(0);
  TableGrid->SetLeftCol(0);
  TableGrid->SetCurrentCell(0, 0);
  CloseTable();
}

void MainWindow::ShowTableCodePage() {
  CyrillicEvidence evidence;
  const uint32_t records = std::min(Table->RecordCount(), kCodePageSampleRecords);
  const bool memos = Table->GetMemoKind() != MemoKind::None;
  std::string text;
  for (uint32_t r = 1; r <= records; ++r) {
    Table->GoTo(int32_t(r));
    if (!Table->BufferHoldsRecord()) continue;
    for (int f = 1; f <= Table->FieldCount; ++f) {
      const DbfFieldType type = Table->GetFieldType(f);
      if (type == DbfFieldType::Char) {
        AddCyrillicEvidence(Table->FieldByNumber(f), evidence);
      } else if (type == DbfFieldType::Memo && memos) {
        text.clear();
        Table->ReadMemo(f, text);
        text.resize(std::min(text.size(), kCodePageSampleMemo));
        AddCyrillicEvidence(text, evidence);
      }
    }
  }
  switch (ChooseShownCodePage(CodePageOfLanguageDriver(Table->GetLanguageDriver()), evidence)) {
    case ShownCodePage::Oem:
      OemCheckBox->SetChecked(true);
      break;
    case ShownCodePage::Ansi:
      OemCheckBox->SetChecked(false);
      break;
    case ShownCodePage::Undecided:
      break;
  }
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
  FileDialog->SetFilter(Utf8ToAnsi(texts::kTableFilter));
  FileDialog->SetDefaultExt("");  // a name without extension is used as typed
  return FileDialog->Execute();
}

void MainWindow::ReloadTable() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  if (!OpenTable()) return;
  FillGrid();
  CloseTable();
}

bool MainWindow::OpenTable() {
  // Opening also undoes a pack that was cut off.
  Table->SetActive(true);
  if (Table->Active) {
    // A journal found beside the table was not trusted and not used: the
    // user hears where it went, and the table works as it is.
    if (Table->ErrorCode == DbfPackJournalSetAside) {
      Tell(EngineMessage(*Table));
      BeginWrite();
    }
    return true;
  }
  SetStatus(texts::kStatusLoad);
  ClearTableView();
  // No table chosen yet is not a failure the user needs to hear of.
  if (Table->FileName.empty()) {
    SetStatus(texts::kStatusOk);
    return false;
  }
  SetStatus(texts::kStatusError);
  Tell(EngineMessage(*Table));
  return false;
}

void MainWindow::ClearTableView() {
  ForgetViewState();
  view_table_->FileName.clear();
  view_table_->MemoFileName.clear();
  ForgetShownRows();
  column_fields_.clear();
  seen_ = TableSnapshot{};
}

void MainWindow::FillGrid() {
  SetStatus(texts::kStatusLoad);
  const int fields = Table->FieldCount;
  // The view's rows are counted in 31 bits: the records past them (in a
  // file of more than 2 GB) are not shown.
  const int rows = int(std::min<uint32_t>(Table->RecordCount(), uint32_t(kXLGridMaxRows)));
  const bool oem = OemCheckBox->IsChecked();
  shown_oem_ = oem;
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
  for (int f : column_fields_) {
    std::string name = Table->GetFieldName(f);
    titles.push_back(oem ? OemToAnsi(name) : name);
  }
  TableGrid->SetColTitles(titles);
  // Whatever the view drew before is read afresh from these files.
  view_table_->FileName = Table->FileName;
  view_table_->MemoFileName = Table->MemoFileName;
  ForgetShownRows();
  FitRowTitles();
  AlignNumberColumns();
  TableGrid->EndUpdate();
  SetStatus(texts::kStatusOk);
}

void MainWindow::AlignNumberColumns() {
  for (int c = 0; c < TableGrid->ColCount(); ++c) {
    const uint8_t align = IsNumberLayout(Table->GetValueLayout(FieldOfColumn(c))) ? kAlignRight
                                                                                   : kAlignLeft;
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

// The columns share the grid's client area beside the record numbers, so
// that every field is in view; with many fields each keeps a readable
// minimum and the view scrolls.
void MainWindow::SpreadColumns() {
  if (Table->FieldCount <= 0) return;
  constexpr int kMinSpreadWidth = 40;
  const int room = TableGrid->GetClientSize().Width - TableGrid->GetRowTitleWidth();
  const int width = std::max(kMinSpreadWidth, room / Table->FieldCount);
  TableGrid->SetColWidths(std::vector<int>(size_t(Table->FieldCount), width));
}

}  // namespace tabulon
