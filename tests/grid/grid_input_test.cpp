// The message handler: clicks, sizing, marking, moving, keys, the wheel
// and scroll requests, driven with messages through the headless backend.
#include "edit.h"
#include "grid_test_support.h"
#include "input.h"

namespace tabulon {
namespace {

using GridInput = GridTest;

TEST_F(GridInput, ClickMakesACellCurrentAndDoubleClickEditsOnlyDataCells) {
  XLGrid& g = Make(4, 4, kTableViewOptions);
  auto editor = NewEdit(form_.get());
  int begun = 0;
  g.SetOnBeginEdit([&](XLGrid&, int, int, Control*& e, Control*&, XLGridSides&) {
    ++begun;
    e = editor.get();
  });
  headless::SendMouse(g, kWmLButtonDown, 120, 50);
  headless::SendMouse(g, kWmLButtonUp, 120, 50);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{1, 1}));
  EXPECT_TRUE(g.IsFocused());
  headless::SendMouse(g, kWmLButtonDblClk, 120, 10);  // a title
  EXPECT_EQ(begun, 0);
  headless::SendMouse(g, kWmLButtonDblClk, 120, 50);
  EXPECT_EQ(begun, 1);
  EXPECT_EQ(g.GetEditor(), editor.get());
  EXPECT_EQ(editor->GetBounds(), g.CellRect(1, 1));
  EXPECT_EQ(editor->GetParent(), &g);
  g.EndEdit(false, true);  // the editor goes before the grid
}

TEST_F(GridInput, EnterAcceptsEscapeCancelsAndTheTextIsCut) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  auto editor = NewEdit(form_.get());
  std::string seen;
  g.SetOnBeginEdit([&](XLGrid&, int, int, Control*& e, Control*&, XLGridSides&) { e = editor.get(); });
  g.SetOnEndEdit([&](XLGrid&, int, int, Control*, Control*, std::string& text, bool, bool&) { seen = text; });
  g.GetCell(0, 0).SetText("old");
  g.SetFocus();
  headless::PressKey(g, kVkReturn);
  ASSERT_EQ(g.GetEditor(), editor.get());
  EXPECT_EQ(editor->GetText(), "old");
  EXPECT_TRUE(editor->IsFocused());
  editor->SetText(std::string(2000, 'z'));
  headless::PressKey(*editor, kVkReturn);
  EXPECT_EQ(g.GetEditor(), nullptr);
  EXPECT_EQ(seen.size(), 1023u);
  EXPECT_EQ(g.GetCell(0, 0).GetText().size(), 1023u);
  EXPECT_TRUE(g.IsFocused());
  EXPECT_FALSE(editor->IsVisible());

  headless::PressKey(g, kVkF2);
  editor->SetText("no");
  headless::PressKey(*editor, kVkEscape);
  EXPECT_EQ(g.GetEditor(), nullptr);
  EXPECT_EQ(g.GetCell(0, 0).GetText().size(), 1023u);
}

TEST_F(GridInput, RefusedEndKeepsTheEditorAndIgnoresClicksUntilAResize) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  auto editor = NewEdit(form_.get());
  bool allow_end = false;
  g.SetOnBeginEdit([&](XLGrid&, int, int, Control*& e, Control*&, XLGridSides&) { e = editor.get(); });
  g.SetOnEndEdit([&](XLGrid&, int, int, Control*, Control*, std::string&, bool, bool& allow) {
    allow = allow_end;
  });
  g.BeginEdit();
  editor->SetText("typed");
  headless::SendMouse(g, kWmLButtonDown, 120, 50);
  EXPECT_EQ(g.GetEditor(), editor.get());
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 0}));  // the click did nothing
  g.SetBounds(0, 0, 300, 200);  // forced: closes without storing
  EXPECT_EQ(g.GetEditor(), nullptr);
  EXPECT_EQ(g.GetCell(0, 0).GetText(), "");
}

TEST_F(GridInput, SizingAColumnEndsAtWidthOne) {
  XLGrid& g = Make(4, 4, kTableViewOptions);
  headless::SendMouse(g, kWmMouseMove, 100, 10);  // column 0's border
  EXPECT_EQ(g.GetCursor(), g.GetColSizingCursor());
  headless::SendMouse(g, kWmLButtonDown, 100, 10);
  headless::SendMouse(g, kWmMouseMove, 140, 200);  // into the data area
  EXPECT_EQ(g.GetSizingColWidth(), 110);
  EXPECT_EQ(g.GetColWidth(0), 70);
  headless::SendMouse(g, kWmMouseMove, -300, 10);
  EXPECT_EQ(g.GetSizingColWidth(), 1);
  headless::SendMouse(g, kWmLButtonUp, -300, 10);
  EXPECT_EQ(g.GetColWidth(0), 1);
  EXPECT_EQ(g.GetSizingCol(), -1);
}

TEST_F(GridInput, HoverZoneOfAFortyPixelColumn) {
  XLGrid& g = Make(4, 4, kTableViewOptions);
  g.SetColWidth(0, 40);  // right border at 70
  for (int x : {69, 70, 71}) {
    headless::SendMouse(g, kWmMouseMove, x, 10);
    EXPECT_EQ(g.GetCursor(), g.GetColSizingCursor()) << x;
  }
  headless::SendMouse(g, kWmMouseMove, 72, 10);
  EXPECT_EQ(g.GetCursor(), nullptr);
  headless::SendMouse(g, kWmMouseMove, 70, 50);  // the data area
  EXPECT_EQ(g.GetCursor(), nullptr);
}

TEST_F(GridInput, CtrlClickMarksRows) {
  XLGrid& g = Make(3, 5, kTableViewOptions);
  headless::SendMouse(g, kWmLButtonDown, 10, 50);
  headless::SendMouse(g, kWmLButtonUp, 10, 50);
  EXPECT_TRUE(g.IsRowMarked(1));
  headless::SendMouse(g, kWmLButtonDown, 10, 90, kMkControl);
  headless::SendMouse(g, kWmLButtonUp, 10, 90);
  EXPECT_TRUE(g.IsRowMarked(1));
  EXPECT_TRUE(g.IsRowMarked(3));
  headless::SendMouse(g, kWmLButtonDown, 10, 90, kMkControl);  // toggles
  headless::SendMouse(g, kWmLButtonUp, 10, 90);
  EXPECT_FALSE(g.IsRowMarked(3));
  headless::SendMouse(g, kWmLButtonDown, 10, 70);  // a plain click clears
  headless::SendMouse(g, kWmLButtonUp, 10, 70);
  EXPECT_FALSE(g.IsRowMarked(1));
  EXPECT_TRUE(g.IsRowMarked(2));
}

TEST_F(GridInput, AltDragMovesAColumnAndPlacesThePointer) {
  XLGrid& g = Make(4, 3, kTableViewOptions);
  g.SetColTitles({"A", "B", "C", "D"});
  headless::SetKeyDown(kVkMenu, true);
  headless::SendMouse(g, kWmLButtonDown, 60, 10);  // column 0
  EXPECT_EQ(g.GetMovingCol(), 0);
  EXPECT_TRUE(g.GetDragImages().IsDragging());
  headless::SendMouse(g, kWmMouseMove, 200, 10);
  headless::SendMouse(g, kWmLButtonUp, 200, 10);  // over column 2
  headless::SetKeyDown(kVkMenu, false);
  EXPECT_EQ(g.GetColTitle(2), "A");
  EXPECT_FALSE(g.GetDragImages().IsDragging());
  EXPECT_EQ(headless::GetCursorDisplayCount(), 0);
  const Rect r = g.CellRect(2, 0);
  EXPECT_EQ(GetCursorPos(), g.ClientToScreen(Point{(r.Left + r.Right) / 2, 10}));
  // Dropped over the row titles: position 0.
  headless::SetKeyDown(kVkMenu, true);
  headless::SendMouse(g, kWmLButtonDown, 200, 10);
  headless::SendMouse(g, kWmLButtonUp, 5, 10);
  headless::SetKeyDown(kVkMenu, false);
  EXPECT_EQ(g.GetColTitle(0), "A");
}

TEST_F(GridInput, WheelAndScrollRequests) {
  XLGrid& g = Make(3, 100, kTableViewOptions, 400, 221);
  ASSERT_EQ(g.VisibleRowCount(), 10);
  g.SetTopRow(50);
  headless::SendMessageTo(g, kWmMouseWheel, MakeWParam(0, uint16_t(120)));
  EXPECT_EQ(g.GetTopRow(), 49);
  headless::SendMessageTo(g, kWmMouseWheel, MakeWParam(0, uint16_t(-240)));
  EXPECT_EQ(g.GetTopRow(), 51);
  headless::SendMessageTo(g, kWmMouseWheel, MakeWParam(0, uint16_t(119)));
  EXPECT_EQ(g.GetTopRow(), 51);
  headless::SendMessageTo(g, kWmMouseWheel, MakeWParam(kMkControl, uint16_t(120)));
  EXPECT_EQ(g.GetTopRow(), 42);
  headless::SendMessageTo(g, kWmMouseWheel, MakeWParam(kMkControl, uint16_t(-1200)));
  EXPECT_EQ(g.GetTopRow(), 90);
  headless::SendMessageTo(g, kWmVScroll, MakeWParam(kSbTop, 0));
  EXPECT_EQ(g.GetTopRow(), 0);
  headless::SendMessageTo(g, kWmVScroll, MakeWParam(kSbPageDown, 0));
  EXPECT_EQ(g.GetTopRow(), 9);
  headless::SendMessageTo(g, kWmVScroll, MakeWParam(kSbThumbTrack, 300));
  EXPECT_EQ(g.GetTopRow(), 90);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 0}));  // never moved
}

TEST_F(GridInput, NavigationKeys) {
  XLGrid& g = Make(8, 40, kTableViewOptions | kRangeSelect, 400, 221);
  g.SetFocus();
  headless::PressKey(g, kVkRight);
  headless::PressKey(g, kVkDown);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{1, 1}));
  headless::PressKey(g, kVkNext);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{1, 10}));
  EXPECT_EQ(g.GetTopRow(), 9);
  headless::PressKey(g, kVkPrior);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{1, 1}));
  headless::PressKey(g, kVkEnd);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{7, 1}));
  headless::PressKey(g, kVkHome);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 1}));
  headless::SetKeyDown(kVkControl, true);
  headless::PressKey(g, kVkEnd);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{7, 39}));
  headless::PressKey(g, kVkNext);  // nothing with Ctrl
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{7, 39}));
  headless::PressKey(g, kVkHome);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 0}));
  headless::SetKeyDown(kVkControl, false);
  // Shift grows the selection from the pivot and shrinks it back.
  headless::SetKeyDown(kVkShift, true);
  headless::PressKey(g, kVkRight);
  headless::PressKey(g, kVkRight);
  EXPECT_EQ(g.GetSelection(), (XLGridRange{0, 0, 2, 0}));
  headless::PressKey(g, kVkLeft);
  EXPECT_EQ(g.GetSelection(), (XLGridRange{0, 0, 1, 0}));
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 0}));
  headless::SetKeyDown(kVkShift, false);
}

}  // namespace
}  // namespace tabulon
