// The scroll position (TopRow and LeftCol), the two scroll bars, one
// scroll-bar request, and the sizing cursors shown over title borders.
#include <algorithm>

#include "xl_grid.h"

namespace tabulon {

void XLGrid::SetTopRow(int row) {
  BeginUpdate();
  top_row_ = row;
  UpdateScrollBars();
  EndUpdate();
}

void XLGrid::SetLeftCol(int col) {
  BeginUpdate();
  left_col_ = col;
  UpdateScrollBars();
  EndUpdate();
}

void XLGrid::MakeColVisible(int col) {
  const int visible = VisibleColCount();
  if (col < left_col_ || col > left_col_ + visible - 1)
    SetLeftCol(std::max(0, std::min(col, col_count_ - visible)));
}

void XLGrid::MakeRowVisible(int row) {
  const int visible = VisibleRowCount();
  if (row < top_row_ || row > top_row_ + visible - 1)
    SetTopRow(std::max(0, std::min(row, row_count_ - visible)));
}

// The bars are set with range, page and position at once and stay visible
// but disabled when everything fits: a bar that came and went would change
// the client size, and with it the page, on every update.
void XLGrid::UpdateScrollBars() {
  EndEdit(true, true);  // any scroll or size change ends an edit
  ScrollInfo info;
  info.Mask = kSifRange | kSifPage | kSifPos | kSifDisableNoScroll;
  info.Min = 0;
  info.Max = row_count_ - 1;
  info.Page = VisibleRowCount();
  info.Pos = top_row_;
  SetScrollInfo(kSbVert, info, true);
  info.Max = col_count_ - 1;
  info.Page = VisibleColCount();
  info.Pos = left_col_;
  SetScrollInfo(kSbHorz, info, true);
}

void XLGrid::ApplyScrollCode(int code, int thumb, int count, int32_t& pos, int page) {
  BeginUpdate();
  const int last = count - page;  // the position that shows the last page
  switch (code) {
    case kSbLineUp:
      pos = pos - 1;
      break;
    case kSbLineDown:
      pos = std::min(last, pos + 1);
      break;
    case kSbPageUp:
      pos = pos - page + 1;
      break;
    case kSbPageDown:
      pos = std::min(last, pos + page - 1);
      break;
    case kSbThumbPosition:
    case kSbThumbTrack:
      pos = std::min(last, thumb);
      break;
    case kSbTop:
      pos = 0;
      break;
    case kSbBottom:
      pos = last;
      break;
    default:  // kSbEndScroll and unknown codes: the bars are still refreshed
      break;
  }
  pos = std::max(0, pos);
  UpdateScrollBars();
  EndUpdate();
}

void XLGrid::ApplyScrollCode(int bar, int code, int thumb) {
  if (bar == kSbVert)
    ApplyScrollCode(code, thumb, row_count_, top_row_, VisibleRowCount());
  else
    ApplyScrollCode(code, thumb, col_count_, left_col_, VisibleColCount());
}

void XLGrid::SetSizingCursor(int kind) {
  if (kind != 1 && kind != 2) return;
  if (!cursor_overridden_) saved_cursor_ = GetCursor();
  SetCursor(kind == 1 ? col_sizing_cursor_ : row_sizing_cursor_);
  cursor_overridden_ = true;
}

void XLGrid::RestoreCursor() {
  if (!cursor_overridden_) return;
  SetCursor(saved_cursor_);
  cursor_overridden_ = false;
}

}  // namespace tabulon
