// The selection and its counters, marks, moving columns and rows, and the
// option switches.
#include "grid_test_support.h"

namespace tabulon {
namespace {

using GridSelection = GridTest;

// How many selections cover each cell of the grid, as counters say.
int CountSelected(const XLGrid& g) {
  int n = 0;
  for (int r = 0; r < g.RowCount(); ++r)
    for (int c = 0; c < g.ColCount(); ++c) n += g.IsCellSelected(c, r) ? 1 : 0;
  return n;
}

TEST_F(GridSelection, SetSelectionOrdersClampsAndCounts) {
  XLGrid& g = Make(6, 4, kRangeSelect);
  g.SetSelection(5, 3, 2, 1);
  EXPECT_EQ(g.GetSelection(), (XLGridRange{2, 1, 5, 3}));
  EXPECT_EQ(g.GetSelectionRect(), (XLGridRange{2, 1, 5, 3}));
  EXPECT_EQ(CountSelected(g), 12);
  g.SetSelection(-1, -1, -1, -1);  // never the empty selection
  EXPECT_EQ(g.GetSelection(), (XLGridRange{0, 0, 0, 0}));
  EXPECT_EQ(CountSelected(g), 1);
  g.SetSelection(4, 2, 99, 99);
  EXPECT_EQ(g.GetSelection(), (XLGridRange{4, 2, 5, 3}));
  EXPECT_EQ(g.GetCell(0, 0).GetSelectCount(), 0);
  EXPECT_EQ(g.GetCell(5, 3).GetSelectCount(), 1);
}

TEST_F(GridSelection, SelectionRectFollowsTheOptions) {
  XLGrid& g = Make(6, 4, kSelectCurrent);
  g.SetCurrentCell(2, 3);
  EXPECT_EQ(g.GetSelectionRect(), (XLGridRange{2, 3, 2, 3}));
  EXPECT_TRUE(g.IsCellSelected(2, 3));
  EXPECT_EQ(CountSelected(g), 1);
  XLGrid& plain = Make(6, 4, 0);
  plain.SetCurrentCell(2, 3);
  EXPECT_EQ(plain.GetSelectionRect(), XLGridRange{});
  EXPECT_EQ(CountSelected(plain), 0);
}

TEST_F(GridSelection, SelectAllAndMarks) {
  XLGrid& g = Make(3, 3, kTableViewOptions);  // RowSelect, not ColumnSelect
  g.SelectAll(true);
  EXPECT_TRUE(g.IsRowMarked(2));
  EXPECT_FALSE(g.IsColumnMarked(2));
  EXPECT_EQ(g.GetCell(1, 1).GetSelectCount(), 1);
  EXPECT_EQ(g.GetSelection(), (XLGridRange{0, 0, 0, 0}));  // unchanged
  g.SelectAll(false);
  // Only the selected rectangle (the current cell) keeps its share.
  EXPECT_EQ(CountSelected(g), 1);
  EXPECT_EQ(g.GetCell(0, 0).GetSelectCount(), 1);

  g.MarkColumn(1, true);
  g.MarkColumn(1, true);
  EXPECT_TRUE(g.IsColumnMarked(1));
  EXPECT_TRUE(g.IsCellSelected(1, 2));  // a marked column selects its cells
  g.MarkColumn(1, false);
  EXPECT_TRUE(g.IsColumnMarked(1));
  g.MarkColumn(1, false);
  g.MarkColumn(1, false);  // not below 0
  EXPECT_FALSE(g.IsColumnMarked(1));
  g.MarkColumn(1, true);
  EXPECT_TRUE(g.IsColumnMarked(1));
  g.MarkRow(2, true);
  EXPECT_TRUE(g.IsCellSelected(0, 2));
  EXPECT_FALSE(g.IsCellSelected(0, 1));
}

TEST_F(GridSelection, MoveColumnCarriesEverythingAndKeepsTheCurrentCell) {
  XLGrid& g = Make(5, 4, kTableViewOptions);
  g.SetColTitles({"A", "B", "C", "D", "E"});
  g.SetColWidths({10, 20, 30, 40, 50});
  g.MarkColumn(3, true);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 5; ++c) g.GetCell(c, r).SetText(std::string(1, char('a' + c)) + char('0' + r));
  g.GetCell(3, 2).SetColor(0xFF);
  g.SetCurrentCell(3, 2);
  g.MoveColumn(3, 0);
  EXPECT_EQ(g.GetColTitle(0), "D");
  EXPECT_EQ(g.GetColTitle(1), "A");
  EXPECT_EQ(g.GetColTitle(4), "E");
  EXPECT_EQ(g.GetColWidth(0), 40);
  EXPECT_EQ(g.GetColWidth(3), 30);
  EXPECT_TRUE(g.IsColumnMarked(0));
  EXPECT_FALSE(g.IsColumnMarked(3));
  for (int r = 0; r < 4; ++r) EXPECT_EQ(g.GetCell(0, r).GetText(), std::string("d") + char('0' + r));
  EXPECT_EQ(g.GetCell(0, 2).GetColor(), 0xFFu);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 2}));
  EXPECT_EQ(g.GetSelection(), XLGridRange{});

  // Left to right, and a current cell between the two positions.
  g.SetCurrentCell(2, 0);  // "b0"
  g.MoveColumn(0, 4);
  EXPECT_EQ(g.GetColTitle(4), "D");
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{1, 0}));
  EXPECT_EQ(g.GetCell(1, 0).GetText(), "b0");
  g.MoveColumn(2, -7);  // clamped to position 0
  EXPECT_EQ(g.GetColTitle(0), "C");
}

TEST_F(GridSelection, MoveRowCarriesEverythingAndKeepsTheCurrentCell) {
  XLGrid& g = Make(2, 5, kTableViewOptions);
  for (int r = 0; r < 5; ++r) {
    g.SetRowTitle(r, std::to_string(r));
    g.GetCell(1, r).SetText("r" + std::to_string(r));
  }
  g.SetRowHeight(1, 33);
  g.MarkRow(1, true);
  g.SetCurrentCell(1, 3);
  g.MoveRow(1, 4);
  EXPECT_EQ(g.GetRowTitle(4), "1");
  EXPECT_EQ(g.GetRowHeight(4), 33);
  EXPECT_TRUE(g.IsRowMarked(4));
  EXPECT_EQ(g.GetCell(1, 4).GetText(), "r1");
  EXPECT_EQ(g.GetCell(1, 1).GetText(), "r2");
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{1, 2}));
  EXPECT_EQ(g.GetCell(1, 2).GetText(), "r3");
  g.MoveRow(0, 99);
  EXPECT_EQ(g.GetRowTitle(4), "0");
}

TEST_F(GridSelection, AfterAMoveCountersEqualTheSelectionsCoveringEachCell) {
  XLGrid& g = Make(5, 5, kRangeSelect);
  g.SetSelection(0, 0, 1, 1);
  ASSERT_EQ(CountSelected(g), 4);
  g.MoveColumn(0, 4);
  // The rectangle is given up: nothing is selected any more, neither the
  // cells that moved away nor those that stayed.
  EXPECT_EQ(CountSelected(g), 0);
  g.SetSelection(2, 2, 3, 3);
  g.MoveRow(3, 0);
  EXPECT_EQ(CountSelected(g), 0);
  g.SetSelection(1, 1, 1, 1);
  EXPECT_EQ(CountSelected(g), 1);

  // SelectAll still covers every cell after a move; the rectangle does not.
  g.SelectAll(true);
  EXPECT_EQ(g.GetCell(1, 1).GetSelectCount(), 2);  // SelectAll and the rectangle
  g.SetSelection(0, 0, 2, 2);
  EXPECT_EQ(g.GetCell(0, 0).GetSelectCount(), 2);
  g.MoveColumn(0, 3);
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 5; ++c) EXPECT_EQ(g.GetCell(c, r).GetSelectCount(), 1) << c << "," << r;
  g.SelectAll(false);
  EXPECT_EQ(CountSelected(g), 0);
}

TEST_F(GridSelection, OptionsTakeBackWhatTheyNoLongerAllow) {
  XLGrid& g = Make(4, 4, kRangeSelect | kColumnSelect | kRowSelect | kSelectCurrent);
  g.SetSelection(0, 0, 3, 3);
  g.MarkColumn(1, true);
  g.MarkRow(2, true);
  g.SetCurrentCell(2, 1);
  g.SetSelection(0, 0, 3, 3);
  g.SetOptions(kSelectCurrent);
  EXPECT_FALSE(g.IsColumnMarked(1));
  EXPECT_FALSE(g.IsRowMarked(2));
  EXPECT_EQ(CountSelected(g), 1);  // only the current cell, selected anew
  EXPECT_TRUE(g.IsCellSelected(2, 1));
  EXPECT_EQ(g.GetSelectionRect(), (XLGridRange{2, 1, 2, 1}));
}

}  // namespace
}  // namespace tabulon
