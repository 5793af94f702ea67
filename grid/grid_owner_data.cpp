// Owner data: a grid that stores no rows and asks its owner for the text of
// each cell it draws or edits, and for each row's title. The columns keep
// one shared cell each, which carries the column's look.
#include "xl_grid.h"

namespace tabulon {

void XLGrid::SetOwnerData(bool on) {
  if (on == owner_data_) return;
  EndEdit(true, true);
  BeginUpdate();
  const int rows = row_count_;
  // Emptied under the old mode, refilled under the new one: the stored
  // rows, or the one row of shared cells, are built afresh.
  SetRowCount(0);
  cells_.clear();
  owner_data_ = on;
  owner_all_selected_ = false;
  if (on) {
    CellLook* look = NewCellLook();
    std::vector<XLGridCell> shared;
    shared.reserve(size_t(col_count_));
    for (int c = 0; c < col_count_; ++c) shared.emplace_back(*this, look);
    cells_.push_back(std::move(shared));
    looks_.Release(look);
  }
  SetRowCount(rows);
  EndUpdate();
}

XLGridCellData XLGrid::GetCellData(int col, int row) {
  XLGridCellData data;
  if (!owner_data_)
    data.Text = GetCell(col, row).GetText();
  else if (source_)
    data = source_->GetCellData(col, row);
  return data;
}

std::string XLGrid::GetRowTitle(int row) {
  if (!owner_data_) return row_titles_[size_t(row)];
  return source_ ? source_->GetRowTitle(row) : std::string();
}

}  // namespace tabulon
