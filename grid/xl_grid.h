// XLGrid: a self-drawn spreadsheet-like control. A rectangular array of
// text cells with a title row across the top and a title column down the
// left, per-column widths and per-row heights, a current cell, a selection,
// row and column marks, scrolling by whole rows and columns, and in-place
// editing with editors lent by the owner. It knows nothing of tables.
//
// The grid either stores its cells, or (owner data) holds no rows at all
// and asks its owner for the texts of the rows it draws or edits: then it
// has any number of rows and costs the same for ten rows or ten million.
//
// Columns and rows are numbered from 0; -1 means none. The titles are not
// counted. Coordinates are client pixels of the grid's window.
//
// Files: grid_cells.cpp (construction, counts, cells, widths, titles,
// fonts), grid_cell.cpp (one cell and its shared look), grid_geometry.cpp,
// grid_selection.cpp (current cell, selection, marks, moves, options),
// grid_scroll.cpp (scroll position, bars, cursors), grid_paint.cpp,
// grid_owner_data.cpp (the owner's texts), row_values.h (per-row values),
// grid_edit.cpp (in-place editing, with lent_control.h), grid_input.cpp
// (the message handler).
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bitmap.h"
#include "canvas.h"
#include "cell_look.h"
#include "custom_control.h"
#include "drag_image_list.h"
#include "font.h"
#include "lent_control.h"
#include "row_values.h"

namespace tabulon {

class XLGrid;

// Behaviour switches (one byte; the bit values are fixed).
enum XLGridOption : uint8_t {
  kRangeSelect = 0x01,   // a rectangle of several cells can be selected
  kColumnSelect = 0x02,  // columns can be marked through their titles
  kRowSelect = 0x04,     // rows can be marked through their titles
  kSelectCurrent = 0x08,  // the selection follows the current cell
  kColumnSizing = 0x10,  // column widths can be dragged on the title row
  kRowSizing = 0x20,     // row heights can be dragged on the title column
  kColumnMoving = 0x40,  // Alt+drag on a column title moves the column
  kRowMoving = 0x80,     // Alt+drag on a row title moves the row
};

// Horizontal alignment codes: 0 left, 1 right, 2 centre.
// Vertical alignment codes: 0 top, 1 bottom, 2 centre.
constexpr uint8_t kAlignLeft = 0, kAlignRight = 1, kAlignCenter = 2;
constexpr uint8_t kAlignTop = 0, kAlignBottom = 1, kAlignVCenter = 2;

struct XLGridCoord {
  int Col = -1;
  int Row = -1;
  bool operator==(const XLGridCoord& o) const { return Col == o.Col && Row == o.Row; }
  bool operator!=(const XLGridCoord& o) const { return !(*this == o); }
};

// An inclusive range of cells; -1 in all four is no range.
struct XLGridRange {
  int Left = -1;
  int Top = -1;
  int Right = -1;
  int Bottom = -1;
  bool operator==(const XLGridRange& o) const {
    return Left == o.Left && Top == o.Top && Right == o.Right && Bottom == o.Bottom;
  }
  bool operator!=(const XLGridRange& o) const { return !(*this == o); }
};

// Four values in side order: left, top, right, bottom.
struct XLGridSides {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

// One data cell: its text, its selection counter and its look. The look is
// shared with every cell that looks the same and is replaced, never changed
// in place, when a setter changes it. A cell lives in its row of the grid;
// a reference to it stays valid until the counts change or columns or rows
// are moved.
class XLGridCell {
 public:
  XLGridCell(XLGrid& owner, CellLook* look);
  ~XLGridCell();
  XLGridCell(XLGridCell&& other) noexcept;
  XLGridCell& operator=(XLGridCell&& other) noexcept;
  XLGridCell(const XLGridCell&) = delete;
  XLGridCell& operator=(const XLGridCell&) = delete;

  const std::string& GetText() const { return text_; }
  Color GetLineColor(XLGridSide side) const { return look_->LineColors[side]; }
  int GetLineWidth(XLGridSide side) const { return look_->LineWidths[side]; }
  const Font& GetFont() const { return look_->CellFont; }
  int GetMargin(XLGridSide side) const { return look_->Margins[side]; }
  uint8_t GetHAlign() const { return look_->HAlign; }
  uint8_t GetVAlign() const { return look_->VAlign; }
  Color GetColor() const { return look_->Background; }
  bool IsMultiLine() const { return look_->MultiLine; }
  bool IsDimmed() const { return look_->Dimmed; }
  XLGrid& GetOwner() const { return *owner_; }
  // Number of selections covering the cell; selected while above 0.
  int GetSelectCount() const { return select_count_; }
  const CellLook& GetLook() const { return *look_; }

  // Each setter brackets its change with the owner's BeginUpdate and
  // EndUpdate, so the grid repaints once after a bulk change.
  void SetText(const std::string& text);
  void SetColor(Color color);
  void SetHAlign(uint8_t align);
  void SetVAlign(uint8_t align);
  void SetLine(XLGridSide side, Color color, int width);
  void SetMargins(const XLGridSides& margins);
  void SetFont(const Font& font);
  void SetMultiLine(bool on);
  void SetDimmed(bool on);

 private:
  friend class XLGrid;
  template <typename F>
  void ChangeLook(F change);

  std::string text_;
  CellLook* look_;
  XLGrid* owner_;
  int32_t select_count_ = 0;
};

// OnColumnMoved(grid, from, to): a column was moved (by the program or an
// Alt-drag); owners that map columns to their data follow it.
using XLGridMoveEvent = std::function<void(XLGrid& sender, int from, int to)>;

// What the owner of an owner-data grid tells of one cell: its text, and
// whether it is drawn dimmed or on several lines whatever its column's
// shared look says.
struct XLGridCellData {
  std::string Text;
  bool Dimmed = false;
  bool MultiLine = false;
};

// The editor an owner lends for a cell's edit: Editor (null: the cell
// takes no edit), the control inside a compound editor that holds the
// text (null: the editor itself), and margins the editor is shrunk by.
struct XLGridEditor {
  Control* Editor = nullptr;
  Control* EditControl = nullptr;
  XLGridSides Margins;
};

// What a grid asks its owner. An owner-data grid asks for the rows it
// draws: FetchRows before a paint (the owner may read them in one go),
// then each cell and row title. Every grid asks for an editor when an
// edit of its current cell begins, and hands the text back when it ends:
// the owner may rewrite it (what the cell shows then) and return false to
// keep the edit open. Without a source a grid has no rows to ask for and
// no edits.
class XLGridDataSource {
 public:
  virtual ~XLGridDataSource() = default;
  // Before each paint: the owner may change the counts now (its data
  // changed meanwhile), and the paint follows them.
  virtual void BeforePaint() {}
  virtual void FetchRows(int /*first*/, int /*last*/) {}
  virtual XLGridCellData GetCellData(int /*col*/, int /*row*/) { return XLGridCellData{}; }
  virtual std::string GetRowTitle(int /*row*/) { return std::string(); }
  virtual XLGridEditor BeginEdit(int /*col*/, int /*row*/) { return XLGridEditor{}; }
  virtual bool EndEdit(int /*col*/, int /*row*/, std::string& /*text*/, bool /*accept*/) { return true; }
};

// The most rows a grid has: row indexes plus a page of rows past the last
// one stay within int.
constexpr int kXLGridMaxRows = INT32_MAX - 65536;

// Window style and class style of the grid's window.
constexpr uint32_t kXLGridStyle = kWsChild | kWsVisible | kWsClipSiblings | kWsClipChildren |
                                  kWsBorder | kWsVScroll | kWsHScroll | kWsTabStop;
constexpr uint32_t kXLGridClassStyle = kCsVRedraw | kCsHRedraw | kCsDblClks;

class XLGrid : public CustomControl {
 public:
  XLGrid(Control* parent, int col_count, int row_count, uint8_t options);
  ~XLGrid() override;

  // Update lock: repaints once when the outermost EndUpdate returns.
  void BeginUpdate() { ++update_count_; }
  void EndUpdate();
  int GetUpdateCount() const { return update_count_; }

  // Counts: columns at most 65535, rows at most kXLGridMaxRows (a grid
  // that stores its cells holds memory for each of them).
  void SetColCount(int count);
  void SetRowCount(int count);
  int ColCount() const { return col_count_; }
  int RowCount() const { return row_count_; }
  // Whether at names a data cell of the grid as it is now.
  bool HasCell(XLGridCoord at) const {
    return at.Col >= 0 && at.Row >= 0 && at.Col < col_count_ && at.Row < row_count_;
  }

  // Indexes are not checked: callers keep them inside the counts. In an
  // owner-data grid every row of a column is one shared cell: its look is
  // the column's, its text is not used.
  XLGridCell& GetCell(int col, int row) { return cells_[CellRow(row)][size_t(col)]; }
  const XLGridCell& GetCell(int col, int row) const { return cells_[CellRow(row)][size_t(col)]; }

  // Owner data: switching drops every stored cell text and row title; the
  // counts stay. Rows cannot be moved in an owner-data grid.
  void SetOwnerData(bool on);
  bool IsOwnerData() const { return owner_data_; }
  // A cell as drawn: its own text, or what the owner says of it.
  XLGridCellData GetCellData(int col, int row);
  std::string GetCellText(int col, int row) { return GetCellData(col, row).Text; }
  // The owner's rows and edits; the source outlives the grid or is reset.
  void SetDataSource(XLGridDataSource* source) { source_ = source; }

  int GetColWidth(int col) const { return col_widths_[size_t(col)]; }
  int GetRowHeight(int row) const { return row_heights_.Get(row); }
  // Rows whose height or mark is their own (what the rows cost).
  size_t GetRowExceptionCount() const {
    return row_heights_.DifferingCount() + row_marks_.DifferingCount();
  }
  void SetColWidth(int col, int width);
  void SetRowHeight(int row, int height);
  // Widths from column 0 on; entries past the last column are ignored.
  void SetColWidths(const std::vector<int>& widths);
  // The width of new columns, and of every existing one.
  void SetDefaultColWidth(int width);
  int GetDefaultColWidth() const { return default_col_width_; }
  // The height of new rows (existing rows keep theirs).
  void SetDefaultRowHeight(int height) { default_row_height_ = height; }
  int GetDefaultRowHeight() const { return default_row_height_; }

  // Titles from column 0 on; entries past the last column are ignored.
  void SetColTitles(const std::vector<std::string>& titles);
  void SetColTitle(int col, const std::string& title);
  void SetRowTitle(int row, const std::string& title);
  const std::string& GetColTitle(int col) const { return col_titles_[size_t(col)]; }
  // An owner-data grid's row titles are the owner's (SetRowTitle is ignored).
  std::string GetRowTitle(int row);
  // 0 or less hides the title column or the title row.
  void SetRowTitleWidth(int width);
  void SetColTitleHeight(int height);
  int GetRowTitleWidth() const { return row_title_width_; }
  int GetColTitleHeight() const { return col_title_height_; }
  // Font of every title; changing it repaints the grid.
  Font& TitleFont() { return title_font_; }

  // Scroll position: first data row and column shown.
  void SetTopRow(int row);
  void SetLeftCol(int col);
  int GetTopRow() const { return top_row_; }
  int GetLeftCol() const { return left_col_; }
  // Scrolls the least needed to show the column or row wholly.
  void MakeColVisible(int col);
  void MakeRowVisible(int row);
  // Both scroll bars from the counts, the visible counts and the position;
  // ends an edit in progress first.
  void UpdateScrollBars();
  // One scroll-bar request (kSb* code, thumb position) applied to pos, a
  // position over count lines of which page are shown; the bars are
  // brought up to date and the grid repainted once.
  void ApplyScrollCode(int code, int thumb, int count, int32_t& pos, int page);
  // The same for one of the grid's bars: kSbVert moves TopRow over the
  // rows, kSbHorz LeftCol over the columns.
  void ApplyScrollCode(int bar, int code, int thumb);

  // Sizing cursors: kind 1 over a column border, 2 over a row border.
  void SetSizingCursor(int kind);
  void RestoreCursor();
  bool IsCursorOverridden() const { return cursor_overridden_; }
  CursorHandle GetColSizingCursor() const { return col_sizing_cursor_; }
  CursorHandle GetRowSizingCursor() const { return row_sizing_cursor_; }

  // Current cell: set to the nearest cell and scrolled into view.
  XLGridCoord GetCurrentCell() const { return current_; }
  void SetCurrentCell(int col, int row);
  // The selected range as the options define it (none, the current cell
  // or the range set).
  XLGridRange GetSelectionRect() const;
  XLGridRange GetSelection() const { return selection_; }
  void SetSelection(int left, int top, int right, int bottom);
  void SelectAll(bool on);
  void MarkColumn(int col, bool on);
  void MarkRow(int row, bool on);
  // The keyboard's row marks (Shift+Space, Shift+Up, Shift+Down); false
  // when the key marks nothing here.
  bool MarkRowsByKey(int key);
  bool IsCellSelected(int col, int row) const;
  bool IsColumnMarked(int col) const { return col_marks_[size_t(col)] > 0; }
  bool IsRowMarked(int row) const { return row_marks_.Get(row) > 0; }
  // The marked rows in order, found without walking every row.
  std::vector<int> GetMarkedRows() const;
  bool IsAllSelected() const { return all_selected_; }

  // Moves a column or row with its width, title, mark and cells; the
  // current cell stays on the same cell. MoveRow does nothing in an
  // owner-data grid, whose rows are its owner's.
  void MoveColumn(int from, int to);
  void MoveRow(int from, int to);

  void SetOptions(uint8_t options);
  uint8_t GetOptions() const { return options_; }
  bool HasOption(XLGridOption o) const { return (options_ & o) != 0; }

  // Geometry.
  int VisibleColCount() const;
  int VisibleRowCount() const;
  Rect CellRect(int col, int row) const;
  int ColAtX(int x) const;
  int RowAtY(int y) const;
  XLGridCoord CellAtPoint(Point p) const { return XLGridCoord{ColAtX(p.X), RowAtY(p.Y)}; }
  // The column (row) whose right (bottom) border zone holds x (y), or -1.
  int ColBorderAtX(int x) const;
  int RowBorderAtY(int y) const;
  int GetSizingMargin() const { return sizing_margin_; }
  void SetSizingMargin(int margin) { sizing_margin_ = margin; }

  // Colours of the selection and the titles.
  Color GetSelectedColor() const { return selected_color_; }
  Color GetSelectedFontColor() const { return selected_font_color_; }
  Color GetFocusColor() const { return focus_color_; }
  Color GetTitleColor() const { return title_color_; }
  Color GetTitleSelectedColor() const { return title_selected_color_; }
  Color GetTitleSelectedFontColor() const { return title_selected_font_color_; }
  void SetSelectedColor(Color c);
  void SetSelectedFontColor(Color c);
  void SetFocusColor(Color c);
  void SetTitleColor(Color c);
  void SetTitleSelectedColor(Color c);
  void SetTitleSelectedFontColor(Color c);

  // What new cells get (existing cells keep their look).
  Color GetLineColor() const { return line_color_; }
  XLGridSides GetLineWidths() const { return line_widths_; }
  XLGridSides GetCellMargins() const { return cell_margins_; }
  uint8_t GetDefaultHAlign() const { return default_halign_; }
  uint8_t GetDefaultVAlign() const { return default_valign_; }
  void SetLineColor(Color c) { line_color_ = c; }
  void SetLineWidths(const XLGridSides& w) { line_widths_ = w; }
  void SetCellMargins(const XLGridSides& m) { cell_margins_ = m; }
  void SetDefaultHAlign(uint8_t a) { default_halign_ = a; }
  void SetDefaultVAlign(uint8_t a) { default_valign_ = a; }

  // Painting: composes the whole client area in the off-screen buffer and
  // copies it onto dc with one copy. Draws nothing while updates are locked.
  void Paint(Canvas& dc);
  // Draws one data cell in rectangle r of surface: background, border
  // lines, focus outline and text.
  void DrawCell(const XLGridCell& cell, const Rect& r, int col, int row, Canvas& surface,
                bool selected, bool focused);
  // The same with the text and the dimmed and multi-line switches given
  // (an owner-data cell's).
  void DrawCellAs(const XLGridCell& cell, const XLGridCellData& data, const Rect& r, int col,
                  int row, Canvas& surface, bool selected, bool focused);
  Bitmap& GetBuffer() { return *buffer_; }

  // In-place editing of the current cell.
  void BeginEdit();
  // Ends an edit in progress; accept stores the text, force overrides a
  // refusal of the source's EndEdit. The final allow (true when nothing was edited).
  bool EndEdit(bool accept, bool force);
  // The lent editor and its edit control while an edit is open; none when
  // not editing or once the owner has destroyed them.
  Control* GetEditor() const { return editor_.Get(); }
  Control* GetEditControl() const { return edit_control_.Get(); }
  void SetOnColumnMoved(XLGridMoveEvent handler) { on_column_moved_ = std::move(handler); }

  // The message handler installed on the grid's window.
  bool HandleGridMessage(Message& message, intptr_t& result);

  DragImageList& GetDragImages() { return *drag_images_; }
  // Looks shared by the cells (for measuring memory).
  size_t GetLookCount() const { return looks_.GetCount(); }

  // Mouse operation state (driven by the message handler).
  int GetSizingCol() const { return sizing_col_; }
  int GetSizingColWidth() const { return sizing_col_width_; }
  int GetSizingRow() const { return sizing_row_; }
  int GetSizingRowHeight() const { return sizing_row_height_; }
  int GetMovingCol() const { return moving_col_; }
  int GetMovingRow() const { return moving_row_; }
  XLGridCoord GetMouseDownCell() const { return mouse_down_cell_; }
  // Sets the pending size of a column (row) being sized, -1 for none; the
  // titles and the guide are drawn from it.
  void SetSizingCol(int col, int width);
  void SetSizingRow(int row, int height);

 protected:
  void FontChanged() override;

 private:
  friend class XLGridCell;
  size_t CellRow(int row) const { return owner_data_ ? 0 : size_t(row); }
  LookTable& Looks() { return looks_; }
  CellLook* NewCellLook();
  template <typename F>
  void ForEachCell(F f) {
    for (auto& row : cells_)
      for (auto& cell : row) f(cell);
  }
  void ApplyControlFont();
  // Takes the selected rectangle's share off the counters of the cells it
  // covers (not below 0), clipped to the cells that exist.
  void LowerSelection();
  // The smallest TopRow (LeftCol) with which row (col) is wholly visible,
  // or row (col) itself when it never is.
  int TopRowShowing(int row) const;
  int LeftColShowing(int col) const;
  // Painting steps.
  void PaintCells(Canvas& c);
  void PaintCurrentAndFrame(Canvas& c);
  void PaintTitles(Canvas& c);
  void PaintTitle(Canvas& c, const Rect& r, const std::string& text, bool marked, bool current);
  Rect DrawLines(const XLGridCell& cell, const Rect& r, int col, int row, Canvas& c) const;
  // Editing.
  void HookEditControl(Control& edit);
  void UnhookEditControl();
  // Input.
  void OnMouseDown(const Message& m);
  void OnMouseMove(const Message& m);
  void OnMouseUp(const Message& m);
  void OnDoubleClick(const Message& m);
  void OnKey(int key);
  // A character typed on the grid (a code point): starts an edit with it.
  void OnChar(uint32_t code);
  void OnWheel(const Message& m);
  void StartMoving(int x, int y, bool column);

  // Declared before the cells so that it outlives them.
  LookTable looks_;
  int32_t col_count_ = 0;
  int32_t row_count_ = 0;
  bool owner_data_ = false;
  // An owner-data grid's share of SelectAll (stored cells count it each).
  bool owner_all_selected_ = false;
  int32_t default_row_height_ = 20;
  int32_t default_col_width_ = 70;
  int32_t top_row_ = 0;
  int32_t left_col_ = 0;
  std::vector<int32_t> col_widths_;
  RowValues row_heights_{20};
  // Stored cells by row; an owner-data grid keeps one row of shared cells.
  std::vector<std::vector<XLGridCell>> cells_;
  std::vector<int32_t> col_marks_;
  RowValues row_marks_{0};
  XLGridRange selection_;
  XLGridCoord current_{0, 0};
  XLGridCoord mouse_down_cell_;
  Color selected_color_ = kClHighlight;
  Color selected_font_color_ = kClHighlightText;
  Color focus_color_ = kClHighlightText;
  int32_t mark_row_anchor_ = -1;
  int32_t mark_col_anchor_ = -1;
  int32_t mark_row_end_ = 0;
  int32_t mark_col_end_ = 0;
  int32_t drag_offset_ = 0;
  int32_t moving_col_ = -1;
  int32_t moving_row_ = -1;
  int32_t sizing_col_ = -1;
  int32_t sizing_col_width_ = -1;
  int32_t sizing_start_x_ = 0;
  int32_t sizing_row_ = -1;
  int32_t sizing_row_height_ = -1;
  int32_t sizing_start_y_ = 0;
  int32_t sizing_margin_ = 1;
  CursorHandle saved_cursor_ = nullptr;
  bool cursor_overridden_ = false;
  CursorHandle col_sizing_cursor_ = nullptr;
  CursorHandle row_sizing_cursor_ = nullptr;
  int32_t row_title_width_ = 30;
  int32_t col_title_height_ = 20;
  Color title_color_ = kClBtnFace;
  Color title_selected_color_ = kCl3DDkShadow;
  Color title_selected_font_color_ = kClBtnHighlight;
  Font title_font_;
  std::vector<std::string> col_titles_;
  std::vector<std::string> row_titles_;
  Color line_color_ = kClBtnShadow;
  XLGridSides line_widths_{1, 1, 1, 1};
  XLGridSides cell_margins_{1, 1, 1, 1};
  uint8_t default_halign_ = kAlignLeft;
  uint8_t default_valign_ = kAlignVCenter;
  uint8_t options_ = 0;
  bool all_selected_ = false;
  std::unique_ptr<Bitmap> buffer_;
  std::unique_ptr<DragImageList> drag_images_;
  LentControl editor_;
  LentControl edit_control_;
  // The control whose focus-loss and key events the grid handles; kept
  // after the edit so the handlers can be taken off when the grid goes.
  LentControl hooked_control_;
  bool ending_edit_ = false;
  XLGridMoveEvent on_column_moved_;
  XLGridDataSource* source_ = nullptr;
  int32_t update_count_ = 0;
};

// Creates the grid as a child of parent with the counts and options.
std::unique_ptr<XLGrid> NewXLGrid(Control* parent, int col_count, int row_count,
                                  uint8_t options);

}  // namespace tabulon
