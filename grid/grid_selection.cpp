// The current cell, the selection with its per-cell counters, the column
// and row marks, moving columns and rows, and the option switches.
//
// A cell's selection counter is the number of selections covering it: the
// selected rectangle adds one to each cell it covers, and SelectAll puts
// one on every cell. Every change of the rectangle first takes its share
// back, so the counters never drift from what is selected. An owner-data
// grid has no cells to count on: its cells are selected by the rectangle
// and by a SelectAll flag.
#include <algorithm>

#include "xl_grid.h"

namespace tabulon {

void XLGrid::SetCurrentCell(int col, int row) {
  if (col_count_ == 0 || row_count_ == 0) return;
  BeginUpdate();
  EndEdit(true, false);  // the move goes on whatever the editor's owner says
  // The owner may have emptied the grid while the edit ended.
  if (col_count_ == 0 || row_count_ == 0) {
    EndUpdate();
    return;
  }
  current_.Col = std::min(col_count_ - 1, std::max(0, col));
  current_.Row = std::min(row_count_ - 1, std::max(0, row));
  // Scroll forward until the current cell is in the last wholly visible
  // row and column; the first such position is computed at once instead of
  // stepping one row at a time.
  if (current_.Row > top_row_ + VisibleRowCount() - 1)
    SetTopRow(std::max(top_row_, TopRowShowing(current_.Row)));
  if (current_.Col > left_col_ + VisibleColCount() - 1)
    SetLeftCol(std::max(left_col_, LeftColShowing(current_.Col)));
  if (current_.Col < left_col_) SetLeftCol(current_.Col);
  if (current_.Row < top_row_) SetTopRow(current_.Row);
  if (HasOption(kSelectCurrent))
    SetSelection(current_.Col, current_.Row, current_.Col, current_.Row);
  UpdateScrollBars();
  EndUpdate();
}

XLGridRange XLGrid::GetSelectionRect() const {
  if (HasOption(kRangeSelect)) return selection_;
  if (HasOption(kSelectCurrent))
    return XLGridRange{current_.Col, current_.Row, current_.Col, current_.Row};
  return XLGridRange{};
}

void XLGrid::LowerSelection() {
  if (selection_.Top == -1 || owner_data_) return;
  const int left = std::max(0, selection_.Left);
  const int right = std::min(col_count_ - 1, selection_.Right);
  const int top = std::max(0, selection_.Top);
  const int bottom = std::min(row_count_ - 1, selection_.Bottom);
  for (int r = top; r <= bottom; ++r) {
    auto& cells = cells_[size_t(r)];
    for (int c = left; c <= right; ++c) {
      int32_t& n = cells[size_t(c)].select_count_;
      n = std::max(0, n - 1);
    }
  }
}

void XLGrid::SetSelection(int left, int top, int right, int bottom) {
  if (col_count_ == 0 || row_count_ == 0) return;
  BeginUpdate();
  LowerSelection();
  auto cc = [this](int x) { return std::max(0, std::min(col_count_ - 1, x)); };
  auto rc = [this](int y) { return std::max(0, std::min(row_count_ - 1, y)); };
  selection_.Left = std::min(cc(left), cc(right));
  selection_.Top = std::min(rc(top), rc(bottom));
  selection_.Right = std::max(cc(left), cc(right));
  selection_.Bottom = std::max(rc(top), rc(bottom));
  if (!owner_data_) {
    for (int r = selection_.Top; r <= selection_.Bottom; ++r) {
      auto& cells = cells_[size_t(r)];
      for (int c = selection_.Left; c <= selection_.Right; ++c) ++cells[size_t(c)].select_count_;
    }
  }
  EndUpdate();
}

void XLGrid::SelectAll(bool on) {
  BeginUpdate();
  std::fill(col_marks_.begin(), col_marks_.end(), on && HasOption(kColumnSelect) ? 1 : 0);
  row_marks_.SetAll(on && HasOption(kRowSelect) ? 1 : 0);
  if (owner_data_) {
    owner_all_selected_ = on;
    EndUpdate();
    return;
  }
  // Every cell gets the share of this selection; the selected rectangle
  // keeps its own, which a later change of the rectangle takes back.
  const int32_t n = on ? 1 : 0;
  ForEachCell([n](XLGridCell& cell) { cell.select_count_ = n; });
  if (selection_.Top != -1) {
    const int right = std::min(col_count_ - 1, selection_.Right);
    const int bottom = std::min(row_count_ - 1, selection_.Bottom);
    for (int r = std::max(0, selection_.Top); r <= bottom; ++r)
      for (int c = std::max(0, selection_.Left); c <= right; ++c)
        ++cells_[size_t(r)][size_t(c)].select_count_;
  }
  EndUpdate();
}

void XLGrid::MarkColumn(int col, bool on) {
  BeginUpdate();
  int32_t& m = col_marks_[size_t(col)];
  m = on ? m + 1 : std::max(0, m - 1);
  EndUpdate();
}

void XLGrid::MarkRow(int row, bool on) {
  BeginUpdate();
  const int32_t m = row_marks_.Get(row);
  row_marks_.Set(row, on ? m + 1 : std::max(0, m - 1));
  EndUpdate();
}

std::vector<int> XLGrid::GetMarkedRows() const {
  std::vector<int> rows;
  row_marks_.ForEachAbove(row_count_, 0, [&rows](int32_t row) { rows.push_back(row); });
  return rows;
}

bool XLGrid::IsCellSelected(int col, int row) const {
  if (col_marks_[size_t(col)] > 0 || row_marks_.Get(row) > 0) return true;
  if (!owner_data_) return cells_[size_t(row)][size_t(col)].select_count_ > 0;
  const XLGridRange& s = selection_;
  return owner_all_selected_ ||
         (s.Left <= col && col <= s.Right && s.Top <= row && row <= s.Bottom);
}

namespace {

// Takes the entry at from out of list and puts it back at to.
template <typename T>
void MoveEntry(std::vector<T>& list, int from, int to) {
  auto first = list.begin();
  if (from < to)
    std::rotate(first + from, first + from + 1, first + to + 1);
  else
    std::rotate(first + to, first + from, first + from + 1);
}

// Where index i ends up when the entry at from moves to to.
int MovedIndex(int i, int from, int to) {
  if (i == from) return to;
  if (from < to && i > from && i <= to) return i - 1;
  if (from > to && i >= to && i < from) return i + 1;
  return i;
}

}  // namespace

void XLGrid::MoveColumn(int from, int to) {
  EndEdit(true, true);
  to = std::max(0, std::min(col_count_ - 1, to));
  if (to == from || from < 0 || from >= col_count_) return;
  BeginUpdate();
  // The selected rectangle stays where it was while its cells move, so it
  // is given up, and its share of the counters with it: a cell moved out of
  // it must not stay drawn as selected.
  LowerSelection();
  selection_ = XLGridRange{};
  MoveEntry(col_titles_, from, to);
  MoveEntry(col_widths_, from, to);
  MoveEntry(col_marks_, from, to);
  for (auto& row : cells_) MoveEntry(row, from, to);
  // The current cell stays on the same cell object as it moves.
  if (current_.Col >= 0) current_.Col = MovedIndex(current_.Col, from, to);
  EndUpdate();
  if (on_column_moved_) on_column_moved_(*this, from, to);
}

void XLGrid::MoveRow(int from, int to) {
  EndEdit(true, true);
  to = std::max(0, std::min(row_count_ - 1, to));
  if (to == from || from < 0 || from >= row_count_ || owner_data_) return;
  BeginUpdate();
  LowerSelection();
  selection_ = XLGridRange{};
  MoveEntry(row_titles_, from, to);
  row_heights_.Move(from, to);
  row_marks_.Move(from, to);
  MoveEntry(cells_, from, to);
  if (current_.Row >= 0) current_.Row = MovedIndex(current_.Row, from, to);
  EndUpdate();
}

void XLGrid::SetOptions(uint8_t options) {
  BeginUpdate();
  if ((options & kRangeSelect) == 0) {
    all_selected_ = false;
    // No counter stands for the rectangle any more, so neither does it.
    ForEachCell([](XLGridCell& cell) { cell.select_count_ = 0; });
    owner_all_selected_ = false;
    selection_ = XLGridRange{};
    // Still under the old options: with SelectCurrent the current cell is
    // selected again.
    SetCurrentCell(current_.Col, current_.Row);
  }
  if ((options & kColumnSelect) == 0) std::fill(col_marks_.begin(), col_marks_.end(), 0);
  if ((options & kRowSelect) == 0) row_marks_.SetAll(0);
  options_ = options;
  EndUpdate();
}

}  // namespace tabulon
