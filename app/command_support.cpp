// What every command shares: one command at a time, opening and closing
// the table around it, noticing changes made by other programs, telling the
// user of failed writes, the field each column shows, and the code page
// values are shown and stored in.
#include "code_page.h"
#include "engine_messages.h"
#include "main_window.h"
#include "text.h"
#include "texts.h"

namespace tabulon {

MainWindow::CommandScope::CommandScope(MainWindow& window) : window_(window), entered_(!window.busy_) {
  window_.busy_ = true;
}

MainWindow::CommandScope::~CommandScope() {
  if (entered_) window_.busy_ = false;
}

int MainWindow::FieldOfColumn(int col) const {
  if (col >= 0 && size_t(col) < column_fields_.size()) return column_fields_[size_t(col)];
  return col + 1;
}

void MainWindow::CloseTable() {
  Table->SetActive(false);
  seen_ = TakeSnapshot(*Table, fs_);
}

bool MainWindow::OpenTableForRecordWrite(int row, const ShownRecord* seen) {
  if (!OpenTable()) return false;
  // The file's sizes and time tell most changes; the record itself tells
  // those a coarse clock hides (a same-size change within its tick).
  if (TakeSnapshot(*Table, fs_) == seen_ && (row < 0 || RowShowsRecord(row, seen))) return true;
  FillGrid();
  CloseTable();
  Tell(texts::kTableChanged);
  return false;
}

bool MainWindow::RowShowsRecord(int row, const ShownRecord* seen) {
  if (row >= TableGrid->RowCount()) return false;
  Table->GoTo(row + 1);
  if (!Table->BufferHoldsRecord()) return false;
  if (seen == nullptr) {
    // A row not drawn since the last fill or paint showed the user nothing
    // to compare: the files' sizes and time are the measure then.
    const auto shown = shown_rows_.find(row);
    if (shown == shown_rows_.end()) return true;
    seen = &shown->second;
  }
  if (!seen->Read) return false;
  const std::vector<std::string>& texts = seen->Texts;
  if (texts.size() != size_t(Table->FieldCount)) return false;
  for (int f = 1; f <= Table->FieldCount; ++f)
    if (texts[size_t(f - 1)] != DisplayText(f)) return false;
  return true;
}

bool MainWindow::EndPendingEdit() {
  // A menu item leaves the focus in the editor; ending the edit here writes
  // it before the command marks itself running (which would refuse it).
  return TableGrid->EndEdit(true, false);
}

bool MainWindow::RefuseWrite() {
  if (!Table->ReadOnly) return false;
  CloseTable();
  Tell(texts::kReadOnlyRefused);
  return true;
}

void MainWindow::BeginWrite() {
  Table->ErrorCode = 0;
  Table->ErrorText.clear();
}

std::string MainWindow::WriteFailure() const {
  return Table->ErrorCode == 0 ? std::string() : EngineMessage(*Table);
}

void MainWindow::ReportFailure(const std::string& failure) {
  if (failure.empty()) return;
  Tell(failure);
  SetStatus(texts::kStatusError);
}

std::string MainWindow::FieldValueText(DbfTable& table, int field) {
  // Binary data has no text a user could read or match.
  if (!HasTextForm(table.GetValueLayout(field))) return Utf8ToAnsi(texts::kBinaryData);
  return table.GetFieldText(field);
}

std::string MainWindow::StoredText(DbfTable& table, int field) {
  std::string text;
  if (table.GetFieldType(field) == DbfFieldType::Memo) {
    table.ReadMemo(field, text);
    return text;
  }
  return FieldValueText(table, field);
}

std::string MainWindow::DisplayText(DbfTable& table, int field) {
  const std::string text = StoredText(table, field);
  const bool memo = table.GetFieldType(field) == DbfFieldType::Memo;
  if (!memo && !HasTextForm(table.GetValueLayout(field))) return text;  // the program's own marker
  // A number's leading blanks only right-justify it in the file; the cell
  // right-aligns it, and blanks would hide its digits in a narrow column.
  if (!memo && table.GetValueLayout(field) == DbfValueLayout::Number) return TrimBlanks(text);
  // As the view was filled: the box takes effect at the next fill only.
  return shown_oem_ ? OemToAnsi(text) : text;
}

bool MainWindow::TypedToStored(int field, const std::string& typed, std::string& bytes,
                               std::string& refusal) {
  const TypedValue value = StoredFormOfTyped(StoredText(*Table, field), typed, shown_oem_);
  if (value.Outcome == TypedOutcome::Refused)
    refusal = texts::kNoOemTwinPrefix + AnsiToUtf8(std::string(1, char(value.Refused))) +
              texts::kNoOemTwinSuffix;
  bytes = value.Bytes;
  return value.Outcome == TypedOutcome::Store;
}

}  // namespace tabulon
