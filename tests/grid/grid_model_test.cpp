// Construction, counts, cells and their shared looks, widths and titles,
// fonts and the update counter.
#include "edit.h"
#include "grid_test_support.h"
#include "input.h"

namespace tabulon {
namespace {

using GridModel = GridTest;

TEST_F(GridModel, ConstructionGivesTheDefaultsAndTheWindow) {
  XLGrid& g = Make(3, 4, kTableViewOptions);
  EXPECT_EQ(g.ColCount(), 3);
  EXPECT_EQ(g.RowCount(), 4);
  EXPECT_EQ(g.GetColWidth(2), 70);
  EXPECT_EQ(g.GetRowHeight(3), 20);
  EXPECT_EQ(g.GetRowTitleWidth(), 30);
  EXPECT_EQ(g.GetColTitleHeight(), 20);
  EXPECT_EQ(g.GetSizingMargin(), 1);
  EXPECT_EQ(g.GetOptions(), kTableViewOptions);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 0}));
  // With SelectCurrent the selection is the current cell.
  EXPECT_EQ(g.GetSelection(), (XLGridRange{0, 0, 0, 0}));
  EXPECT_EQ(g.GetCell(0, 0).GetSelectCount(), 1);
  EXPECT_EQ(g.GetMouseDownCell(), (XLGridCoord{-1, -1}));
  EXPECT_EQ(g.GetSelectedColor(), 0x8000000Du);
  EXPECT_EQ(g.GetSelectedFontColor(), 0x8000000Eu);
  EXPECT_EQ(g.GetFocusColor(), 0x8000000Eu);
  EXPECT_EQ(g.GetTitleColor(), 0x8000000Fu);
  EXPECT_EQ(g.GetTitleSelectedColor(), 0x80000015u);
  EXPECT_EQ(g.GetTitleSelectedFontColor(), 0x80000014u);
  EXPECT_EQ(g.GetLineColor(), 0x80000010u);
  EXPECT_EQ(g.GetColor(), kClWindow);
  EXPECT_EQ(g.GetUpdateCount(), 0);
  EXPECT_EQ(g.GetStyle() & 0x56B10000u, 0x56B10000u);
  EXPECT_EQ(g.GetClassStyle(), 11u);
  EXPECT_EQ(headless::GetCursorResourceId(g.GetColSizingCursor()), 32765);
  EXPECT_EQ(headless::GetCursorResourceId(g.GetRowSizingCursor()), 32764);
  EXPECT_FALSE(g.IsAllSelected());
  EXPECT_EQ(g.GetEditor(), nullptr);

  const XLGridCell& cell = g.GetCell(1, 2);
  EXPECT_EQ(cell.GetText(), "");
  for (int side = 0; side < 4; ++side) {
    EXPECT_EQ(cell.GetLineColor(XLGridSide(side)), kClBtnShadow);
    EXPECT_EQ(cell.GetLineWidth(XLGridSide(side)), 1);
    EXPECT_EQ(cell.GetMargin(XLGridSide(side)), 1);
  }
  EXPECT_EQ(cell.GetHAlign(), kAlignLeft);
  EXPECT_EQ(cell.GetVAlign(), kAlignVCenter);
  EXPECT_EQ(cell.GetColor(), kClWindow);
  EXPECT_TRUE(cell.GetFont().SameFace(g.GetFont()));
  EXPECT_EQ(&cell.GetOwner(), &g);
  EXPECT_EQ(g.GetLookCount(), 1u);
}

TEST_F(GridModel, EmptyGridHasNoSelectionAndIgnoresCellOperations) {
  XLGrid& g = Make(0, 0, kTableViewOptions);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 0}));  // set by construction
  EXPECT_EQ(g.GetSelection(), XLGridRange{});
  g.SetCurrentCell(3, 3);
  g.SetSelection(0, 0, 1, 1);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 0}));
  EXPECT_EQ(g.GetSelection(), XLGridRange{});
  g.SetColCount(2);
  g.SetRowCount(2);
  g.SetCurrentCell(1, 1);
  EXPECT_EQ(g.GetSelection(), (XLGridRange{1, 1, 1, 1}));
}

TEST_F(GridModel, CountsGrowWithTheCurrentDefaultsAndShrinkFromTheEnd) {
  XLGrid& g = Make(3, 2, kTableViewOptions);
  g.GetCell(0, 0).SetText("a");
  g.GetCell(2, 1).SetText("c");
  g.SetColTitles({"A", "B", "C"});
  g.MarkColumn(2, true);
  g.SetDefaultHAlign(kAlignRight);
  g.SetLineWidths(XLGridSides{2, 2, 2, 2});
  g.SetColCount(5);
  EXPECT_EQ(g.GetColWidth(4), 70);
  EXPECT_EQ(g.GetColTitle(4), "");
  EXPECT_FALSE(g.IsColumnMarked(4));
  EXPECT_EQ(g.GetCell(4, 1).GetHAlign(), kAlignRight);
  EXPECT_EQ(g.GetCell(4, 1).GetLineWidth(kSideTop), 2);
  EXPECT_EQ(g.GetCell(2, 1).GetHAlign(), kAlignLeft);  // existing cells keep theirs
  g.SetRowCount(3);
  EXPECT_EQ(g.GetCell(0, 2).GetHAlign(), kAlignRight);
  EXPECT_EQ(g.GetRowHeight(2), 20);

  g.SetColCount(2);
  EXPECT_EQ(g.GetCell(0, 0).GetText(), "a");
  EXPECT_EQ(g.GetColTitle(1), "B");
  g.SetCurrentCell(1, 2);
  g.SetRowCount(1);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{1, 0}));
  EXPECT_EQ(g.GetSelection().Bottom, 0);

  g.SetColCount(0);
  EXPECT_EQ(g.ColCount(), 0);
  EXPECT_EQ(g.GetCurrentCell().Col, -1);
  EXPECT_EQ(g.GetSelection().Left, -1);
  EXPECT_EQ(g.GetSelection().Right, -1);
  // Columns come back; the half-cleared selection must not be walked.
  g.SetColCount(4);
  g.SetSelection(1, 0, 2, 0);
  EXPECT_EQ(g.GetSelection(), (XLGridRange{1, 0, 2, 0}));
  EXPECT_TRUE(g.IsCellSelected(2, 0));
  EXPECT_FALSE(g.IsCellSelected(0, 0));
}

// A grid scrolled far down or right and then given fewer rows or columns
// (a shorter table loaded) shows from a row and column that exist.
TEST_F(GridModel, ShrinkingKeepsTheScrollPositionInsideTheCounts) {
  XLGrid& g = Make(30, 200, kTableViewOptions);
  g.SetTopRow(150);
  g.SetLeftCol(20);
  ASSERT_EQ(g.GetTopRow(), 150);
  g.SetRowCount(20);
  g.SetColCount(5);
  EXPECT_LE(g.GetTopRow(), 19);
  EXPECT_LE(g.GetLeftCol(), 4);
  g.SetRowCount(0);
  g.SetColCount(0);
  EXPECT_EQ(g.GetTopRow(), 0);
  EXPECT_EQ(g.GetLeftCol(), 0);
  g.SetColCount(3);
  g.SetRowCount(3);
  EXPECT_EQ(g.CellRect(0, 0).Top, g.GetColTitleHeight());
  // The window's background is never erased: the paint covers it.
  EXPECT_EQ(headless::SendMessageTo(g, kWmEraseBkgnd), 1);
}

// Moving the current cell ends an edit first; the owner may empty the grid
// meanwhile, and the move then has nowhere to go.
TEST_F(GridModel, AMoveWhoseEditEmptiesTheGridStops) {
  XLGrid& g = Make(3, 5, kTableViewOptions);
  auto editor = NewEdit(form_.get());
  source_.Begin = ([&](int, int, Control*& e, Control*&, XLGridSides&) { e = editor.get(); });
  source_.End = ([&](int, int, std::string&, bool, bool&) {
    g.SetRowCount(0);
  });
  g.SetCurrentCell(1, 2);
  g.BeginEdit();
  g.SetCurrentCell(2, 4);
  EXPECT_EQ(g.RowCount(), 0);
  EXPECT_EQ(g.GetTopRow(), 0);
  EXPECT_EQ(g.GetCurrentCell().Row, -1);
  g.SetRowCount(4);
  g.SetCurrentCell(0, 3);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 3}));
}

TEST_F(GridModel, CellsShareLooksAndCopyOnChange) {
  XLGrid& g = Make(4, 4, kTableViewOptions);
  EXPECT_EQ(g.GetLookCount(), 1u);
  g.GetCell(1, 1).SetColor(0x00FF00);
  EXPECT_EQ(g.GetLookCount(), 2u);
  EXPECT_EQ(g.GetCell(1, 1).GetColor(), 0x00FF00u);
  EXPECT_EQ(g.GetCell(2, 1).GetColor(), kClWindow);
  g.GetCell(2, 2).SetColor(0x00FF00);  // the same look again: shared
  EXPECT_EQ(g.GetLookCount(), 2u);
  EXPECT_EQ(&g.GetCell(1, 1).GetLook(), &g.GetCell(2, 2).GetLook());
  g.GetCell(1, 1).SetColor(kClWindow);
  g.GetCell(2, 2).SetColor(kClWindow);
  EXPECT_EQ(g.GetLookCount(), 1u);  // nobody uses the green look any more
  g.GetCell(0, 0).SetHAlign(kAlignCenter);
  g.GetCell(0, 0).SetVAlign(kAlignBottom);
  g.GetCell(0, 0).SetLine(kSideRight, 0xFF, 3);
  g.GetCell(0, 0).SetMargins(XLGridSides{4, 3, 2, 1});
  EXPECT_EQ(g.GetCell(0, 0).GetLineWidth(kSideRight), 3);
  EXPECT_EQ(g.GetCell(0, 0).GetLineColor(kSideRight), 0xFFu);
  EXPECT_EQ(g.GetCell(0, 0).GetMargin(kSideLeft), 4);
  EXPECT_EQ(g.GetCell(0, 1).GetMargin(kSideLeft), 1);
  EXPECT_EQ(g.GetLookCount(), 2u);
}

TEST_F(GridModel, ControlFontReachesEveryCellAndTitleFontRepaints) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  g.GetCell(1, 1).SetColor(0x0000FF);
  g.GetCell(2, 2).SetFont(Font("Arial", 12));
  EXPECT_EQ(g.GetLookCount(), 3u);
  g.GetFont().SetName("Courier New");
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(g.GetCell(c, r).GetFont().GetName(), "Courier New");
  EXPECT_EQ(g.GetCell(1, 1).GetColor(), 0x0000FFu);  // the rest of the look stays
  EXPECT_EQ(g.GetLookCount(), 2u);
  g.SetColCount(4);  // new cells take the new font too
  EXPECT_EQ(g.GetCell(3, 0).GetFont().GetName(), "Courier New");

  g.Update();
  EXPECT_FALSE(headless::IsInvalidated(g));
  g.TitleFont().SetBold(true);
  EXPECT_TRUE(headless::IsInvalidated(g));
}

TEST_F(GridModel, UpdateCounterNestsAndInvalidatesOnceAtZero) {
  XLGrid& g = Make(2, 2, kTableViewOptions);
  g.Update();
  ASSERT_FALSE(headless::IsInvalidated(g));
  g.BeginUpdate();
  g.BeginUpdate();
  g.GetCell(0, 0).SetText("x");
  g.SetColTitles({"a"});
  EXPECT_EQ(g.GetUpdateCount(), 2);
  g.EndUpdate();
  EXPECT_FALSE(headless::IsInvalidated(g));
  g.EndUpdate();
  EXPECT_TRUE(headless::IsInvalidated(g));
  g.EndUpdate();  // never below 0
  EXPECT_EQ(g.GetUpdateCount(), 0);
}

TEST_F(GridModel, WidthsTitlesAndDefaults) {
  XLGrid& g = Make(3, 2, kTableViewOptions);
  g.SetColWidths({10, 20, 30, 40, 50});  // extra entries ignored
  EXPECT_EQ(g.GetColWidth(0), 10);
  EXPECT_EQ(g.GetColWidth(2), 30);
  g.SetColWidths({5});
  EXPECT_EQ(g.GetColWidth(0), 5);
  EXPECT_EQ(g.GetColWidth(1), 20);
  g.SetDefaultColWidth(44);
  EXPECT_EQ(g.GetColWidth(1), 44);
  g.SetColCount(4);
  EXPECT_EQ(g.GetColWidth(3), 44);
  g.SetColTitles({"a", "b"});
  EXPECT_EQ(g.GetColTitle(1), "b");
  EXPECT_EQ(g.GetColTitle(2), "");
  g.SetColTitles({"1", "2", "3", "4", "5", "6"});
  EXPECT_EQ(g.GetColTitle(3), "4");
  g.SetRowHeight(1, 33);
  EXPECT_EQ(g.GetRowHeight(1), 33);
}

TEST_F(GridModel, ScrollBarsFollowCountsAndPosition) {
  XLGrid& g = Make(10, 100, kTableViewOptions, 400, 219);
  // 219 pixels: the title row and 9 whole rows of 20 (20 + 9 * 20 = 200,
  // and a tenth would end at 220).
  EXPECT_EQ(g.VisibleRowCount(), 9);
  ScrollInfo v = g.GetScrollInfo(kSbVert);
  EXPECT_EQ(v.Min, 0);
  EXPECT_EQ(v.Max, 99);
  EXPECT_EQ(v.Page, 9);
  EXPECT_EQ(v.Pos, 0);
  g.SetTopRow(50);
  EXPECT_EQ(g.GetScrollInfo(kSbVert).Pos, 50);
  ScrollInfo h = g.GetScrollInfo(kSbHorz);
  EXPECT_EQ(h.Max, 9);
  EXPECT_EQ(h.Page, g.VisibleColCount());
  g.SetColCount(1);
  g.SetLeftCol(0);
  EXPECT_FALSE(g.GetScrollInfo(kSbHorz).Enabled);
}

TEST_F(GridModel, ScrollRequests) {
  XLGrid& g = Make(3, 100, kTableViewOptions, 400, 221);
  ASSERT_EQ(g.VisibleRowCount(), 10);
  g.ApplyScrollCode(kSbVert, kSbPageDown, 0);
  EXPECT_EQ(g.GetTopRow(), 9);
  g.ApplyScrollCode(kSbVert, kSbPageUp, 0);
  EXPECT_EQ(g.GetTopRow(), 0);
  g.ApplyScrollCode(kSbVert, kSbLineUp, 0);
  EXPECT_EQ(g.GetTopRow(), 0);
  g.ApplyScrollCode(kSbVert, kSbLineDown, 0);
  EXPECT_EQ(g.GetTopRow(), 1);
  g.ApplyScrollCode(kSbVert, kSbThumbTrack, 500);
  EXPECT_EQ(g.GetTopRow(), 90);
  g.ApplyScrollCode(kSbVert, kSbLineDown, 0);
  EXPECT_EQ(g.GetTopRow(), 90);
  g.ApplyScrollCode(kSbVert, kSbEndScroll, 3);
  EXPECT_EQ(g.GetTopRow(), 90);
  g.ApplyScrollCode(kSbVert, kSbTop, 0);
  EXPECT_EQ(g.GetTopRow(), 0);
  g.ApplyScrollCode(kSbVert, kSbBottom, 0);
  EXPECT_EQ(g.GetTopRow(), 90);
  EXPECT_EQ(g.GetScrollInfo(kSbVert).Pos, 90);
  // Fewer columns than a page: the position never goes below 0.
  g.ApplyScrollCode(kSbHorz, kSbBottom, 0);
  EXPECT_EQ(g.GetLeftCol(), 0);
  g.ApplyScrollCode(kSbHorz, kSbThumbPosition, 7);
  EXPECT_EQ(g.GetLeftCol(), 0);
}

TEST_F(GridModel, SizingCursorsSaveAndRestoreTheControlsCursor) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  CursorHandle own = LoadResourceCursor(kColSizingCursorId);
  g.SetCursor(own);
  g.SetSizingCursor(1);
  EXPECT_EQ(g.GetCursor(), g.GetColSizingCursor());
  EXPECT_TRUE(g.IsCursorOverridden());
  g.SetSizingCursor(2);  // the saved cursor stays the control's own
  EXPECT_EQ(g.GetCursor(), g.GetRowSizingCursor());
  g.RestoreCursor();
  EXPECT_EQ(g.GetCursor(), own);
  EXPECT_FALSE(g.IsCursorOverridden());
  g.RestoreCursor();
  EXPECT_EQ(g.GetCursor(), own);
  g.SetCursor(nullptr);
  DestroyCursor(own);
}

}  // namespace
}  // namespace tabulon
