// What every command shares: one command at a time, opening and closing
// the table around it, noticing changes made by other programs, telling the
// user of failed writes, and the field each column shows.
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

bool MainWindow::OpenTableForRecordWrite() {
  if (!OpenTable()) return false;
  if (TakeSnapshot(*Table, fs_) == seen_) return true;
  FillGrid();
  CloseTable();
  Tell(texts::kTableChanged);
  return false;
}

void MainWindow::BeginWrite() {
  Table->ErrorCode = 0;
  Table->ErrorText.clear();
}

std::string MainWindow::WriteFailure() const {
  return Table->ErrorCode == 0 ? std::string() : Table->ErrorText;
}

bool MainWindow::ReportFailure(const std::string& failure) {
  if (failure.empty()) return false;
  Tell(failure);
  SetStatus(texts::kStatusError);
  return true;
}

std::string MainWindow::DisplayText(int field) {
  std::string text;
  if (Table->GetFieldType(field) == DbfFieldType::Memo) {
    Table->ReadMemo(field, text);  // memo texts are never converted
    return text;
  }
  text = Table->FieldByNumber(field);
  return OemCheckBox->IsChecked() ? OemToAnsi(text) : text;
}

}  // namespace tabulon
