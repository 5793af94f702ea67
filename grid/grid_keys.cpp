// Keyboard navigation and the mouse wheel. Navigation keys move the
// current cell; with Shift (and RangeSelect) they move the far edge of the
// selection instead, the current cell staying the pivot; with Ctrl they
// jump to the edges. Enter and F2 start editing.
#include <algorithm>

#include "input.h"
#include "xl_grid.h"

namespace tabulon {

void XLGrid::OnWheel(const Message& m) {
  if (!EndEdit(true, false)) return;
  BeginUpdate();
  int n = GetWheelDelta(m.WParam) / 120;
  if ((LoWord(m.WParam) & kMkControl) != 0) n *= VisibleRowCount() - 1;
  SetTopRow(std::max(0, std::min(std::max(0, top_row_ - n), row_count_ - VisibleRowCount())));
  UpdateScrollBars();
  EndUpdate();
}

// Where rows are marked through their titles, the keyboard marks them too:
// Shift+Space turns the current row's mark, Shift+Up and Shift+Down mark
// the rows they pass, the current one included.
bool XLGrid::MarkRowsByKey(int key) {
  if (!HasOption(kRowSelect) || row_count_ == 0 || current_.Row < 0) return false;
  if (key != kVkSpace && key != kVkUp && key != kVkDown) return false;
  auto mark = [this](int row, bool on) {
    if (on && !IsRowMarked(row)) MarkRow(row, true);
    while (!on && IsRowMarked(row)) MarkRow(row, false);
  };
  BeginUpdate();
  if (key == kVkSpace) {
    mark(current_.Row, !IsRowMarked(current_.Row));
  } else {
    const int next = std::max(0, std::min(row_count_ - 1, current_.Row + (key == kVkDown ? 1 : -1)));
    mark(current_.Row, true);
    mark(next, true);
    SetCurrentCell(current_.Col, next);
  }
  Invalidate();
  EndUpdate();
  return true;
}

void XLGrid::OnKey(int key) {
  if (!EndEdit(true, false)) return;
  const bool shift = HasOption(kRangeSelect) && GetKeyState(kVkShift) < 0;
  const bool ctrl = GetKeyState(kVkControl) < 0;
  const int c = current_.Col;
  const int r = current_.Row;
  const int cc = col_count_;
  const int rc = row_count_;
  auto clamp_c = [cc](int v) { return std::max(0, std::min(cc - 1, v)); };
  auto clamp_r = [rc](int v) { return std::max(0, std::min(rc - 1, v)); };
  auto select = [this](int left, int top, int right, int bottom) {
    SetSelection(left, top, right, bottom);
    return GetSelectionRect();
  };
  // SetSelection again with the rectangle ordered.
  auto normalise = [this](const XLGridRange& s) {
    SetSelection(std::min(s.Left, s.Right), std::min(s.Top, s.Bottom), std::max(s.Left, s.Right),
                 std::max(s.Top, s.Bottom));
    return GetSelectionRect();
  };

  if (!ctrl && (key == kVkReturn || key == kVkF2)) {
    BeginEdit();
    return;
  }
  if (!ctrl && GetKeyState(kVkShift) < 0 && MarkRowsByKey(key)) return;
  static const int kNavigation[] = {kVkLeft, kVkRight, kVkUp, kVkDown, kVkHome, kVkEnd, kVkPrior, kVkNext};
  if (std::find(std::begin(kNavigation), std::end(kNavigation), key) == std::end(kNavigation)) return;
  if (ctrl && (key == kVkPrior || key == kVkNext)) return;

  SelectAll(false);
  const XLGridRange s = GetSelectionRect();
  if (ctrl) {
    switch (key) {
      case kVkHome:
        SetLeftCol(0);
        SetTopRow(0);
        if (shift) select(0, 0, c, r); else SetCurrentCell(0, 0);
        break;
      case kVkEnd:
        SetLeftCol(std::max(0, cc - VisibleColCount()));
        SetTopRow(std::max(0, rc - VisibleRowCount()));
        if (shift) select(c, r, cc - 1, rc - 1); else SetCurrentCell(cc - 1, rc - 1);
        break;
      case kVkLeft:
        SetLeftCol(0);
        if (shift) select(0, s.Top, c, s.Bottom); else SetCurrentCell(0, r);
        break;
      case kVkRight:
        SetLeftCol(std::max(0, cc - VisibleColCount()));
        if (shift) select(c, s.Top, cc - 1, s.Bottom); else SetCurrentCell(cc - 1, r);
        break;
      case kVkUp:
        SetTopRow(0);
        if (shift) select(s.Left, 0, s.Right, r); else SetCurrentCell(c, 0);
        break;
      case kVkDown:
        SetTopRow(std::max(0, rc - VisibleRowCount()));
        if (shift) select(s.Left, r, s.Right, rc - 1); else SetCurrentCell(c, rc - 1);
        break;
      default:
        break;
    }
    Invalidate();
    return;
  }

  switch (key) {
    case kVkLeft:
      if (!shift) {
        SetCurrentCell(std::max(0, c - 1), r);
      } else if (s.Left <= c && s.Right == c) {
        MakeColVisible(select(clamp_c(s.Left - 1), s.Top, s.Right, s.Bottom).Left);
      } else {
        MakeColVisible(select(s.Left, s.Top, clamp_c(s.Right - 1), s.Bottom).Right - 1);
      }
      break;
    case kVkRight:
      if (!shift) {
        SetCurrentCell(std::min(cc - 1, c + 1), r);
      } else if (s.Right >= c && s.Left == c) {
        MakeColVisible(select(s.Left, s.Top, clamp_c(s.Right + 1), s.Bottom).Right);
      } else {
        MakeColVisible(select(clamp_c(s.Left + 1), s.Top, s.Right, s.Bottom).Left);
      }
      break;
    case kVkUp:
      if (!shift) {
        SetCurrentCell(c, std::max(0, r - 1));
      } else if (s.Top <= r && s.Bottom == r) {
        MakeRowVisible(select(s.Left, clamp_r(s.Top - 1), s.Right, s.Bottom).Top);
      } else {
        MakeRowVisible(select(s.Left, s.Top, s.Right, clamp_r(s.Bottom - 1)).Bottom);
      }
      break;
    case kVkDown:
      if (!shift) {
        SetCurrentCell(c, r + 1);
      } else if (s.Bottom >= r && s.Top == r) {
        MakeRowVisible(select(s.Left, s.Top, s.Right, clamp_r(s.Bottom + 1)).Bottom);
      } else {
        MakeRowVisible(select(s.Left, clamp_r(s.Top + 1), s.Right, s.Bottom).Top);
      }
      break;
    case kVkHome:
      SetLeftCol(0);
      if (shift) select(0, s.Top, c, s.Bottom); else SetCurrentCell(0, r);
      break;
    case kVkEnd:
      SetLeftCol(std::max(0, cc - VisibleColCount()));
      if (shift) select(c, s.Top, cc - 1, s.Bottom); else SetCurrentCell(cc - 1, r);
      break;
    case kVkPrior: {
      SetTopRow(std::max(0, top_row_ - VisibleRowCount() + 1));
      const int vr = VisibleRowCount();
      if (!shift) {
        SetCurrentCell(c, std::max(0, r - vr + 1));
      } else if (s.Top <= r && s.Bottom == r) {
        MakeRowVisible(normalise(select(s.Left, std::max(0, s.Top - vr + 1), s.Right, s.Bottom)).Top);
      } else {
        MakeRowVisible(
            normalise(select(s.Left, s.Top, s.Right, std::min(rc - 1, s.Bottom - vr + 1))).Bottom);
      }
      break;
    }
    case kVkNext: {
      SetTopRow(std::max(0, std::min(top_row_ + VisibleRowCount() - 1, rc - VisibleRowCount())));
      const int vr = VisibleRowCount();
      if (!shift) {
        SetCurrentCell(c, std::min(rc - 1, r + vr - 1));
      } else if (s.Bottom >= r && s.Top == r) {
        MakeRowVisible(
            normalise(select(s.Left, s.Top, s.Right, std::min(rc - 1, s.Bottom + vr - 1))).Bottom);
      } else {
        MakeRowVisible(normalise(select(s.Left, std::max(0, s.Top + vr - 1), s.Right, s.Bottom)).Top);
      }
      break;
    }
    default:
      break;
  }
  Invalidate();
}

}  // namespace tabulon
