// The grid's window-message handler, installed on the control as its
// message hook: it sees every message before the toolkit's default
// processing and consumes only the paint message. Mouse input is here;
// keys, the wheel and the scroll bars are in grid_keys.cpp.
#include <algorithm>

#include "input.h"
#include "text.h"
#include "xl_grid.h"

namespace tabulon {
namespace {

// Where the thumb of a bar being dragged is: the message carries it in 16
// bits, so a longer bar (a grid of more than 65,535 rows) is asked for the
// whole position.
int ThumbPosition(XLGrid& grid, int bar, const Message& m) {
  const int code = LoWord(m.WParam);
  if (code != kSbThumbTrack && code != kSbThumbPosition) return HiWord(m.WParam);
  const ScrollInfo info = grid.GetScrollInfo(bar);
  return info.Max > 0xFFFF ? info.TrackPos : HiWord(m.WParam);
}

}  // namespace

bool XLGrid::HandleGridMessage(Message& m, intptr_t& result) {
  switch (m.Id) {
    case kWmSize:
      UpdateScrollBars();  // the pages follow the new client size
      return false;
    case kWmPaint: {
      // While updates are locked the message goes to the default handling
      // and nothing is drawn.
      if (update_count_ > 0) return false;
      std::unique_ptr<Canvas> dc = NewPaintCanvas(m);
      Paint(*dc);
      result = 0;
      return true;
    }
    case kWmEraseBkgnd:
      // The paint covers every pixel from the off-screen buffer; erasing
      // first would flash the background on every repaint.
      result = 1;
      return true;
    case kWmKeyDown:
      OnKey(int(m.WParam));
      return false;
    case kWmChar:
      OnChar(uint32_t(m.WParam));
      return false;
    case kWmHScroll:
      ApplyScrollCode(kSbHorz, LoWord(m.WParam), ThumbPosition(*this, kSbHorz, m));
      return false;
    case kWmVScroll:
      ApplyScrollCode(kSbVert, LoWord(m.WParam), ThumbPosition(*this, kSbVert, m));
      return false;
    case kWmMouseWheel:
      OnWheel(m);
      return false;
    case kWmMouseMove:
      OnMouseMove(m);
      return false;
    case kWmLButtonDown:
      OnMouseDown(m);
      return false;
    case kWmLButtonUp:
      OnMouseUp(m);
      return false;
    case kWmLButtonDblClk:
      OnDoubleClick(m);
      return false;
    default:
      return false;
  }
}

// As in a spreadsheet: typing on a cell replaces its text with what is
// typed. The character comes as the platform's code point; cells hold
// UTF-8 text.
void XLGrid::OnChar(uint32_t code) {
  if (code < 0x20 || code == 0x7F || code > 0xFFFF || editor_.Get() != nullptr) return;
  if (GetKeyState(kVkControl) < 0) return;
  // Shift+Space marks a row, as in a spreadsheet; it types nothing.
  if (code == ' ' && GetKeyState(kVkShift) < 0) return;
  BeginEdit();
  Control* edit = edit_control_.Get();
  if (edit == nullptr || (edit->GetKind() != ControlKind::Edit && edit->GetKind() != ControlKind::Memo))
    return;
  edit->SetText(CodePointToUtf8(code));
  edit->Perform(kEmSetSel, 1, 1);  // the caret after the one character
}

void XLGrid::OnMouseDown(const Message& m) {
  // A refused end of an edit ignores the click altogether.
  if (!EndEdit(true, false)) return;
  if (col_count_ == 0 || row_count_ == 0) return;
  const int x = GetXLParam(m.LParam);
  const int y = GetYLParam(m.LParam);
  const int w = row_title_width_;
  const int h = col_title_height_;
  SetFocus();
  const bool alt = GetKeyState(kVkMenu) < 0;
  if (x > w && y <= h && alt && HasOption(kColumnMoving)) {
    StartMoving(x, y, true);
    return;
  }
  if (x <= w && y > h && alt && HasOption(kRowMoving)) {
    StartMoving(x, y, false);
    return;
  }
  if (sizing_col_ != -1) {
    sizing_col_width_ = GetColWidth(sizing_col_);
    sizing_start_x_ = x;
    Invalidate();
    return;
  }
  if (sizing_row_ != -1) {
    sizing_row_height_ = GetRowHeight(sizing_row_);
    sizing_start_y_ = y;
    Invalidate();
    return;
  }
  mark_row_anchor_ = -1;
  mark_col_anchor_ = -1;
  mouse_down_cell_ = XLGridCoord{-1, -1};
  const bool ctrl = (m.WParam & kMkControl) != 0;
  if (HasOption(kRangeSelect)) {
    all_selected_ = false;
    if (x <= w && y <= h) {
      all_selected_ = true;
      SelectAll(true);
      SetCurrentCell(left_col_, top_row_);
      SetSelection(0, 0, col_count_ - 1, row_count_ - 1);
    }
  }
  if (x <= w && y > h && HasOption(kRowSelect)) {
    selection_ = XLGridRange{};
    if (!ctrl) SelectAll(false);
    mark_row_anchor_ = RowAtY(y);
    mark_row_end_ = mark_row_anchor_;
    if (mark_row_anchor_ != -1) MarkRow(mark_row_anchor_, !IsRowMarked(mark_row_anchor_));
  } else if (x > w && y <= h && HasOption(kColumnSelect)) {
    selection_ = XLGridRange{};
    if (!ctrl) SelectAll(false);
    mark_col_anchor_ = ColAtX(x);
    mark_col_end_ = mark_col_anchor_;
    if (mark_col_anchor_ != -1) MarkColumn(mark_col_anchor_, !IsColumnMarked(mark_col_anchor_));
  } else if (x > w && y > h) {
    selection_ = XLGridRange{};
    if (!(ctrl && HasOption(kRangeSelect))) SelectAll(false);
    mouse_down_cell_ = CellAtPoint(Point{x, y});
    SetCurrentCell(mouse_down_cell_.Col, mouse_down_cell_.Row);
    mouse_down_cell_ = current_;
  }
}

// A picture of the title cell is dragged along one axis while the column
// or row is moved.
void XLGrid::StartMoving(int x, int y, bool column) {
  int width, height;
  Rect src;
  Rect cell;
  if (column) {
    const int col = ColAtX(x);
    moving_col_ = col;
    cell = CellRect(col, 0);
    width = col >= 0 ? GetColWidth(col) : 0;
    height = col_title_height_;
    src = Rect{cell.Left, 0, cell.Right, col_title_height_};
  } else {
    const int row = RowAtY(y);
    moving_row_ = row;
    cell = CellRect(0, row);
    width = row_title_width_;
    height = row >= 0 ? GetRowHeight(row) : 0;
    src = Rect{0, cell.Top, row_title_width_, cell.Bottom};
  }
  std::unique_ptr<Bitmap> image = NewBitmap(width, height, 24);
  Canvas& c = image->GetCanvas();
  std::unique_ptr<Canvas> screen = NewWindowCanvas();
  c.CopyRect(Rect{0, 0, width - 1, height - 1}, *screen, src);
  c.SetPenColor(0x00FF00);
  c.SetPenWidth(3);
  c.SetBrushStyle(BrushStyle::Clear);
  c.Rectangle(Rect{0, 0, width - 1, height - 1});
  DragImageList& d = *drag_images_;
  d.SetDragCursor(nullptr);
  ImageList& images = d.GetImages();
  images.Clear();
  images.SetColorDepth(kIlcColorDdb);
  images.SetMasked(true);
  images.SetWidth(width);
  images.SetHeight(height);
  const int index = images.Add(*image, nullptr);
  if (column) {
    d.BeginDrag(index, width / 2, 0);
    const int mid = (cell.Left + cell.Right) / 2;
    d.DragEnter(GetHandle(), mid, 0);
    drag_offset_ = mid - x;
  } else {
    d.BeginDrag(index, 0, height / 2);
    const int mid = (cell.Top + cell.Bottom) / 2;
    d.DragEnter(GetHandle(), 0, mid);
    drag_offset_ = mid - y;
  }
  d.ShowDragImage();
}

void XLGrid::OnMouseMove(const Message& m) {
  const int x = GetXLParam(m.LParam);
  const int y = GetYLParam(m.LParam);
  DragImageList& d = *drag_images_;
  // After scrolling under the drag image: hidden, repainted at once, shown
  // again, so the image leaves no trace.
  auto repaint_under_image = [this, &d] {
    d.HideDragImage();
    Update();
    UpdateScrollBars();
    d.ShowDragImage();
  };
  if (moving_col_ != -1) {
    if (d.IsDragging()) d.DragMove(x + drag_offset_, 0);
    const int t = ColAtX(x + drag_offset_);
    if (t > left_col_ + VisibleColCount() - 1) {
      SetLeftCol(t - VisibleColCount() + 1);
      repaint_under_image();
    } else if (t < 0 && left_col_ > 0) {
      SetLeftCol(std::max(0, left_col_ - 1));
      repaint_under_image();
    }
    return;
  }
  if (moving_row_ != -1) {
    if (d.IsDragging()) d.DragMove(0, y + drag_offset_);
    const int t = RowAtY(y + drag_offset_);
    if (t > top_row_ + VisibleRowCount() - 1) {
      SetTopRow(t - VisibleRowCount() + 1);
      repaint_under_image();
    } else if (t < 0 && top_row_ > 0) {
      SetTopRow(std::max(0, top_row_ - 1));
      repaint_under_image();
    }
    return;
  }
  if (mouse_down_cell_.Col != -1) {
    XLGridCoord p = CellAtPoint(Point{x, y});
    if (p.Col > left_col_ + VisibleColCount() - 1) SetLeftCol(p.Col - VisibleColCount() + 1);
    if (p.Row > top_row_ + VisibleRowCount() - 1) {
      SetTopRow(p.Row - VisibleRowCount() + 1);
      Invalidate();
    }
    if (p.Col < 0) {
      SetLeftCol(std::max(0, left_col_ - 1));
      p.Col = left_col_;
    }
    if (p.Row < 0) {
      SetTopRow(std::max(0, top_row_ - 1));
      p.Row = top_row_;
    }
    if (HasOption(kRangeSelect)) {
      const XLGridRange r{std::min(mouse_down_cell_.Col, p.Col), std::min(mouse_down_cell_.Row, p.Row),
                          std::max(mouse_down_cell_.Col, p.Col), std::max(mouse_down_cell_.Row, p.Row)};
      if (r != selection_) {
        SetSelection(r.Left, r.Top, r.Right, r.Bottom);
        Invalidate();
        UpdateScrollBars();
      }
    } else if (p != current_) {
      SetCurrentCell(p.Col, p.Row);
      // The rectangle follows the current cell (SetCurrentCell has already
      // moved it there when SelectCurrent is on).
      if (!HasOption(kSelectCurrent))
        SetSelection(current_.Col, current_.Row, current_.Col, current_.Row);
      Invalidate();
      UpdateScrollBars();
    }
    return;
  }
  if (mark_col_anchor_ != -1) {
    int t = ColAtX(x);
    if (t > left_col_ + VisibleColCount() - 1) SetLeftCol(t - VisibleColCount() + 1);
    if (t < 0) {
      SetLeftCol(std::max(0, left_col_ - 1));
      t = left_col_;
    }
    if (t == mark_col_end_) return;
    BeginUpdate();
    for (int i = std::min(mark_col_anchor_, mark_col_end_); i <= std::max(mark_col_anchor_, mark_col_end_); ++i)
      MarkColumn(i, false);
    mark_col_end_ = t;
    for (int i = std::min(mark_col_anchor_, t); i <= std::max(mark_col_anchor_, t); ++i) MarkColumn(i, true);
    EndUpdate();
    UpdateScrollBars();
    return;
  }
  if (mark_row_anchor_ != -1) {
    int t = RowAtY(y);
    if (t > top_row_ + VisibleRowCount() - 1) SetTopRow(t - VisibleRowCount() + 1);
    if (t < 0) {
      SetTopRow(std::max(0, top_row_ - 1));
      t = top_row_;
    }
    if (t == mark_row_end_) return;
    BeginUpdate();
    // Only the rows that leave or join the run change, so a run over
    // hundreds of thousands of rows costs what the pointer moved. The
    // anchor is marked from the first move on, whatever the click made it.
    const int a = mark_row_anchor_;
    if (!IsRowMarked(a)) MarkRow(a, true);
    auto inside = [a](int i, int end) { return std::min(a, end) <= i && i <= std::max(a, end); };
    for (int i = std::min(mark_row_end_, t); i <= std::max(mark_row_end_, t); ++i) {
      const bool joins = inside(i, t);
      if (joins != inside(i, mark_row_end_)) MarkRow(i, joins);
    }
    mark_row_end_ = t;
    EndUpdate();
    UpdateScrollBars();
    return;
  }
  if (sizing_col_width_ != -1) {
    sizing_col_width_ = std::max(1, GetColWidth(sizing_col_) + x - sizing_start_x_);
    Invalidate();
    return;
  }
  if (sizing_row_height_ != -1) {
    sizing_row_height_ = std::max(1, GetRowHeight(sizing_row_) + y - sizing_start_y_);
    Invalidate();
    return;
  }
  // Hover: the sizing cursor over a title border.
  const int w = row_title_width_;
  const int h = col_title_height_;
  if (x > w && y < h) {
    sizing_col_ = ColBorderAtX(x);
    sizing_row_ = -1;
    if (sizing_col_ != -1) SetSizingCursor(1); else RestoreCursor();
  } else if (x < w && y > h) {
    sizing_row_ = RowBorderAtY(y);
    sizing_col_ = -1;
    if (sizing_row_ != -1) SetSizingCursor(2); else RestoreCursor();
  } else {
    sizing_col_ = -1;
    sizing_row_ = -1;
    RestoreCursor();
  }
}

void XLGrid::OnMouseUp(const Message& m) {
  const int x = GetXLParam(m.LParam);
  const int y = GetYLParam(m.LParam);
  DragImageList& d = *drag_images_;
  if (moving_col_ != -1) {
    d.HideDragImage();
    d.EndDrag();
    const int t = ColAtX(x);
    MoveColumn(moving_col_, t);
    MakeColVisible(t);
    const Rect r = CellRect(t, 0);
    SetCursorPos(ClientToScreen(Point{(r.Left + r.Right) / 2, col_title_height_ / 2}));
  }
  if (moving_row_ != -1) {
    d.HideDragImage();
    d.EndDrag();
    const int t = RowAtY(y);
    MoveRow(moving_row_, t);
    const Rect r = CellRect(0, t);
    SetCursorPos(ClientToScreen(Point{row_title_width_ / 2, (r.Top + r.Bottom) / 2}));
  }
  if (sizing_col_width_ != -1) SetColWidth(sizing_col_, sizing_col_width_);
  if (sizing_row_height_ != -1) SetRowHeight(sizing_row_, sizing_row_height_);
  sizing_col_width_ = sizing_col_ = sizing_row_height_ = sizing_row_ = -1;
  moving_col_ = moving_row_ = mark_row_anchor_ = mark_col_anchor_ = -1;
  mouse_down_cell_ = XLGridCoord{-1, -1};
  ReleaseCapture();
}

void XLGrid::OnDoubleClick(const Message& m) {
  const XLGridCoord p = CellAtPoint(Point{GetXLParam(m.LParam), GetYLParam(m.LParam)});
  if (p == current_) BeginEdit();
}

}  // namespace tabulon
