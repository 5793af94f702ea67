// The table view's owner data: the view holds no copy of the table, and
// each paint asks the session for the records it shows, so a record always
// looks as the file held it when it was drawn.
#include <algorithm>
#include <string>

#include "main_window.h"
#include "text.h"

namespace tabulon {

void MainWindow::FollowRecordCount() {
  if (busy_ || !Session->NoticeRecordCountChange()) return;
  TableGrid->SetRowCount(int(std::min<uint32_t>(Session->GetRecordCount(), uint32_t(kXLGridMaxRows))));
  FitRowTitles();
}

void MainWindow::FetchShownRows(int first, int last) {
  Session->FetchRows(first + 1, last + 1);
  // The current cell is drawn, and may be edited, even when scrolled away.
  const int current = TableGrid->GetCurrentCell().Row;
  if (current >= 0 && (current < first || current > last)) Session->GetShownRecord(current + 1);
}

XLGridCellData MainWindow::GetShownCell(int col, int row) {
  XLGridCellData data;
  const ShownRecord& record = ShownRow(row);
  const size_t field = size_t(FieldOfColumn(col));
  if (field >= 1 && field <= record.Texts.size()) data.Text = (record.Texts[field - 1]);
  data.Dimmed = record.Deleted;
  // Enlarged, a memo shows its lines as it holds them.
  data.MultiLine = ZoomedCell == XLGridCoord{col, row};
  return data;
}

std::string MainWindow::ShownRowTitle(int row) {
  const ShownRecord& record = ShownRow(row);
  return (!record.Read ? "?" : record.Deleted ? "*" : "") + std::to_string(row + 1);
}

}  // namespace tabulon
