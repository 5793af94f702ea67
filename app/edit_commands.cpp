// Editing records in place, appending, deleting, and enlarging a memo cell.
#include "dbf_errors.h"
#include "main_window.h"
#include "texts.h"

namespace tabulon {

namespace {

// An ordinary field takes at most this much of an edited text; the engine
// then fits it to the field's width.
constexpr size_t kMaxFieldText = 255;

}  // namespace

void MainWindow::BeginCellEdit(XLGrid&, int col, int, Control*& editor, Control*& edit_control,
                               XLGridSides&) {
  if (busy_) return;  // no editor: no edit starts while a command runs
  if (Table->GetFieldType(FieldOfColumn(col)) == DbfFieldType::Memo) {
    editor = MemoCellEditor.get();
    edit_control = MemoCellEditor.get();
    MemoTransferText.clear();
    MemoCellEditor->Clear();
  } else {
    editor = TextCellEditor.get();
  }
}

void MainWindow::EndCellEdit(XLGrid&, int col, int row, Control*, Control*, std::string& text,
                             bool accept, bool& allow) {
  if (!accept) return;
  CommandScope command(*this);
  if (!command.Entered()) {
    allow = false;  // the edit stays open (or, forced, is dropped unwritten)
    return;
  }
  const std::string shown = TableGrid->GetCell(col, row).GetText();
  if (!OpenTableForRecordWrite(row)) {
    // Nothing was written. The grid stores the text in its current cell,
    // which a refill may have moved: that cell keeps what the file holds.
    const XLGridCoord at = TableGrid->GetCurrentCell();
    if (TableGrid->HasCell(at)) text = TableGrid->GetCell(at.Col, at.Row).GetText();
    return;
  }
  const int field = FieldOfColumn(col);
  Table->AutoPost = true;
  Table->GoTo(row + 1);
  // A memo is written whole from the editor, whatever the grid kept of it.
  MemoTransferText = MemoCellEditor->GetText();
  const bool memo = Table->GetFieldType(field) == DbfFieldType::Memo;
  if (memo && Table->GetMemoKind() == MemoKind::None) {
    // The engine would drop the text without a word.
    text = shown;
    CloseTable();
    ReportFailure(texts::kNoMemoFile);
    return;
  }
  BeginWrite();
  if (memo)
    Table->WriteMemo(field, MemoTransferText);
  else
    Table->PutFieldByNumber(field, text.substr(0, kMaxFieldText));
  const bool modified = Table->RecordModified;
  Table->PostRecord();
  // A misplaced decimal point is only a warning: the value was stored.
  const bool warned = Table->ErrorCode == DbfDecimalPointError;
  const std::string failure = warned ? std::string() : WriteFailure();
  const std::string warning = warned ? Table->ErrorText : std::string();
  if (failure.empty()) {
    // A FoxPro memo write stores the record itself; only an ordinary field
    // left unmodified means nothing reached the file.
    if (!memo && !modified) Tell(texts::kNotModified);
    text = DisplayText(field);  // what the file now holds
    SetStatus(texts::kStatusOk);
  } else {
    text = shown;
  }
  CloseTable();
  if (!warning.empty()) Tell(warning);
  ReportFailure(failure);
}

void MainWindow::AppendRecord() {
  CommandScope command(*this);
  if (!command.Entered() || !OpenTable()) return;
  BeginWrite();
  Table->AppendBlank();
  const std::string failure = WriteFailure();
  FillGrid();
  CloseTable();
  ReportFailure(failure);
}

void MainWindow::DeleteRecord() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  const XLGridCoord at = TableGrid->GetCurrentCell();
  if (!OpenTableForRecordWrite(TableGrid->HasCell(at) ? at.Row : -1)) return;
  if (!TableGrid->HasCell(at)) {
    CloseTable();
    return;
  }
  BeginWrite();
  // That record only: records another program marked deleted stay.
  Table->RemoveRecord(at.Row + 1);
  const std::string failure = WriteFailure();
  FillGrid();
  CloseTable();
  ReportFailure(failure);
}

void MainWindow::ZoomIn() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  const XLGridCoord at = TableGrid->GetCurrentCell();
  if (!TableGrid->HasCell(at)) return;
  if (Table->GetFieldType(FieldOfColumn(at.Col)) != DbfFieldType::Memo) return;
  ZoomOutButton->SetEnabled(true);
  ZoomInButton->SetEnabled(false);
  SavedColWidth = TableGrid->GetColWidth(at.Col);
  SavedRowHeight = TableGrid->GetRowHeight(at.Row);
  TableGrid->SetColWidth(at.Col, TableGrid->GetWidth());
  TableGrid->SetRowHeight(at.Row, TableGrid->GetHeight() - 20);
}

void MainWindow::ZoomOut() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  ZoomInButton->SetEnabled(true);
  ZoomOutButton->SetEnabled(false);
  // The cell current now takes the saved sizes, wherever the user went.
  const XLGridCoord at = TableGrid->GetCurrentCell();
  if (!TableGrid->HasCell(at)) return;
  TableGrid->SetColWidth(at.Col, SavedColWidth);
  TableGrid->SetRowHeight(at.Row, SavedRowHeight);
}

}  // namespace tabulon
