// Visible counts, cell rectangles, hit tests and border zones, and the
// scrolling done to show the current cell.
#include "grid_test_support.h"

namespace tabulon {
namespace {

using GridGeometry = GridTest;

TEST_F(GridGeometry, VisibleCountsCountOnlyColumnsWithRoomToSpare) {
  // 30 + 5 * 70 = 380: a fifth column ending exactly on the client width
  // does not count; one pixel more and it does.
  XLGrid& g = Make(10, 10, kTableViewOptions, 380, 300);
  EXPECT_EQ(g.VisibleColCount(), 4);
  g.SetBounds(0, 0, 381 + kGridFrame, 300 + kGridFrame);
  EXPECT_EQ(g.VisibleColCount(), 5);
  g.SetLeftCol(8);
  EXPECT_EQ(g.VisibleColCount(), 2);  // only two columns are left
  g.SetLeftCol(0);
  g.SetColWidth(0, 1000);
  EXPECT_EQ(g.VisibleColCount(), 1);  // wider than the window, still 1
  g.SetRowTitleWidth(0);
  g.SetColWidths({100, 100, 100});  // 100, 200, 300, then 370 for a 70
  EXPECT_EQ(g.VisibleColCount(), 4);
}

TEST_F(GridGeometry, CellRectSumsFromTheScrollPosition) {
  XLGrid& g = Make(6, 10, kTableViewOptions);
  g.SetColWidths({10, 20, 30, 40, 50, 60});
  g.SetRowHeight(2, 25);
  EXPECT_EQ(g.CellRect(0, 0), (Rect{30, 20, 40, 40}));
  EXPECT_EQ(g.CellRect(3, 3), (Rect{90, 85, 130, 105}));
  g.SetLeftCol(2);
  g.SetTopRow(3);
  EXPECT_EQ(g.CellRect(3, 3), (Rect{60, 20, 100, 40}));
  // Scrolled out of view: above and left of the titles.
  EXPECT_EQ(g.CellRect(1, 2), (Rect{10, -5, 30, 20}));
  EXPECT_EQ(g.CellRect(0, 0), (Rect{0, -45, 10, -25}));
  // Outside the grid: the empty rectangle at the title corner.
  EXPECT_EQ(g.CellRect(-1, 0), (Rect{30, 20, 30, 20}));
  EXPECT_EQ(g.CellRect(6, 0), (Rect{30, 20, 30, 20}));
  EXPECT_EQ(g.CellRect(0, 10), (Rect{30, 20, 30, 20}));
}

TEST_F(GridGeometry, HitTestsOfColumnsAndRows) {
  XLGrid& g = Make(4, 3, kTableViewOptions);
  // Columns 0..3 span 30..100, 100..170, 170..240, 240..310.
  EXPECT_EQ(g.ColAtX(29), -1);  // inside the title column
  EXPECT_EQ(g.ColAtX(30), 0);
  EXPECT_EQ(g.ColAtX(170), 1);  // a shared boundary belongs to the left one
  EXPECT_EQ(g.ColAtX(240), 2);
  EXPECT_EQ(g.ColAtX(241), 3);
  EXPECT_EQ(g.ColAtX(399), 3);  // right of the last column: the last one
  EXPECT_EQ(g.RowAtY(10), -1);
  EXPECT_EQ(g.RowAtY(40), 0);
  EXPECT_EQ(g.RowAtY(41), 1);
  EXPECT_EQ(g.RowAtY(290), 2);
  EXPECT_EQ(g.CellAtPoint(Point{171, 61}), (XLGridCoord{2, 2}));
  g.SetLeftCol(2);
  EXPECT_EQ(g.ColAtX(31), 2);
}

TEST_F(GridGeometry, BorderZones) {
  XLGrid& g = Make(4, 3, kFieldGridOptions);  // ColumnSizing, no RowSizing
  g.SetColWidths({40, 2, 70, 70});
  // Column 0 ends at 70: margin 1 gives the zone 69..71.
  EXPECT_EQ(g.ColBorderAtX(68), -1);
  EXPECT_EQ(g.ColBorderAtX(69), 0);
  EXPECT_EQ(g.ColBorderAtX(70), 0);
  EXPECT_EQ(g.ColBorderAtX(71), 0);
  // Column 1 is 2 pixels wide: its zone is only its border pixel 72.
  EXPECT_EQ(g.ColBorderAtX(72), 1);
  EXPECT_EQ(g.ColBorderAtX(73), -1);
  EXPECT_EQ(g.ColBorderAtX(141), 2);
  EXPECT_EQ(g.RowBorderAtY(40), -1);  // RowSizing is off
  g.SetOptions(kFieldGridOptions | kRowSizing);
  EXPECT_EQ(g.RowBorderAtY(40), 0);
  EXPECT_EQ(g.RowBorderAtY(42), -1);
  g.SetSizingMargin(3);
  EXPECT_EQ(g.ColBorderAtX(67), 0);
  g.SetOptions(0);
  EXPECT_EQ(g.ColBorderAtX(70), -1);
}

TEST_F(GridGeometry, CurrentCellIsClampedAndScrolledIntoView) {
  // 20 + 7 * 20 = 160 < 170: seven whole rows.
  XLGrid& g = Make(3, 20, kTableViewOptions, 400, 170);
  ASSERT_EQ(g.VisibleRowCount(), 7);
  g.SetCurrentCell(-5, 10000);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 19}));
  EXPECT_EQ(g.GetTopRow(), 13);  // row 19 is the last wholly visible row
  EXPECT_EQ(g.GetSelection(), (XLGridRange{0, 19, 0, 19}));
  g.SetCurrentCell(1, 4);  // above TopRow: it becomes the TopRow
  EXPECT_EQ(g.GetTopRow(), 4);
  g.SetCurrentCell(1, 10);  // wholly visible already: no scrolling
  EXPECT_EQ(g.GetTopRow(), 4);
  g.SetCurrentCell(1, 11);  // one row below the view: one row on
  EXPECT_EQ(g.GetTopRow(), 5);
  // Rows of different heights: the view stops as soon as the row fits.
  g.SetRowHeight(18, 100);
  g.SetCurrentCell(0, 19);  // 20 + 20 + 100 + 20 + 20 = 180 would not fit
  EXPECT_EQ(g.GetTopRow(), 17);
  g.SetRowHeight(19, 500);  // taller than the window: it becomes the top
  g.SetCurrentCell(0, 0);
  g.SetCurrentCell(0, 19);
  EXPECT_EQ(g.GetTopRow(), 19);
}

TEST_F(GridGeometry, MakeVisibleScrollsOnlyWhenNeeded) {
  XLGrid& g = Make(20, 50, kTableViewOptions, 400, 219);
  ASSERT_EQ(g.VisibleRowCount(), 9);
  g.MakeRowVisible(5);
  EXPECT_EQ(g.GetTopRow(), 0);
  g.MakeRowVisible(30);
  EXPECT_EQ(g.GetTopRow(), 30);
  g.MakeRowVisible(49);
  EXPECT_EQ(g.GetTopRow(), 41);  // never past the last page
  g.MakeRowVisible(2);
  EXPECT_EQ(g.GetTopRow(), 2);
  g.MakeColVisible(19);
  EXPECT_EQ(g.GetLeftCol(), 20 - g.VisibleColCount());
}

}  // namespace
}  // namespace tabulon
