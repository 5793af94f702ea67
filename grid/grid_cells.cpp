// Construction and destruction, the counts, the cells, widths, heights and
// titles, and the fonts the cells and titles follow.
#include <algorithm>

#include "input.h"
#include "xl_grid.h"

namespace tabulon {
namespace {

CustomControlOptions GridWindowOptions() {
  CustomControlOptions o;
  o.ClassName = "XLGrid";
  o.Style = kXLGridStyle;
  o.ClassStyle = kXLGridClassStyle;
  return o;
}

// Grows a list with fill values or cuts it from the end.
template <typename T>
void FitList(std::vector<T>& list, size_t n, const T& fill) {
  if (list.size() > n) list.resize(n);
  if (list.capacity() < n) list.reserve(n);
  while (list.size() < n) list.push_back(fill);
}

}  // namespace

XLGrid::XLGrid(Control* parent, int col_count, int row_count, uint8_t options)
    : CustomControl(parent, GridWindowOptions()) {
  SetColor(kClWindow);
  Size cs = GetClientSize();
  buffer_ = NewBitmap(cs.Width, cs.Height);
  drag_images_ = NewDragImageList(*this);
  col_sizing_cursor_ = LoadResourceCursor(kColSizingCursorId);
  row_sizing_cursor_ = LoadResourceCursor(kRowSizingCursorId);
  title_font_.OnChange = [this](Font&) {
    BeginUpdate();
    EndUpdate();
  };
  SetColCount(col_count);
  SetRowCount(row_count);
  SetOptions(options);
  selection_ = XLGridRange{};
  current_ = XLGridCoord{0, 0};
  SetCurrentCell(0, 0);
  SetMessageHook([this](Control&, Message& m, intptr_t& result) {
    return HandleGridMessage(m, result);
  });
}

XLGrid::~XLGrid() {
  SetMessageHook(nullptr);
  EndEdit(true, true);
  UnhookEditControl();
  ++update_count_;  // nothing is repainted while the grid goes away
  SetRowCount(0);
  cells_.clear();
  // The control must not keep showing a cursor that is destroyed here.
  if (cursor_overridden_) RestoreCursor();
  DestroyCursor(col_sizing_cursor_);
  DestroyCursor(row_sizing_cursor_);
  title_font_.OnChange = nullptr;
}

std::unique_ptr<XLGrid> NewXLGrid(Control* parent, int col_count, int row_count,
                                  uint8_t options) {
  return std::make_unique<XLGrid>(parent, col_count, row_count, options);
}

void XLGrid::EndUpdate() {
  update_count_ = std::max(0, update_count_ - 1);
  if (update_count_ == 0) Invalidate();
}

// The look of new cells, from the grid's defaults and the control's font
// and colour; the caller holds one use of it.
CellLook* XLGrid::NewCellLook() {
  CellLook v;
  const int widths[4] = {line_widths_.Left, line_widths_.Top, line_widths_.Right,
                         line_widths_.Bottom};
  const int margins[4] = {cell_margins_.Left, cell_margins_.Top, cell_margins_.Right,
                          cell_margins_.Bottom};
  for (int i = 0; i < 4; ++i) {
    v.LineColors[i] = line_color_;
    v.LineWidths[i] = widths[i];
    v.Margins[i] = margins[i];
  }
  v.CellFont = GetFont();
  v.HAlign = default_halign_;
  v.VAlign = default_valign_;
  v.Background = GetColor();
  return looks_.Acquire(v);
}

void XLGrid::SetColCount(int count) {
  BeginUpdate();
  const int n = std::max(0, std::min(count, 65535));
  current_.Col = std::min(current_.Col, n - 1);
  col_count_ = n;
  FitList(col_titles_, size_t(n), std::string());
  FitList(col_widths_, size_t(n), default_col_width_);
  FitList(col_marks_, size_t(n), 0);
  CellLook* look = nullptr;
  for (auto& row : cells_) {
    if (row.size() > size_t(n)) {
      while (row.size() > size_t(n)) row.pop_back();
    } else if (row.size() < size_t(n)) {
      if (look == nullptr) look = NewCellLook();
      row.reserve(size_t(n));
      while (row.size() < size_t(n)) row.emplace_back(*this, look);
    }
  }
  if (look != nullptr) looks_.Release(look);
  selection_.Left = std::min(selection_.Left, n - 1);
  selection_.Right = std::min(selection_.Right, n - 1);
  // The first column shown must exist: geometry sums widths up to it.
  left_col_ = std::max(0, std::min(left_col_, n - 1));
  EndUpdate();
  UpdateScrollBars();
}

void XLGrid::SetRowCount(int count) {
  BeginUpdate();
  const int n = std::max(0, std::min(count, kXLGridMaxRows));
  const int old = row_count_;
  row_count_ = n;
  current_.Row = std::min(current_.Row, n - 1);
  row_heights_.Cut(n);
  row_heights_.Grow(old, n, default_row_height_);
  row_marks_.Cut(n);
  row_marks_.Grow(old, n, 0);
  // An owner-data grid keeps its one row of shared cells whatever the count.
  const int stored = owner_data_ ? 1 : n;
  FitList(row_titles_, owner_data_ ? 0 : size_t(n), std::string());
  if (cells_.size() < size_t(stored)) {
    CellLook* look = NewCellLook();
    cells_.reserve(size_t(stored));
    while (cells_.size() < size_t(stored)) {
      std::vector<XLGridCell> row;
      row.reserve(col_count_);
      for (int c = 0; c < col_count_; ++c) row.emplace_back(*this, look);
      cells_.push_back(std::move(row));
    }
    looks_.Release(look);
  }
  while (cells_.size() > size_t(stored)) {
    auto& row = cells_.back();
    while (!row.empty()) row.pop_back();  // last cell first
    cells_.pop_back();
  }
  selection_.Top = std::min(selection_.Top, n - 1);
  selection_.Bottom = std::min(selection_.Bottom, n - 1);
  top_row_ = std::max(0, std::min(top_row_, n - 1));
  EndUpdate();
  UpdateScrollBars();
}

void XLGrid::SetColWidth(int col, int width) {
  BeginUpdate();
  col_widths_[size_t(col)] = width;
  EndUpdate();
  UpdateScrollBars();
}

void XLGrid::SetRowHeight(int row, int height) {
  BeginUpdate();
  row_heights_.Set(row, height);
  EndUpdate();
  UpdateScrollBars();
}

void XLGrid::SetColWidths(const std::vector<int>& widths) {
  BeginUpdate();
  const size_t n = std::min(col_widths_.size(), widths.size());
  for (size_t i = 0; i < n; ++i) col_widths_[i] = widths[i];
  EndUpdate();
  UpdateScrollBars();
}

void XLGrid::SetDefaultColWidth(int width) {
  BeginUpdate();
  default_col_width_ = width;
  std::fill(col_widths_.begin(), col_widths_.end(), width);
  EndUpdate();
  UpdateScrollBars();
}

void XLGrid::SetColTitles(const std::vector<std::string>& titles) {
  BeginUpdate();
  const size_t n = std::min(col_titles_.size(), titles.size());
  for (size_t i = 0; i < n; ++i) col_titles_[i] = titles[i];
  EndUpdate();
}

void XLGrid::SetColTitle(int col, const std::string& title) {
  BeginUpdate();
  col_titles_[size_t(col)] = title;
  EndUpdate();
}

void XLGrid::SetRowTitle(int row, const std::string& title) {
  if (owner_data_) return;
  BeginUpdate();
  row_titles_[size_t(row)] = title;
  EndUpdate();
}

void XLGrid::SetRowTitleWidth(int width) {
  BeginUpdate();
  row_title_width_ = width;
  EndUpdate();
}

void XLGrid::SetColTitleHeight(int height) {
  BeginUpdate();
  col_title_height_ = height;
  EndUpdate();
}

// Colours of the selection and the titles; each repaints the grid.
#define TABULON_GRID_COLOR_SETTER(Name, field) \
  void XLGrid::Name(Color c) {                 \
    BeginUpdate();                             \
    field = c;                                 \
    EndUpdate();                               \
  }
TABULON_GRID_COLOR_SETTER(SetSelectedColor, selected_color_)
TABULON_GRID_COLOR_SETTER(SetSelectedFontColor, selected_font_color_)
TABULON_GRID_COLOR_SETTER(SetFocusColor, focus_color_)
TABULON_GRID_COLOR_SETTER(SetTitleColor, title_color_)
TABULON_GRID_COLOR_SETTER(SetTitleSelectedColor, title_selected_color_)
TABULON_GRID_COLOR_SETTER(SetTitleSelectedFontColor, title_selected_font_color_)
#undef TABULON_GRID_COLOR_SETTER

void XLGrid::SetSizingCol(int col, int width) {
  BeginUpdate();
  sizing_col_ = col;
  sizing_col_width_ = width;
  EndUpdate();
}

void XLGrid::SetSizingRow(int row, int height) {
  BeginUpdate();
  sizing_row_ = row;
  sizing_row_height_ = height;
  EndUpdate();
}

void XLGrid::FontChanged() { ApplyControlFont(); }

// Every cell's font becomes the control's font: each distinct look is
// rewritten once and the cells follow the rewritten looks. Every old look
// is held by one extra use meanwhile, so none is freed while it is read.
void XLGrid::ApplyControlFont() {
  BeginUpdate();
  std::vector<CellLook*> old;
  looks_.ForEach([&old](CellLook* l) { old.push_back(l); });
  for (CellLook* l : old) LookTable::AddUse(l);
  for (CellLook* l : old) {
    CellLook v(*l);
    v.CellFont = GetFont();
    l->Forward = looks_.Acquire(v);
  }
  ForEachCell([this](XLGridCell& cell) {
    CellLook* next = cell.look_->Forward;
    LookTable::AddUse(next);
    looks_.Release(cell.look_);
    cell.look_ = next;
  });
  std::vector<CellLook*> forward;
  forward.reserve(old.size());
  for (CellLook* l : old) {
    forward.push_back(l->Forward);
    l->Forward = nullptr;
  }
  for (size_t i = 0; i < old.size(); ++i) {
    looks_.Release(old[i]);
    looks_.Release(forward[i]);
  }
  EndUpdate();
}

}  // namespace tabulon
