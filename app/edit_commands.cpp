// Editing records in place, appending, deleting, and enlarging a memo cell.
#include "dbf_errors.h"
#include "main_window.h"
#include "text.h"
#include "texts.h"

namespace tabulon {

namespace {

// "знака" after "до 1", "до 21", ...; "знаков" otherwise.
const char* Characters(int count) {
  return count % 10 == 1 && count % 100 != 11 ? texts::kCharactersOne : texts::kCharactersMany;
}

}  // namespace

std::string MainWindow::ValueRefusal(int field, int col) const {
  const DbfField& f = Table->Fields[field];
  std::string expects;
  switch (ValueLayoutOf(f.Type, f.Length, Table->GetVersion())) {
    case DbfValueLayout::Number:
      expects = texts::kExpectsNumberPrefix + std::to_string(f.Length) + Characters(f.Length);
      if (f.Decimals > 0)
        expects += texts::kExpectsDecimalsPrefix + std::to_string(f.Decimals) + texts::kExpectsDecimalsSuffix;
      else
        expects += texts::kExpectsNoDecimals;
      break;
    case DbfValueLayout::Date:
      expects = texts::kExpectsDate;
      break;
    case DbfValueLayout::Logic:
      expects = texts::kExpectsLogic;
      break;
    case DbfValueLayout::Integer:
      expects = texts::kExpectsInteger;
      break;
    case DbfValueLayout::Autoincrement:
      expects = texts::kExpectsCounter;
      break;
    case DbfValueLayout::Currency:
      expects = texts::kExpectsCurrency;
      break;
    case DbfValueLayout::Double:
      expects = texts::kExpectsDouble;
      break;
    case DbfValueLayout::SortableDouble:
      expects = texts::kExpectsDoubleOrBlank;
      break;
    case DbfValueLayout::DateTime:
    case DbfValueLayout::Timestamp:
      expects = texts::kExpectsDateTime;
      break;
    default:
      expects = texts::kFieldNotEditable;
      break;
  }
  // The column's title is the name as the view shows it (Windows-1251).
  return texts::kFieldPrefix + AnsiToUtf8(TableGrid->GetColTitle(col)) + expects;
}

void MainWindow::BeginCellEdit(XLGrid&, int col, int row, Control*& editor, Control*& edit_control,
                               XLGridSides&) {
  if (busy_) return;  // no editor: no edit starts while a command runs
  const int field = FieldOfColumn(col);
  if (field < 1 || field > Table->FieldCount) return;
  if (Table->ReadOnly) {
    // As the last open found it; no edit starts that could not be stored.
    Tell(texts::kReadOnlyRefused);
    return;
  }
  const DbfFieldType type = Table->GetFieldType(field);
  if (type != DbfFieldType::Memo && !TakesTypedText(Table->GetValueLayout(field))) {
    // No editor: the field's bytes have no text the program could write.
    Tell(ValueRefusal(field, col));
    return;
  }
  if (type == DbfFieldType::Memo) {
    editor = MemoCellEditor.get();
    edit_control = MemoCellEditor.get();
    MemoTransferText.clear();
    MemoCellEditor->Clear();
  } else {
    editor = TextCellEditor.get();
  }
  // The record as the edit starts from it: the view may be drawn again
  // while the editor is open, and the write must still find the file as
  // the user saw it when typing began.
  edited_row_ = row;
  edited_record_ = ShownRow(row);
}

void MainWindow::EndCellEdit(XLGrid&, int col, int row, Control*, Control*, std::string& text,
                             bool accept, bool& allow) {
  if (!accept) {
    edited_row_ = -1;
    return;
  }
  CommandScope command(*this);
  if (!command.Entered()) {
    allow = false;  // the edit stays open (or, forced, is dropped unwritten)
    return;
  }
  // What the edit started from (the row as last drawn when there was none).
  const ShownRecord seen = edited_row_ == row ? edited_record_ : ShownRow(row);
  edited_row_ = -1;
  const size_t shown_field = size_t(FieldOfColumn(col));
  const std::string shown = shown_field >= 1 && shown_field <= seen.Texts.size()
                                ? seen.Texts[shown_field - 1]
                                : std::string();
  // Nothing written: the view reads what the file holds at its next paint.
  if (!OpenTableForRecordWrite(row, &seen)) return;
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
  // Text longer than a Character field is cut to it; every other value
  // goes whole, so that one too long is refused rather than cut.
  const DbfField& f = Table->Fields[field];
  const bool text_field =
      !memo && ValueLayoutOf(f.Type, f.Length, Table->GetVersion()) == DbfValueLayout::Text;
  const std::string typed = memo ? MemoTransferText : text_field ? text.substr(0, f.Length) : text;
  std::string bytes, failure;
  // Read before the write begins: its errors are not the write's.
  const bool changed = TypedToStored(field, typed, bytes, failure);
  BeginWrite();
  if (changed) {
    if (memo) {
      Table->WriteMemo(field, bytes);
    } else {
      Table->PutFieldText(field, bytes);
    }
    Table->PostRecord();
    failure = WriteFailure();
    if (Table->ErrorCode == DbfValueRefused) failure = ValueRefusal(field, col);
  }
  if (failure.empty()) {
    // The field's own value rewritten stores nothing and needs no word.
    text = DisplayText(field);  // what the file now holds
    SetStatus(texts::kStatusOk);
  } else {
    text = shown;
  }
  ForgetShownRows();
  CloseTable();
  ReportFailure(failure);
}

void MainWindow::AppendRecord() {
  CommandScope command(*this);
  if (!command.Entered() || !OpenTable() || RefuseWrite()) return;
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
  if (!OpenTableForRecordWrite(TableGrid->HasCell(at) ? at.Row : -1) || RefuseWrite()) return;
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

void MainWindow::ToggleDeleted() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  const XLGridCoord at = TableGrid->GetCurrentCell();
  if (!TableGrid->HasCell(at)) return;
  if (!OpenTableForRecordWrite(at.Row) || RefuseWrite()) return;
  Table->AutoPost = true;
  Table->GoTo(at.Row + 1);
  BeginWrite();
  Table->SetDeleted(!Table->IsDeleted());
  Table->PostRecord();
  const std::string failure = WriteFailure();
  // The row shows what the file now holds, marked or not.
  ForgetShownRows();
  TableGrid->Invalidate();
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
  ZoomedCell = at;
  TableGrid->BeginUpdate();
  TableGrid->SetColWidth(at.Col, TableGrid->GetWidth());
  // Enlarged, the memo shows its lines as it holds them (ZoomedCell).
  TableGrid->SetRowHeight(at.Row, TableGrid->GetHeight() - 20);
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
