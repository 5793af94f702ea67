// Painting. Every paint composes the whole client area in the off-screen
// buffer and copies it to the window with one copy, so the window never
// shows a half-drawn state. Layers, bottom to top: the background, the
// data cells, the current cell with the selection frame and the sizing
// guides, then the titles, which cover whatever the cells drew into the
// title row or column. Only the visible rows and columns (and one more that
// the window edge may cut) are drawn. Painting only reads the grid; an
// owner-data grid asks its owner for the rows it draws, once per paint.
#include <algorithm>
#include <cmath>

#include "xl_grid.h"

namespace tabulon {
namespace {

// Alignment codes to DrawText flags.
uint32_t HAlignFlags(uint8_t code) {
  switch (code) {
    case kAlignRight: return kDtRight;
    case kAlignCenter: return kDtCenter;
    default: return kDtLeft;
  }
}

uint32_t VAlignFlags(uint8_t code) {
  switch (code) {
    case kAlignBottom: return kDtBottom;
    case kAlignVCenter: return kDtVCenter;
    default: return kDtTop;
  }
}

// Half a line width, to the nearest integer with halves going to the even
// neighbour (0.5 -> 0, 1.5 -> 2, 2.5 -> 2).
int Half(int w) { return int(std::nearbyint(w / 2.0)); }

// Titles and cells show data (field names, values) exactly as it is: an
// '&' in it is a character, not a mnemonic mark.
constexpr uint32_t kTitleTextFlags = kDtCenter | kDtVCenter | kDtSingleLine | kDtNoPrefix;

}  // namespace

void XLGrid::Paint(Canvas& dc) {
  if (update_count_ > 0) return;
  if (source_) source_->BeforePaint();
  const Size client = GetClientSize();
  if (buffer_->GetWidth() != client.Width || buffer_->GetHeight() != client.Height)
    buffer_->SetSize(client.Width, client.Height);
  Canvas& c = buffer_->GetCanvas();
  c.FillRect(Rect{0, 0, client.Width, client.Height}, GetColor());
  PaintCells(c);
  PaintCurrentAndFrame(c);
  PaintTitles(c);
  const Rect all{0, 0, client.Width, client.Height};
  dc.CopyRect(all, c, all);
}

void XLGrid::PaintCells(Canvas& c) {
  if (col_count_ == 0 || row_count_ == 0) return;
  const int last_row = std::min(row_count_ - 1, top_row_ + VisibleRowCount());
  const int last_col = std::min(col_count_ - 1, left_col_ + VisibleColCount());
  // Rectangles are stepped along instead of asking CellRect for each cell:
  // the same sums, without walking from the scroll position every time.
  if (owner_data_ && source_) source_->FetchRows(top_row_, last_row);
  int top = col_title_height_;
  for (int r = top_row_; r <= last_row; ++r) {
    const int h = row_heights_.Get(r);
    int left = row_title_width_;
    for (int col = left_col_; col <= last_col; ++col) {
      const int w = col_widths_[size_t(col)];
      DrawCellAs(GetCell(col, r), GetCellData(col, r), Rect{left, top, left + w, top + h}, col,
                 r, c, IsCellSelected(col, r), false);
      left += w;
    }
    top += h;
  }
}

void XLGrid::PaintCurrentAndFrame(Canvas& c) {
  if (col_count_ == 0 || row_count_ == 0) return;
  // Where the guide of a column or row being sized starts: the run of
  // visible rows (columns) ends one past the wholly visible ones.
  int guide_y = -1;
  if (sizing_row_ != -1) {
    guide_y = col_title_height_;
    const int end = std::min(row_count_ - 1, top_row_ + VisibleRowCount());
    for (int i = top_row_; i <= end && i < sizing_row_; ++i) guide_y += row_heights_.Get(i);
  }
  int guide_x = -1;
  if (sizing_col_ != -1) {
    guide_x = row_title_width_;
    const int end = std::min(col_count_ - 1, left_col_ + VisibleColCount());
    for (int i = left_col_; i <= end && i < sizing_col_; ++i) guide_x += col_widths_[size_t(i)];
  }

  const XLGridRange s = GetSelectionRect();
  if (s.Left != s.Right || s.Top != s.Bottom) {
    const Rect a = CellRect(s.Left, s.Top);
    const Rect b = CellRect(s.Right, s.Bottom);
    c.FrameRect(Rect{a.Left + 1, a.Top + 1, b.Right, b.Bottom}, focus_color_);
  }

  if (current_.Col >= 0 && current_.Row >= 0) {
    DrawCellAs(GetCell(current_.Col, current_.Row), GetCellData(current_.Col, current_.Row),
               CellRect(current_.Col, current_.Row), current_.Col, current_.Row, c,
               IsCellSelected(current_.Col, current_.Row), true);
  }

  // The dotted outline spans the extent the column or row will have when
  // the button is released, across the whole control.
  if (sizing_col_width_ != -1 && guide_x != -1)
    c.DrawFocusRect(Rect{guide_x, -1, guide_x + 1 + sizing_col_width_, GetHeight()});
  if (sizing_row_height_ != -1 && guide_y != -1)
    c.DrawFocusRect(Rect{-1, guide_y, GetWidth(), guide_y + 1 + sizing_row_height_});
}

void XLGrid::PaintTitle(Canvas& c, const Rect& r, const std::string& text, bool marked,
                        bool current) {
  Font& font = c.GetFont();
  uint32_t edge;
  if (marked) {
    c.FillRect(r, title_selected_color_);
    font.SetColor(title_selected_font_color_);
    font.SetBold(true);
    edge = kBdrSunkenOuter;
  } else {
    c.FillRect(r, title_color_);
    font.SetColor(title_font_.GetColor());
    font.SetBold(current);
    edge = current ? kEdgeRaised : kBdrRaisedInner;
  }
  c.DrawText(text, r, kTitleTextFlags);
  c.DrawEdge(r, edge, kBfRect);
}

void XLGrid::PaintTitles(Canvas& c) {
  // Without rows the column titles still say what the table holds.
  if (col_count_ == 0) return;
  if (row_title_width_ > 0 && col_title_height_ > 0) {
    const Rect corner{0, 0, row_title_width_, col_title_height_};
    if (all_selected_) {
      c.FillRect(corner, title_selected_color_);
      c.DrawEdge(corner, kBdrSunkenOuter, kBfRect);
    } else {
      c.FillRect(corner, title_color_);
      c.DrawEdge(corner, kBdrRaisedInner, kBfRect);
    }
  }
  c.SetFont(title_font_);
  c.SetBrushStyle(BrushStyle::Clear);
  const Size client = GetClientSize();

  if (col_title_height_ > 0) {
    // While a border is under the pointer or being dragged, the run goes to
    // the last column, so the titles right of a column being sized follow
    // its pending width; titles wholly past the window are not drawn.
    const int last = sizing_col_ != -1 ? col_count_ - 1
                                       : std::min(col_count_ - 1, left_col_ + VisibleColCount());
    int x = row_title_width_;
    for (int i = left_col_; i <= last && x < client.Width; ++i) {
      const int w = i == sizing_col_ && sizing_col_width_ != -1 ? sizing_col_width_
                                                                 : col_widths_[size_t(i)];
      PaintTitle(c, Rect{x, 0, x + w, col_title_height_}, col_titles_[size_t(i)],
                 col_marks_[size_t(i)] > 0, i == current_.Col);
      x += w;
    }
  }

  if (row_title_width_ > 0) {
    const int last = sizing_row_ != -1 ? row_count_ - 1
                                       : std::min(row_count_ - 1, top_row_ + VisibleRowCount());
    int y = col_title_height_;
    for (int i = top_row_; i <= last && y < client.Height; ++i) {
      const int h = i == sizing_row_ && sizing_row_height_ != -1 ? sizing_row_height_
                                                                  : row_heights_.Get(i);
      PaintTitle(c, Rect{0, y, row_title_width_, y + h}, GetRowTitle(i), row_marks_.Get(i) > 0,
                 i == current_.Row);
      y += h;
    }
  }
}

void XLGrid::DrawCell(const XLGridCell& cell, const Rect& r, int col, int row, Canvas& surface,
                      bool selected, bool focused) {
  XLGridCellData data;
  data.Text = cell.GetText();
  DrawCellAs(cell, data, r, col, row, surface, selected, focused);
}

void XLGrid::DrawCellAs(const XLGridCell& cell, const XLGridCellData& data, const Rect& r,
                        int col, int row, Canvas& surface, bool selected, bool focused) {
  const bool highlighted = selected || (focused && HasOption(kSelectCurrent));
  surface.FillRect(r, highlighted ? selected_color_ : cell.GetColor());
  const Rect inner = DrawLines(cell, r, col, row, surface);
  const Rect text{inner.Left + cell.GetMargin(kSideLeft), inner.Top + cell.GetMargin(kSideTop),
                  inner.Right - cell.GetMargin(kSideRight),
                  inner.Bottom - cell.GetMargin(kSideBottom)};
  if (focused) surface.DrawFocusRect(inner);
  surface.SetFont(cell.GetFont());
  if (highlighted) surface.GetFont().SetColor(selected_font_color_);
  else if (cell.IsDimmed() || data.Dimmed) surface.GetFont().SetColor(kClGrayText);
  surface.SetBrushStyle(BrushStyle::Clear);
  // The text is clipped to its rectangle. Vertical alignment applies to a
  // single line only (the platform's rule): several lines start at the top.
  const uint32_t flags = cell.IsMultiLine() || data.MultiLine
                             ? kDtWordBreak
                             : VAlignFlags(cell.GetVAlign()) | kDtSingleLine;
  surface.DrawText(data.Text, text, HAlignFlags(cell.GetHAlign()) | flags | kDtNoPrefix);
  surface.SetFont(cell.GetFont());
}

// A line between two neighbouring cells is shared: it is as wide as the
// wider of the two cells' lines for that edge, the cell to the right (or
// below) draws max(1, half) of it and the cell to the left (or above) the
// rest. At the outer edges of the grid only half the line is drawn. The
// bands are filled in each cell's own line colour; the rectangle left
// inside them is returned.
Rect XLGrid::DrawLines(const XLGridCell& cell, const Rect& r, int col, int row, Canvas& c) const {
  Rect inner = r;
  const int own_left = cell.GetLineWidth(kSideLeft);
  const int own_top = cell.GetLineWidth(kSideTop);
  const int own_right = cell.GetLineWidth(kSideRight);
  const int own_bottom = cell.GetLineWidth(kSideBottom);
  const bool last_col = col == col_count_ - 1;
  const bool last_row = row == row_count_ - 1;

  int w = col == 0 ? std::max(own_left > 0 ? 1 : 0, Half(own_left))
                   : std::max(GetCell(col - 1, row).GetLineWidth(kSideRight), own_left);
  if (w > 0) {
    const int band = col == 0 ? w : std::max(1, Half(w));
    c.FillRect(Rect{r.Left, r.Top, r.Left + band, r.Bottom}, cell.GetLineColor(kSideLeft));
    inner.Left = r.Left + band;
  }
  w = last_col ? std::max(own_right > 0 ? 1 : 0, Half(own_right))
               : std::max(GetCell(col + 1, row).GetLineWidth(kSideLeft), own_right);
  if (w > 0) {
    const int band = last_col ? w : w - std::max(1, Half(w));
    if (band > 0)
      c.FillRect(Rect{r.Right - band, r.Top, r.Right, r.Bottom}, cell.GetLineColor(kSideRight));
    inner.Right = r.Right - band;
  }
  w = row == 0 ? std::max(own_top > 0 ? 1 : 0, Half(own_top))
               : std::max(GetCell(col, row - 1).GetLineWidth(kSideBottom), own_top);
  if (w > 0) {
    const int band = row == 0 ? w : std::max(1, Half(w));
    c.FillRect(Rect{r.Left, r.Top, r.Right, r.Top + band}, cell.GetLineColor(kSideTop));
    inner.Top = r.Top + band;
  }
  w = last_row ? std::max(own_bottom > 0 ? 1 : 0, Half(own_bottom))
               : std::max(GetCell(col, row + 1).GetLineWidth(kSideTop), own_bottom);
  if (w > 0) {
    const int band = last_row ? w : w - std::max(1, Half(w));
    if (band > 0)
      c.FillRect(Rect{r.Left, r.Bottom - band, r.Right, r.Bottom}, cell.GetLineColor(kSideBottom));
    inner.Bottom = r.Bottom - band;
  }
  return inner;
}

}  // namespace tabulon
