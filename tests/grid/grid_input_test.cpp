// The message handler: clicks, sizing, marking, moving, keys, the wheel
// and scroll requests, driven with messages through the headless backend.
#include "button.h"
#include "edit.h"
#include "grid_test_support.h"
#include "input.h"
#include "panel.h"

namespace tabulon {
namespace {

using GridInput = GridTest;

TEST_F(GridInput, ClickMakesACellCurrentAndDoubleClickEditsOnlyDataCells) {
  XLGrid& g = Make(4, 4, kTableViewOptions);
  auto editor = NewEdit(form_.get());
  int begun = 0;
  source_.Begin = ([&](int, int, Control*& e, Control*&, XLGridSides&) {
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
  source_.Begin = ([&](int, int, Control*& e, Control*&, XLGridSides&) { e = editor.get(); });
  source_.End = ([&](int, int, std::string& text, bool, bool&) { seen = text; });
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

  // Typing on a cell starts its edit with the character typed (a code
  // point, UTF-8 in the editor).
  headless::SendMessageTo(g, kWmChar, 0x0416);  // Ж
  ASSERT_EQ(g.GetEditor(), editor.get());
  EXPECT_EQ(editor->GetText(), "Ж");
  headless::PressKey(*editor, kVkReturn);
  EXPECT_EQ(g.GetCell(0, 0).GetText(), "Ж");
  headless::SendMessageTo(g, kWmChar, 0x0D);  // Enter's character starts nothing
  EXPECT_EQ(g.GetEditor(), nullptr);
}

TEST_F(GridInput, RefusedEndKeepsTheEditorAndIgnoresClicksUntilAResize) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  auto editor = NewEdit(form_.get());
  bool allow_end = false;
  source_.Begin = ([&](int, int, Control*& e, Control*&, XLGridSides&) { e = editor.get(); });
  source_.End = ([&](int, int, std::string&, bool, bool& allow) {
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

TEST_F(GridInput, CompoundEditorStaysOpenWhileTheFocusMovesBetweenItsParts) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  auto box = NewPanel(form_.get(), PanelOptions{Align::None, 22, false});
  auto text = NewEdit(box.get());
  auto drop = NewButton(box.get(), "v");
  int ends = 0;
  source_.Begin = ([&](int, int, Control*& e, Control*& ec, XLGridSides& m) {
    e = box.get();
    ec = text.get();
    m = XLGridSides{2, 1, 3, 4};
  });
  source_.End = ([&](int, int, std::string& t, bool, bool&) {
    ++ends;
    EXPECT_EQ(t, "new");
  });
  g.GetCell(0, 0).SetText("old");
  g.SetFocus();
  headless::PressKey(g, kVkF2);
  ASSERT_EQ(g.GetEditor(), box.get());
  EXPECT_EQ(g.GetEditControl(), text.get());
  EXPECT_EQ(text->GetText(), "old");
  EXPECT_TRUE(text->IsFocused());
  const Rect r = g.CellRect(0, 0);
  EXPECT_EQ(box->GetBounds(), (Rect{r.Left + 2, r.Top + 1, r.Right - 3, r.Bottom - 4}));
  text->SetText("new");
  headless::ClickButton(*drop);  // the edit control loses the focus to its sibling
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(g.GetEditor(), box.get());
  EXPECT_TRUE(box->IsVisible());
  text->SetFocus();
  EXPECT_EQ(ends, 0);
  headless::PressKey(*text, kVkReturn);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(g.GetEditor(), nullptr);
  EXPECT_EQ(g.GetCell(0, 0).GetText(), "new");
  EXPECT_FALSE(box->IsVisible());
  EXPECT_TRUE(g.IsFocused());
}

// The owner may destroy what it lent at any time; the grid must neither
// reach the freed control nor ask about an edit that has no editor left.
TEST_F(GridInput, AnEditorItsOwnerDestroysIsForgottenUnasked) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  std::unique_ptr<Edit> editor = NewEdit(form_.get());
  int ends = 0;
  bool destroy_in_end = false;
  source_.Begin = ([&](int, int, Control*& e, Control*&, XLGridSides&) { e = editor.get(); });
  source_.End = ([&](int, int, std::string&, bool, bool&) {
    ++ends;
    if (destroy_in_end) editor.reset();
  });
  g.GetCell(0, 0).SetText("old");
  g.BeginEdit();
  editor->SetText("typed");
  editor.reset();
  EXPECT_EQ(g.GetEditor(), nullptr);
  EXPECT_EQ(g.GetEditControl(), nullptr);
  headless::SendMouse(g, kWmLButtonDown, 120, 50);  // not refused: the click goes on
  headless::SendMouse(g, kWmLButtonUp, 120, 50);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{1, 1}));
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(g.GetCell(0, 0).GetText(), "old");

  // A new editor serves the next edit; its owner frees it while deciding.
  editor = NewEdit(form_.get());
  g.BeginEdit();
  ASSERT_EQ(g.GetEditor(), editor.get());
  editor->SetText("kept");
  destroy_in_end = true;
  headless::SendMouse(g, kWmLButtonDown, 190, 70);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(g.GetEditor(), nullptr);
  EXPECT_EQ(g.GetCell(1, 1).GetText(), "kept");
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{2, 2}));
}

TEST_F(GridInput, ACompoundEditorLosingAPartEndsTheEdit) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  std::unique_ptr<Panel> box = NewPanel(form_.get(), PanelOptions{Align::None, 22, false});
  std::unique_ptr<Edit> text = NewEdit(box.get());
  int ends = 0;
  source_.Begin = ([&](int, int, Control*& e, Control*& ec, XLGridSides&) {
    e = box.get();
    ec = text.get();
  });
  source_.End = ([&](int, int, std::string&, bool, bool&) { ++ends; });
  // The edit control goes: no text to read, the rest of the editor is hidden.
  g.BeginEdit();
  text.reset();
  EXPECT_EQ(g.GetEditControl(), nullptr);
  EXPECT_TRUE(g.EndEdit(true, false));
  EXPECT_FALSE(box->IsVisible());
  EXPECT_EQ(g.GetEditor(), nullptr);
  // The editor goes and its edit control is parked alive.
  text = NewEdit(box.get());
  g.BeginEdit();
  ASSERT_EQ(g.GetEditControl(), text.get());
  box.reset();
  EXPECT_EQ(g.GetEditor(), nullptr);
  g.SetBounds(0, 0, 300, 200);  // a forced end
  EXPECT_EQ(g.GetEditControl(), nullptr);
  EXPECT_EQ(ends, 0);
}

// An edit ended by force leaves the focus where it was; the next edit with
// another editor must not be ended by the old editor losing the focus.
TEST_F(GridInput, ANewEditorIsNotEndedByTheLastOnesFocusLoss) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  auto first = NewEdit(form_.get());
  auto second = NewEdit(form_.get());
  int ends = 0;
  source_.Begin = ([&](int col, int, Control*& e, Control*&, XLGridSides&) {
    e = col == 0 ? first.get() : second.get();
  });
  source_.End = ([&](int, int, std::string&, bool, bool&) { ++ends; });
  g.SetCurrentCell(0, 0);
  g.BeginEdit();
  ASSERT_TRUE(first->IsFocused());
  g.EndEdit(false, true);
  g.SetCurrentCell(1, 0);
  g.BeginEdit();
  EXPECT_EQ(g.GetEditor(), second.get());
  EXPECT_TRUE(second->IsFocused());
  EXPECT_EQ(ends, 1);
}

TEST_F(GridInput, TheGridsHandlersLeaveAnEditorShownElsewhere) {
  XLGrid& g = Make(3, 3, kTableViewOptions);
  auto editor = NewEdit(form_.get());
  auto other = NewEdit(form_.get());
  source_.Begin = ([&](int, int, Control*& e, Control*&, XLGridSides&) { e = editor.get(); });
  g.BeginEdit();
  headless::PressKey(*editor, kVkReturn);
  ASSERT_EQ(g.GetEditor(), nullptr);
  editor->SetParent(form_.get());  // the owner uses it for something else
  editor->Show();
  grid_.reset();
  EXPECT_FALSE(editor->OnExit);
  EXPECT_FALSE(editor->OnKeyDown);
  editor->SetFocus();
  other->SetFocus();  // would reach the grid that is gone
  headless::PressKey(*editor, kVkReturn);
  EXPECT_TRUE(other->IsFocused());
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
  // Dragged over the titles, the run follows the pointer both ways.
  headless::SendMouse(g, kWmLButtonDown, 10, 30);
  headless::SendMouse(g, kWmMouseMove, 10, 110, kMkLButton);
  headless::SendMouse(g, kWmMouseMove, 10, 70, kMkLButton);
  headless::SendMouse(g, kWmLButtonUp, 10, 70);
  for (int r = 0; r < 5; ++r) EXPECT_EQ(g.IsRowMarked(r), r <= 2) << r;
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

// Held off either edge, the moved column's picture scrolls the grid: to
// the last column at most on the right, one column per move on the left.
// Released outside the window the drag goes on until a button-up inside.
TEST_F(GridInput, AMovedColumnDraggedOffTheEdgesScrollsTheGrid) {
  XLGrid& g = Make(10, 3, kTableViewOptions);
  ASSERT_EQ(g.VisibleColCount(), 5);
  g.SetColTitles({"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"});
  headless::SetKeyDown(kVkMenu, true);
  headless::SendMouse(g, kWmLButtonDown, 130, 10);  // column 1: 100..170
  headless::SetKeyDown(kVkMenu, false);
  ASSERT_EQ(g.GetMovingCol(), 1);
  headless::ClearDragCalls();
  headless::SendMouse(g, kWmMouseMove, 400, 150);
  EXPECT_EQ(g.GetLeftCol(), 1);
  headless::SendMouse(g, kWmMouseMove, 600, 10);  // beyond the window
  EXPECT_EQ(g.GetLeftCol(), 5);
  headless::SendMouse(g, kWmMouseMove, 2000, -40);
  EXPECT_EQ(g.GetLeftCol(), 5);
  headless::SendMouse(g, kWmMouseMove, 10, 10);  // over the row titles
  EXPECT_EQ(g.GetLeftCol(), 4);
  headless::SendMouse(g, kWmMouseMove, -50, 10);
  EXPECT_EQ(g.GetLeftCol(), 3);
  EXPECT_EQ(g.GetMovingCol(), 1);
  EXPECT_TRUE(g.GetDragImages().IsDragging());
  // The picture follows the pointer along the title row only.
  int moves = 0;
  for (const headless::DragCall& call : headless::GetDragCalls()) {
    if (call.Name != "DragMove") continue;
    ++moves;
    EXPECT_EQ(call.B, headless::kBorderSize);
  }
  EXPECT_EQ(moves, 5);
  headless::SendMouse(g, kWmLButtonUp, 200, 10);  // over column 5: 170..240
  EXPECT_EQ(g.GetColTitle(5), "B");
  EXPECT_EQ(g.GetColTitle(1), "C");
  EXPECT_EQ(g.GetLeftCol(), 3);
  EXPECT_EQ(GetCursorPos(), g.ClientToScreen(Point{205, 10}));
  EXPECT_FALSE(g.GetDragImages().IsDragging());
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

// Shift+Page Up and Page Down move the far edge of the selection by a page
// less one row, after the page has scrolled; the current cell stays.
TEST_F(GridInput, ShiftPageKeysMoveTheFarEdgeOfTheSelection) {
  XLGrid& g = Make(8, 40, kTableViewOptions | kRangeSelect, 400, 221);
  g.SetCurrentCell(1, 5);
  g.SetFocus();
  headless::SetKeyDown(kVkShift, true);
  struct Step {
    int Key;
    XLGridRange Selection;
    int TopRow;
  };
  const Step steps[] = {
      {kVkNext, {1, 5, 1, 14}, 9},   // grows down from the pivot
      {kVkNext, {1, 5, 1, 23}, 18},
      {kVkPrior, {1, 5, 1, 14}, 9},  // shrinks back from below
      {kVkPrior, {1, 5, 1, 5}, 0},
      {kVkPrior, {1, 0, 1, 5}, 0},   // grows up, stopping at row 0
      {kVkNext, {1, 5, 1, 9}, 5},    // the top edge crosses the pivot
  };
  for (const Step& s : steps) {
    headless::PressKey(g, s.Key);
    EXPECT_EQ(g.GetSelection(), s.Selection) << s.Selection.Top << ".." << s.Selection.Bottom;
    EXPECT_EQ(g.GetTopRow(), s.TopRow) << s.Selection.Top << ".." << s.Selection.Bottom;
    EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{1, 5}));
  }
  headless::SetKeyDown(kVkShift, false);
  g.SetCurrentCell(1, 35);
  headless::SetKeyDown(kVkShift, true);
  headless::PressKey(g, kVkNext);
  EXPECT_EQ(g.GetSelection(), (XLGridRange{1, 35, 1, 39}));
  EXPECT_EQ(g.GetTopRow(), 30);
  // Without RangeSelect Shift is not looked at.
  g.SetOptions(kTableViewOptions);
  g.SetTopRow(20);
  headless::PressKey(g, kVkNext);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{1, 39}));
  EXPECT_EQ(g.GetSelection(), (XLGridRange{1, 39, 1, 39}));
  headless::SetKeyDown(kVkShift, false);
}

}  // namespace
}  // namespace tabulon
