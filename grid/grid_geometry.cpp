// Geometry: which columns and rows are visible, where a cell lies, which
// cell or title border is under a point. Everything is summed from the
// scroll position on each call; no running offsets are kept, so widths and
// heights can change at any time without anything to bring up to date.
// Row heights far from the scroll position are summed from the rows whose
// height is their own, so a grid of millions of rows answers at once.
#include <algorithm>
#include <climits>

#include "xl_grid.h"

namespace tabulon {

int XLGrid::VisibleColCount() const {
  const int client = GetClientSize().Width;
  int x = row_title_width_;
  int i = left_col_;
  // A column whose right edge lands exactly on the client width does not
  // count: only columns with room to spare are wholly visible.
  while (i < col_count_ && x + col_widths_[size_t(i)] < client) {
    x += col_widths_[size_t(i)];
    ++i;
  }
  return std::max(1, i - left_col_);
}

int XLGrid::VisibleRowCount() const {
  const int client = GetClientSize().Height;
  int y = col_title_height_;
  int i = top_row_;
  while (i < row_count_ && y + row_heights_.Get(i) < client) {
    y += row_heights_.Get(i);
    ++i;
  }
  return std::max(1, i - top_row_);
}

Rect XLGrid::CellRect(int col, int row) const {
  Rect r{row_title_width_, col_title_height_, row_title_width_, col_title_height_};
  if (col < 0 || col >= col_count_ || row < 0 || row >= row_count_) return r;
  // Cells above or left of the scroll position lie above or left of the
  // title area, so a cell scrolled out of view is covered by the titles.
  // Far rows lie far outside any window: the sum is kept within int.
  const int64_t far = row < top_row_ ? -row_heights_.Sum(row, top_row_)
                                     : row_heights_.Sum(top_row_, row);
  const int top = int(std::max<int64_t>(INT32_MIN / 2, std::min<int64_t>(INT32_MAX / 2,
                                                                          col_title_height_ + far)));
  int left = row_title_width_;
  if (col < left_col_) {
    for (int i = col; i < left_col_; ++i) left -= col_widths_[size_t(i)];
  } else {
    for (int i = left_col_; i < col; ++i) left += col_widths_[size_t(i)];
  }
  return Rect{left, top, left + col_widths_[size_t(col)], top + row_heights_.Get(row)};
}

namespace {

// The index whose span [x0, x0 + size] holds v, walking from first; a point
// on the boundary of two spans belongs to the first of them, a point before
// the first span gives -1 and one past the last span the last index.
template <typename Sizes>
int IndexAt(int v, int x0, int first, int count, const Sizes& sizes) {
  for (int i = first; i < count; ++i) {
    const int size = sizes(i);
    // The point lies before the spans: none of them holds it.
    if (x0 > v) return -1;
    if (x0 <= v && v <= x0 + size) return i;
    x0 += size;
  }
  return x0 < v ? count - 1 : -1;
}

// The index whose end border zone holds v: a span of size w ending at
// x0 + w owns x0 + w - m .. x0 + w + m, with m = min(margin, w / 3).
template <typename Sizes>
int BorderAt(int v, int x0, int first, int count, const Sizes& sizes, int margin) {
  for (int i = first; i < count; ++i) {
    if (x0 > v + margin) return -1;
    const int w = sizes(i);
    const int m = std::min(margin, w / 3);
    if (x0 + w - m <= v && v <= x0 + w + m) return i;
    x0 += w;
  }
  return -1;
}

}  // namespace

int XLGrid::ColAtX(int x) const {
  return IndexAt(x, row_title_width_, left_col_, col_count_,
                 [this](int i) { return col_widths_[size_t(i)]; });
}

int XLGrid::RowAtY(int y) const {
  return IndexAt(y, col_title_height_, top_row_, row_count_,
                 [this](int i) { return row_heights_.Get(i); });
}

int XLGrid::ColBorderAtX(int x) const {
  if (!HasOption(kColumnSizing)) return -1;
  return BorderAt(x, row_title_width_, left_col_, col_count_,
                  [this](int i) { return col_widths_[size_t(i)]; }, sizing_margin_);
}

int XLGrid::RowBorderAtY(int y) const {
  if (!HasOption(kRowSizing)) return -1;
  return BorderAt(y, col_title_height_, top_row_, row_count_,
                  [this](int i) { return row_heights_.Get(i); }, sizing_margin_);
}

// Rows top..row are wholly visible while the title height and their
// heights stay below the client height; the sum only shrinks as top grows,
// so walking up from row finds the smallest such top.
int XLGrid::TopRowShowing(int row) const {
  const int client = GetClientSize().Height;
  int top = row;
  int sum = col_title_height_ + row_heights_.Get(row);
  while (top > 0 && sum + row_heights_.Get(top - 1) < client) {
    sum += row_heights_.Get(top - 1);
    --top;
  }
  return top;
}

int XLGrid::LeftColShowing(int col) const {
  const int client = GetClientSize().Width;
  int left = col;
  int sum = row_title_width_ + col_widths_[size_t(col)];
  while (left > 0 && sum + col_widths_[size_t(left - 1)] < client) {
    sum += col_widths_[size_t(left - 1)];
    --left;
  }
  return left;
}

}  // namespace tabulon
