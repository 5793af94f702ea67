// The table view's owner data: the view holds no copy of the table, and
// each paint reads the records it shows from the file, so a record always
// looks as the file held it when it was drawn, and a table of millions of
// records costs no more than one screen of them.
#include <algorithm>
#include <string>

#include "main_window.h"

namespace tabulon {

namespace {

// Rows read at once when the view asks for one it has not drawn (a key
// press before the next paint, a copy of marked rows): a screenful.
constexpr int kRowsReadAhead = 64;
// The rows kept at most between paints; a paint starts afresh anyway.
constexpr size_t kMaxShownRows = 1024;

}  // namespace

void MainWindow::FetchShownRows(int first, int last) {
  DbfTable& view = *view_table_;
  view.SetActive(true);
  // A table that cannot be opened now keeps the rows read before, and the
  // others are marked unread: the next paint tries once more.
  if (view.Active) ForgetShownRows();
  ReadShownRows(first, last);
  // The current cell is drawn, and may be edited, even when scrolled away.
  const int current = TableGrid->GetCurrentCell().Row;
  if (current >= 0 && (current < first || current > last)) ReadShownRows(current, current);
  view.SetActive(false);
}

void MainWindow::GetShownCell(int col, int row, XLGridCellData& data) {
  const ShownRecord& record = ShownRow(row);
  const size_t field = size_t(FieldOfColumn(col));
  if (field >= 1 && field <= record.Texts.size()) data.Text = record.Texts[field - 1];
  data.Dimmed = record.Deleted;
  // Enlarged, a memo shows its lines as it holds them.
  data.MultiLine = ZoomedCell == XLGridCoord{col, row};
}

std::string MainWindow::ShownRowTitle(int row) {
  const ShownRecord& record = ShownRow(row);
  return (!record.Read ? "?" : record.Deleted ? "*" : "") + std::to_string(row + 1);
}

const MainWindow::ShownRecord& MainWindow::ShownRow(int row) {
  auto it = shown_rows_.find(row);
  if (it != shown_rows_.end()) return it->second;
  if (shown_rows_.size() > kMaxShownRows) ForgetShownRows();
  DbfTable& view = *view_table_;
  view.SetActive(true);
  ReadShownRows(row, std::min(TableGrid->RowCount() - 1, row + kRowsReadAhead - 1));
  view.SetActive(false);
  return shown_rows_[row];  // a row past the table's end reads as unread
}

void MainWindow::ReadShownRows(int first, int last) {
  DbfTable& view = *view_table_;
  if (!view.Active) {
    for (int row = first; row <= last; ++row) shown_rows_.try_emplace(row);
    return;
  }
  const int fields = view.FieldCount;
  for (int row = first; row <= last; ++row) {
    ShownRecord& record = shown_rows_[row];
    record.Texts.assign(size_t(std::max(fields, 0)), std::string());
    record.Deleted = false;
    view.GoTo(row + 1);
    // A record the file no longer holds, or cannot give, shows empty.
    record.Read = view.BufferHoldsRecord();
    if (!record.Read) continue;
    record.Deleted = view.IsDeleted();
    for (int f = 1; f <= fields; ++f) record.Texts[size_t(f - 1)] = DisplayText(view, f);
  }
}

}  // namespace tabulon
