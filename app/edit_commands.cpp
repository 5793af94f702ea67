// Editing records in place, appending, deleting, and enlarging a memo cell.
#include "main_window.h"
#include "program.h"
#include "text.h"
#include "texts.h"
#include "utf8_length.h"

namespace tabulon {

namespace {
// An enlarged cell is never smaller than this, however small the window.
constexpr int kMinZoomSize = 20;
}  // namespace

XLGridEditor MainWindow::BeginCellEdit(int col, int row) {
  XLGridEditor lent;
  if (busy_) return lent;  // no editor: no edit starts while a command runs
  const int field = FieldOfColumn(col);
  if (field < 1 || field > Session->GetFieldCount()) return lent;
  if (!Session->IsReadOnly() && !MayWrite()) return lent;
  if (Session->IsReadOnly()) {
    // As the last open found it; no edit starts that could not be stored.
    Tell(texts::kReadOnlyRefused);
    return lent;
  }
  const bool memo = Session->GetFieldType(field) == DbfFieldType::Memo;
  if (!memo && !TakesTypedText(Session->GetValueLayout(field))) {
    // No editor: the field's bytes have no text the program could write.
    Tell(ValueRefusal(field));
    return lent;
  }
  if (memo && Session->ShowsBinaryData(ShownRow(row), field)) {
    // Its bytes are no text: written back as text they would be cut.
    Tell(OutcomeText(Refused(Refusal::BinaryData, field)));
    return lent;
  }
  if (memo && Utf8Length(ShownRow(row).Texts[size_t(field - 1)]) > size_t(kMemoCellMaxLength)) {
    // More than the in-place editor takes: it would ignore every key.
    EditMemo();
    return lent;
  }
  if (memo) {
    lent.Editor = MemoCellEditor.get();
    lent.EditControl = MemoCellEditor.get();
    MemoTransferText.clear();
    MemoCellEditor->Clear();
  } else {
    lent.Editor = TextCellEditor.get();
    // A Character field's editor takes no more than the field holds, so
    // nothing typed is cut without a word.
    const bool text = Session->GetValueLayout(field) == DbfValueLayout::Text;
    TextCellEditor->SetMaxLength(text ? Session->GetField(field).Length : 0);
  }
  // The record as the edit starts from it: the view may be drawn again
  // while the editor is open, and the write must still find the file as
  // the user saw it when typing began.
  edited_row_ = row;
  edited_record_ = ShownRow(row);
  return lent;
}

bool MainWindow::EndCellEdit(int col, int row, std::string& text, bool accept) {
  if (!accept) {
    edited_row_ = -1;
    return true;
  }
  CommandScope command(*this);
  // The edit stays open (or, forced, is dropped unwritten).
  if (!command.Entered()) return false;
  // What the edit started from (the row as last drawn when there was none).
  const ShownRecord seen = edited_row_ == row ? edited_record_ : ShownRow(row);
  edited_row_ = -1;
  const int field = FieldOfColumn(col);
  const std::string shown = field >= 1 && size_t(field) <= seen.Texts.size()
                                ? (seen.Texts[size_t(field - 1)])
                                : std::string();
  // A memo is written whole from the editor, whatever the grid kept of it.
  MemoTransferText = MemoCellEditor->GetText();
  const bool memo = field >= 1 && field <= Session->GetFieldCount() &&
                    Session->GetFieldType(field) == DbfFieldType::Memo;
  const Outcome o = Session->EditCell(row + 1, field, (memo ? MemoTransferText : text), &seen);
  if (o.IsDone()) {
    text = (o.Text);  // what the file now holds
    SetStatus(texts::kStatusOk);
  } else {
    // Nothing written: the view reads what the file holds at its next paint.
    text = shown;
  }
  Report(o);
  return true;
}

void MainWindow::AppendRecord() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  if (!MayWrite()) return;
  const Outcome o = Session->AppendRecord();
  if (o.IsDone() || (o.Kind == OutcomeKind::Failed && Session->IsLoaded())) FillGrid();
  // The new record is where the user looks next.
  if (o.IsDone() && TableGrid->RowCount() > 0)
    TableGrid->SetCurrentCell(std::max(0, TableGrid->GetCurrentCell().Col), TableGrid->RowCount() - 1);
  Report(o);
}

void MainWindow::DeleteRecord() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  if (!MayWrite()) return;
  const XLGridCoord at = TableGrid->GetCurrentCell();
  if (!TableGrid->HasCell(at)) return;
  // Rows marked, but not the current one: the user may think "X" takes those.
  if (!TableGrid->IsRowMarked(at.Row) && !TableGrid->GetMarkedRows().empty() &&
      !program_.GetApplet().Ask(texts::kDeleteCurrentPrefix + std::to_string(at.Row + 1) + texts::kDeleteCurrentSuffix))
    return;
  // That record only: records another program marked deleted stay.
  const Outcome o = Session->RemoveRecord(at.Row + 1);
  if (o.IsDone() || (o.Kind == OutcomeKind::Failed && Session->IsLoaded())) FillGrid();
  Report(o);
}

void MainWindow::ToggleDeleted() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  if (!MayWrite()) return;
  const XLGridCoord at = TableGrid->GetCurrentCell();
  if (!TableGrid->HasCell(at)) return;
  // With rows marked, their records all take the mark, or all lose it when
  // every one has it already; otherwise the current record's mark turns.
  const std::vector<int> marked = TableGrid->GetMarkedRows();
  Outcome o;
  if (marked.empty()) {
    o = Session->ToggleDeleted(at.Row + 1);
  } else {
    std::vector<int32_t> records;
    bool all_deleted = true;
    for (int row : marked) {
      records.push_back(row + 1);
      all_deleted = all_deleted && ShownRow(row).Deleted;
    }
    o = Session->SetDeleted(records, !all_deleted);
  }
  // The row shows what the file now holds, marked or not.
  if (Session->IsLoaded()) TableGrid->Invalidate();
  Report(o);
}

void MainWindow::ZoomIn() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  const XLGridCoord at = TableGrid->GetCurrentCell();
  if (!TableGrid->HasCell(at)) return;
  const int field = FieldOfColumn(at.Col);
  if (field > Session->GetFieldCount() || Session->GetFieldType(field) != DbfFieldType::Memo) return;
  ZoomOutButton->SetEnabled(true);
  ZoomInButton->SetEnabled(false);
  SavedColWidth = TableGrid->GetColWidth(at.Col);
  SavedRowHeight = TableGrid->GetRowHeight(at.Row);
  ZoomedCell = at;
  // Enlarged to the grid's room beside its titles, and scrolled to, so
  // the whole cell is in view; it shows the memo's lines as it holds them
  // (ZoomedCell).
  const Size client = TableGrid->GetClientSize();
  TableGrid->BeginUpdate();
  TableGrid->SetColWidth(at.Col, std::max(kMinZoomSize, client.Width - TableGrid->GetRowTitleWidth()));
  TableGrid->SetRowHeight(at.Row, std::max(kMinZoomSize, client.Height - TableGrid->GetColTitleHeight()));
  TableGrid->SetLeftCol(at.Col);
  TableGrid->SetTopRow(at.Row);
  TableGrid->EndUpdate();
}

void MainWindow::ZoomOut() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  ZoomInButton->SetEnabled(true);
  ZoomOutButton->SetEnabled(false);
  // The enlarged cell takes its sizes back, wherever the user went since
  // (it is gone when a refill dropped its row).
  const XLGridCoord at = ZoomedCell;
  ZoomedCell = XLGridCoord{};
  if (!TableGrid->HasCell(at)) return;
  TableGrid->BeginUpdate();
  TableGrid->SetColWidth(at.Col, SavedColWidth);
  TableGrid->SetRowHeight(at.Row, SavedRowHeight);
  TableGrid->EndUpdate();
}

}  // namespace tabulon
