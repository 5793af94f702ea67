// Painting, checked from the canvas log of the off-screen buffer (which
// calls, with which rectangles, colours, flags and fonts) and its raster.
#include <algorithm>

#include "grid_test_support.h"

namespace tabulon {
namespace {

using headless::CanvasCall;
using headless::CanvasOp;

class GridPaint : public GridTest {
 protected:
  // Index of the first call of op on rectangle r at or after from; -1 if none.
  static int Find(const std::vector<CanvasCall>& log, CanvasOp op, const Rect& r, size_t from = 0) {
    for (size_t i = from; i < log.size(); ++i)
      if (log[i].Op == op && log[i].R == r) return int(i);
    return -1;
  }
  static int Count(const std::vector<CanvasCall>& log, CanvasOp op) {
    return int(std::count_if(log.begin(), log.end(), [op](const CanvasCall& c) { return c.Op == op; }));
  }
  headless::HeadlessCanvas& Buffer() { return *headless::AsHeadless(grid_->GetBuffer().GetCanvas()); }
};

TEST_F(GridPaint, EmptyGridShowsOnlyTheBackground) {
  Make(0, 0, kTableViewOptions);
  const auto& log = PaintLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].Op, CanvasOp::FillRect);
  EXPECT_EQ(log[0].R, (Rect{0, 0, 400, 300}));
  EXPECT_EQ(log[0].C, kClWindow);
  // One copy of the whole buffer to the window.
  const auto& screen = headless::GetWindowSurface(*grid_).GetLog();
  ASSERT_EQ(Count(screen, CanvasOp::CopyRect), 1);
  EXPECT_EQ(screen.back().Op, CanvasOp::CopyRect);
  EXPECT_EQ(screen.back().R, (Rect{0, 0, 400, 300}));
  EXPECT_EQ(screen.back().SourceRect, (Rect{0, 0, 400, 300}));
  EXPECT_EQ(screen.back().Source, &Buffer());

  // Columns without rows: their titles still say what they hold.
  Make(3, 0, kTableViewOptions);
  EXPECT_EQ(Count(PaintLog(), CanvasOp::DrawText), 3);
}

TEST_F(GridPaint, CellsLinesAndTextInLayerOrder) {
  XLGrid& g = Make(2, 2, kTableViewOptions);
  const auto& log = PaintLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].R, (Rect{0, 0, 400, 300}));
  // Cell (1, 0): background, its left line, the grid's right edge, the
  // top edge; the line below it belongs to the cell underneath.
  const int bg = Find(log, CanvasOp::FillRect, Rect{100, 20, 170, 40});
  ASSERT_GE(bg, 0);
  EXPECT_EQ(log[size_t(bg)].C, kClWindow);
  EXPECT_EQ(log[size_t(bg) + 1].R, (Rect{100, 20, 101, 40}));
  EXPECT_EQ(log[size_t(bg) + 1].C, kClBtnShadow);
  EXPECT_EQ(log[size_t(bg) + 2].R, (Rect{169, 20, 170, 40}));
  EXPECT_EQ(log[size_t(bg) + 3].R, (Rect{100, 20, 170, 21}));
  const CanvasCall& text = log[size_t(bg) + 4];
  EXPECT_EQ(text.Op, CanvasOp::DrawText);
  EXPECT_EQ(text.R, (Rect{102, 22, 168, 39}));  // inside the lines and margins
  EXPECT_EQ(text.Flags, kDtLeft | kDtVCenter | kDtSingleLine | kDtNoPrefix);
  EXPECT_EQ(text.Brush, BrushStyle::Clear);
  // The last row draws its bottom line.
  EXPECT_GE(Find(log, CanvasOp::FillRect, Rect{100, 59, 170, 60}), 0);

  // The current cell is drawn again, highlighted, with its focus outline.
  const int focus = Find(log, CanvasOp::DrawFocusRect, Rect{31, 21, 100, 40});
  ASSERT_GE(focus, 0);
  const int again = Find(log, CanvasOp::FillRect, Rect{30, 20, 100, 40}, size_t(bg));
  ASSERT_GE(again, 0);
  EXPECT_LT(again, focus);
  EXPECT_EQ(log[size_t(again)].C, kClHighlight);
  const CanvasCall& current_text = log[size_t(focus) + 1];
  EXPECT_EQ(current_text.Op, CanvasOp::DrawText);
  EXPECT_EQ(current_text.TextFont.GetColor(), kClHighlightText);

  // Titles come last: corner, then the title row, then the title column.
  const int corner = Find(log, CanvasOp::FillRect, Rect{0, 0, 30, 20});
  ASSERT_GT(corner, focus);
  EXPECT_EQ(log[size_t(corner)].C, kClBtnFace);
  EXPECT_EQ(log[size_t(corner) + 1].Op, CanvasOp::DrawEdge);
  EXPECT_EQ(log[size_t(corner) + 1].Edge, kBdrRaisedInner);
  EXPECT_EQ(log[size_t(corner) + 1].Flags, kBfRect);
  EXPECT_EQ(Count(log, CanvasOp::DrawEdge), 1 + 2 + 2);
  EXPECT_EQ(Count(log, CanvasOp::FrameRect), 0);  // one cell: no frame
  EXPECT_EQ(g.GetUpdateCount(), 0);
}

TEST_F(GridPaint, TitlesShowTheCurrentAndTheMarked) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  g.SetColTitles({"Имя", "B", "C"});
  g.SetRowTitle(1, "2");
  g.SetCurrentCell(0, 1);
  g.MarkRow(1, true);
  const auto& log = PaintLog();
  // The current column: raised and bold.
  int t = Find(log, CanvasOp::FillRect, Rect{30, 0, 100, 20});
  ASSERT_GE(t, 0);
  EXPECT_EQ(log[size_t(t)].C, kClBtnFace);
  EXPECT_EQ(log[size_t(t) + 1].Text, "Имя");
  EXPECT_EQ(log[size_t(t) + 1].Flags, 0x825u);  // centred, one line, no mnemonic
  EXPECT_TRUE(log[size_t(t) + 1].TextFont.IsBold());
  EXPECT_EQ(log[size_t(t) + 1].TextFont.GetColor(), g.TitleFont().GetColor());
  EXPECT_EQ(log[size_t(t) + 2].Edge, kEdgeRaised);
  // Any other column: plain.
  t = Find(log, CanvasOp::FillRect, Rect{100, 0, 170, 20});
  ASSERT_GE(t, 0);
  EXPECT_FALSE(log[size_t(t) + 1].TextFont.IsBold());
  EXPECT_EQ(log[size_t(t) + 2].Edge, kBdrRaisedInner);
  // The current row, also marked: dark, light bold text, sunken.
  t = Find(log, CanvasOp::FillRect, Rect{0, 40, 30, 60});
  ASSERT_GE(t, 0);
  EXPECT_EQ(log[size_t(t)].C, kCl3DDkShadow);
  EXPECT_EQ(log[size_t(t) + 1].Text, "2");
  EXPECT_TRUE(log[size_t(t) + 1].TextFont.IsBold());
  EXPECT_EQ(log[size_t(t) + 1].TextFont.GetColor(), kClBtnHighlight);
  EXPECT_EQ(log[size_t(t) + 2].Edge, kBdrSunkenOuter);
  // The marked row's cells are drawn selected.
  t = Find(log, CanvasOp::FillRect, Rect{170, 40, 240, 60});
  ASSERT_GE(t, 0);
  EXPECT_EQ(log[size_t(t)].C, kClHighlight);
  // The title font's face reaches the titles.
  g.TitleFont().SetName("Arial");
  const auto& again = PaintLog();
  t = Find(again, CanvasOp::FillRect, Rect{100, 0, 170, 20});
  EXPECT_EQ(again[size_t(t) + 1].TextFont.GetName(), "Arial");
}

TEST_F(GridPaint, NoCornerWithoutTheTitleColumn) {
  XLGrid& g = Make(3, 3, kFieldGridOptions);
  g.SetRowTitleWidth(0);
  const auto& log = PaintLog();
  EXPECT_EQ(Find(log, CanvasOp::FillRect, Rect{0, 0, 0, 20}), -1);
  const int first = Find(log, CanvasOp::FillRect, Rect{0, 0, 70, 20});  // starts at x = 0
  ASSERT_GE(first, 0);
  EXPECT_EQ(log[size_t(first) + 2].Edge, kEdgeRaised);
  EXPECT_EQ(Count(log, CanvasOp::DrawEdge), 3);  // no corner, no row titles
  g.SetColTitleHeight(0);
  EXPECT_EQ(Count(PaintLog(), CanvasOp::DrawEdge), 0);
}

TEST_F(GridPaint, SharedLinesSplitByTheHalfWidthRule) {
  XLGrid& g = Make(3, 2, kSelectCurrent);
  g.GetCell(0, 0).SetLine(kSideRight, 0x0000FF, 3);
  g.GetCell(1, 0).SetLine(kSideLeft, 0x00FF00, 1);
  g.GetCell(0, 1).SetLine(kSideLeft, 0xFF0000, 4);
  const auto& log = PaintLog();
  // The shared line is 3 wide: the right cell draws half(3) = 2 pixels in
  // its colour, the left cell the remaining 1 in its own.
  int i = Find(log, CanvasOp::FillRect, Rect{100, 20, 102, 40});
  ASSERT_GE(i, 0);
  EXPECT_EQ(log[size_t(i)].C, 0x00FF00u);
  i = Find(log, CanvasOp::FillRect, Rect{99, 20, 100, 40});
  ASSERT_GE(i, 0);
  EXPECT_EQ(log[size_t(i)].C, 0x0000FFu);
  // At the outer edge only half of a 4-pixel line.
  i = Find(log, CanvasOp::FillRect, Rect{30, 40, 32, 60});
  ASSERT_GE(i, 0);
  EXPECT_EQ(log[size_t(i)].C, 0xFF0000u);
  // The text rectangle starts inside the bands.
  i = Find(log, CanvasOp::FillRect, Rect{100, 20, 170, 40});
  ASSERT_GE(i, 0);
  EXPECT_EQ(log[size_t(i) + 1].R, (Rect{100, 20, 102, 40}));
  const auto text = std::find_if(log.begin() + i, log.end(),
                                 [](const CanvasCall& c) { return c.Op == CanvasOp::DrawText; });
  ASSERT_NE(text, log.end());
  EXPECT_EQ(text->R.Left, 103);
}

TEST_F(GridPaint, TextFlagsMnemonicAndClipping) {
  XLGrid& g = Make(2, 2, kSelectCurrent);
  g.GetCell(1, 1).SetText("A&B");
  g.GetCell(1, 1).SetHAlign(kAlignRight);
  g.GetCell(1, 1).SetVAlign(kAlignBottom);
  g.GetCell(0, 1).SetText(std::string(30, 'W'));
  g.GetCell(1, 0).SetHAlign(kAlignCenter);
  g.GetCell(1, 0).SetVAlign(kAlignTop);
  const auto& log = PaintLog();
  auto text_of = [&log](const std::string& t) {
    return std::find_if(log.begin(), log.end(),
                        [&t](const CanvasCall& c) { return c.Op == CanvasOp::DrawText && c.Text == t; });
  };
  auto amp = text_of("A&B");
  ASSERT_NE(amp, log.end());
  EXPECT_EQ(amp->Flags, kDtRight | kDtBottom | kDtSingleLine | kDtNoPrefix);  // data, no mnemonic
  auto long_text = text_of(std::string(30, 'W'));
  ASSERT_NE(long_text, log.end());
  EXPECT_EQ(long_text->R, (Rect{32, 42, 99, 58}));
  EXPECT_EQ(long_text->Flags & kDtNoClip, 0u);
  bool centred = false;
  for (const CanvasCall& c : log)
    centred |= c.Op == CanvasOp::DrawText && c.R.Left == 102 && c.R.Top == 22 &&
               c.Flags == (kDtCenter | kDtTop | kDtSingleLine | kDtNoPrefix);
  EXPECT_TRUE(centred);

  // The raster: the long text is inked in its own cell and cut at the text
  // rectangle, never spilling into the next cell.
  const headless::HeadlessCanvas& b = Buffer();
  const uint32_t ink = ResolveColor(kClWindowText);
  const uint32_t paper = ResolveColor(kClWindow);
  EXPECT_EQ(b.GetPixel(34, 50), ink);
  EXPECT_EQ(b.GetPixel(130, 50), paper);
  EXPECT_EQ(b.GetPixel(150, 50), paper);
}

TEST_F(GridPaint, MultiLineAndDimmedCells) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  g.GetCell(1, 1).SetText("first line\r\nsecond");
  g.GetCell(1, 1).SetMultiLine(true);
  g.GetCell(2, 1).SetText("gone");
  g.GetCell(2, 1).SetDimmed(true);
  g.GetCell(0, 0).SetDimmed(true);  // current: the selected colours win
  EXPECT_TRUE(g.GetCell(1, 1).IsMultiLine());
  EXPECT_FALSE(g.GetCell(1, 2).IsMultiLine());
  const auto& log = PaintLog();
  auto text_of = [&log](const std::string& t) {
    return std::find_if(log.begin(), log.end(),
                        [&t](const CanvasCall& c) { return c.Op == CanvasOp::DrawText && c.Text == t; });
  };
  const auto multi = text_of("first line\r\nsecond");
  ASSERT_NE(multi, log.end());
  EXPECT_EQ(multi->Flags, kDtLeft | kDtWordBreak | kDtNoPrefix);
  const auto dim = text_of("gone");
  ASSERT_NE(dim, log.end());
  EXPECT_EQ(dim->TextFont.GetColor(), kClGrayText);
  EXPECT_EQ(dim->Flags, kDtLeft | kDtVCenter | kDtSingleLine | kDtNoPrefix);
  // The raster: the second line lies below the first, inside the cell.
  const headless::HeadlessCanvas& b = Buffer();
  const int lh = headless::GetLineHeight(g.GetCell(1, 1).GetFont());
  g.SetRowHeight(1, 3 * lh);
  PaintLog();
  const uint32_t ink = ResolveColor(kClWindowText);
  EXPECT_EQ(b.GetPixel(103, 40 + 2 + 2), ink);
  EXPECT_EQ(b.GetPixel(103, 40 + 2 + lh + 2), ink);
  // Looks that differ only in these are told apart, and set back they meet again.
  const size_t looks = g.GetLookCount();
  g.GetCell(1, 1).SetMultiLine(false);
  g.GetCell(2, 1).SetDimmed(false);
  g.GetCell(0, 0).SetDimmed(false);
  EXPECT_LT(g.GetLookCount(), looks);
  EXPECT_EQ(g.GetLookCount(), 1u);
}

TEST_F(GridPaint, SelectionFrameOnlyAroundSeveralCells) {
  XLGrid& g = Make(4, 4, kRangeSelect);
  g.SetSelection(1, 1, 2, 2);
  const auto& log = PaintLog();
  ASSERT_EQ(Count(log, CanvasOp::FrameRect), 1);
  const int f = Find(log, CanvasOp::FrameRect, Rect{101, 41, 240, 80});
  ASSERT_GE(f, 0);
  EXPECT_EQ(log[size_t(f)].C, kClHighlightText);
  // Frame before the current cell, and both before the titles.
  EXPECT_LT(f, Find(log, CanvasOp::DrawFocusRect, Rect{31, 21, 100, 40}));
  EXPECT_EQ(log[size_t(Find(log, CanvasOp::FillRect, Rect{100, 40, 170, 60}))].C, kClHighlight);
  g.SetSelection(1, 1, 1, 1);
  EXPECT_EQ(Count(PaintLog(), CanvasOp::FrameRect), 0);
}

TEST_F(GridPaint, SizedColumnTitlesFollowThePendingWidth) {
  XLGrid& g = Make(5, 3, kTableViewOptions);
  g.SetSizingCol(1, 100);
  const auto& log = PaintLog();
  // The cells keep their widths until the button is released.
  EXPECT_GE(Find(log, CanvasOp::FillRect, Rect{170, 20, 240, 40}), 0);
  // The titles follow the mouse: column 1 is 100 wide, the rest shifted.
  EXPECT_GE(Find(log, CanvasOp::FillRect, Rect{100, 0, 200, 20}), 0);
  EXPECT_GE(Find(log, CanvasOp::FillRect, Rect{200, 0, 270, 20}), 0);
  EXPECT_GE(Find(log, CanvasOp::FillRect, Rect{340, 0, 410, 20}), 0);
  EXPECT_EQ(Find(log, CanvasOp::FillRect, Rect{100, 0, 170, 20}), -1);
  // The dotted guide spans the new extent over the whole control.
  EXPECT_GE(Find(log, CanvasOp::DrawFocusRect, Rect{100, -1, 201, g.GetHeight()}), 0);

  g.SetSizingCol(-1, -1);
  g.SetSizingRow(1, 35);
  const auto& rows = PaintLog();
  EXPECT_GE(Find(rows, CanvasOp::FillRect, Rect{0, 40, 30, 75}), 0);
  EXPECT_GE(Find(rows, CanvasOp::FillRect, Rect{0, 75, 30, 95}), 0);
  EXPECT_GE(Find(rows, CanvasOp::DrawFocusRect, Rect{-1, 40, g.GetWidth(), 76}), 0);
  // A border under the pointer without sizing draws no guide.
  g.SetSizingRow(1, -1);
  EXPECT_EQ(Count(PaintLog(), CanvasOp::DrawFocusRect), 1);  // the current cell's
}

TEST_F(GridPaint, NothingIsPaintedWhileUpdatesAreLocked) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  g.BeginUpdate();
  EXPECT_TRUE(PaintLog().empty());
  auto canvas = g.NewWindowCanvas();
  g.Paint(*canvas);
  EXPECT_TRUE(Buffer().GetLog().empty());
  g.EndUpdate();
  EXPECT_FALSE(PaintLog().empty());
}

TEST_F(GridPaint, ScrolledOutCurrentCellStaysUnderTheTitles) {
  XLGrid& g = Make(3, 30, kTableViewOptions);
  g.SetTopRow(5);
  const auto& log = PaintLog();
  const int f = Find(log, CanvasOp::DrawFocusRect, Rect{31, -79, 100, -60});
  ASSERT_GE(f, 0);
  // The first visible row is drawn unhighlighted.
  const int first = Find(log, CanvasOp::FillRect, Rect{30, 20, 100, 40});
  ASSERT_GE(first, 0);
  EXPECT_EQ(log[size_t(first)].C, kClWindow);
  EXPECT_EQ(Buffer().GetPixel(50, 30), ResolveColor(kClWindow));
}

TEST_F(GridPaint, RasterOfAPaintedGrid) {
  XLGrid& g = Make(5, 12, kTableViewOptions, 420, 260);
  g.SetColTitles({"NAME", "SIZE", "TYPE", "DATE", "MEMO"});
  for (int r = 0; r < 12; ++r) {
    g.SetRowTitle(r, std::to_string(r + 1));
    for (int c = 0; c < 5; ++c) g.GetCell(c, r).SetText("R" + std::to_string(r) + "C" + std::to_string(c));
  }
  g.GetCell(2, 3).SetColor(NewRgb(255, 255, 160));
  g.GetCell(2, 3).SetText("x&&y &Key");
  g.MarkRow(5, true);
  g.SetCurrentCell(1, 2);
  headless::SendMessageTo(g, kWmPaint);
  const headless::HeadlessCanvas& screen = headless::GetWindowSurface(g);
  ASSERT_TRUE(screen.SaveBmp(std::string(GRID_TEST_OUTPUT_DIR) + "/grid_paint.bmp"));
  // The window shows exactly the buffer.
  EXPECT_EQ(screen.GetPixels(), Buffer().GetPixels());
  EXPECT_EQ(screen.GetPixel(415, 250), ResolveColor(kClWindow));  // right of the last column
  EXPECT_EQ(screen.GetPixel(100, 50), ResolveColor(kClBtnShadow));  // a line
  EXPECT_EQ(screen.GetPixel(150, 70), ResolveColor(kClHighlight));  // the current cell
  EXPECT_EQ(screen.GetPixel(230, 95), ResolveColor(NewRgb(255, 255, 160)));
  EXPECT_EQ(screen.GetPixel(200, 130), ResolveColor(kClHighlight));  // the marked row
  EXPECT_EQ(screen.GetPixel(4, 130), ResolveColor(kCl3DDkShadow));  // its title
}

}  // namespace
}  // namespace tabulon
