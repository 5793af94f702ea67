// The grid on a real window of the Win32 backend: clicks, double clicks
// and keys sent as window messages, typing into the lent editor, and the
// cell read back after the edit ends.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "edit.h"
#include "form.h"
#include "test_source.h"
#include "xl_grid.h"

#include <windows.h>

namespace tabulon {
namespace {

HWND H(const Control& c) { return reinterpret_cast<HWND>(c.GetHandle()); }

std::wstring WindowText(HWND w) {
  wchar_t text[256] = {};
  GetWindowTextW(w, text, 256);
  return text;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// A key as the keyboard would queue it for the window.
void PostKey(HWND w, UINT key) {
  PostMessageW(w, WM_KEYDOWN, key, 1);
  PostMessageW(w, WM_KEYUP, key, LPARAM(0xC0000001u));
  Pump();
}

void PostChars(HWND w, const std::wstring& chars) {
  for (wchar_t ch : chars) PostMessageW(w, WM_CHAR, WPARAM(ch), 1);
  Pump();
}

// The options of the program's table view.
constexpr uint8_t kTableViewOptions = 0x7C;

class Win32Grid : public ::testing::Test {
 protected:
  void SetUp() override {
    form = NewForm("Grid");
    form->SetPosition(40, 40);
    form->SetClientSize(500, 320);
    form->Show();
    SetForegroundWindow(H(*form));
    grid = NewXLGrid(form.get(), 4, 5, kTableViewOptions);
    grid->SetBounds(10, 10, 420, 260);
    // As the program keeps its editors: ready-made and hidden.
    editor = NewEdit(form.get());
    editor->Hide();
    grid->SetDataSource(&source);
    source.Begin = [this](int, int, Control*& e, Control*&, XLGridSides&) { e = editor.get(); };
    source.End = [this](int, int, std::string& text, bool accept, bool&) {
      ++ends;
      if (accept) seen = text;
    };
    Pump();
  }

  void TearDown() override {
    grid.reset();
    editor.reset();
    form.reset();
    Pump();
  }

  // The middle of a cell in the grid's client coordinates.
  LPARAM At(int col, int row) const {
    const Rect r = grid->CellRect(col, row);
    return MAKELPARAM((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }

  void Click(int col, int row) {
    SendMessageW(H(*grid), WM_LBUTTONDOWN, MK_LBUTTON, At(col, row));
    SendMessageW(H(*grid), WM_LBUTTONUP, 0, At(col, row));
    Pump();
  }

  std::unique_ptr<Form> form;
  TestSource source;
  std::unique_ptr<XLGrid> grid;
  std::unique_ptr<Edit> editor;
  std::string seen;
  int ends = 0;
};

TEST_F(Win32Grid, ClickDoubleClickTypeAndEnterStoreTheText) {
  grid->GetCell(1, 1).SetText("old");
  Click(1, 1);
  EXPECT_EQ(grid->GetCurrentCell(), (XLGridCoord{1, 1}));
  EXPECT_EQ(::GetFocus(), H(*grid));

  // The button-down of a double click comes first; then the double click.
  SendMessageW(H(*grid), WM_LBUTTONDOWN, MK_LBUTTON, At(1, 1));
  SendMessageW(H(*grid), WM_LBUTTONUP, 0, At(1, 1));
  SendMessageW(H(*grid), WM_LBUTTONDBLCLK, MK_LBUTTON, At(1, 1));
  SendMessageW(H(*grid), WM_LBUTTONUP, 0, At(1, 1));
  Pump();
  ASSERT_EQ(grid->GetEditor(), editor.get());
  const HWND e = H(*editor);
  EXPECT_EQ(::GetParent(e), H(*grid));
  EXPECT_TRUE(IsWindowVisible(e));
  EXPECT_EQ(::GetFocus(), e);
  EXPECT_EQ(WindowText(e), L"old");
  // Over the cell, border lines included.
  RECT wr{};
  GetWindowRect(e, &wr);
  MapWindowPoints(nullptr, H(*grid), reinterpret_cast<POINT*>(&wr), 2);
  EXPECT_EQ((Rect{int(wr.left), int(wr.top), int(wr.right), int(wr.bottom)}), grid->CellRect(1, 1));

  SendMessageW(e, EM_SETSEL, 0, -1);
  PostChars(e, L"\x0401\x043B\x043A\x0430 7");  // "Ёлка 7" replaces the text
  PostKey(e, VK_RETURN);
  EXPECT_EQ(grid->GetEditor(), nullptr);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(seen, "Ёлка 7");
  EXPECT_EQ(grid->GetCell(1, 1).GetText(), "Ёлка 7");
  EXPECT_FALSE(IsWindowVisible(e));
  EXPECT_EQ(::GetParent(e), H(*grid));  // stays a hidden child of the grid
  EXPECT_EQ(::GetFocus(), H(*grid));
}

TEST_F(Win32Grid, FocusLossAcceptsEscapeCancelsAndADestroyedEditorIsForgotten) {
  auto other = NewEdit(form.get());
  other->SetBounds(10, 280, 100, 22);
  grid->SetFocus();
  PostKey(H(*grid), VK_F2);
  ASSERT_EQ(grid->GetEditor(), editor.get());
  SetWindowTextW(H(*editor), L"typed");
  ::SetFocus(H(*other));  // the editor loses the focus: accepted
  EXPECT_EQ(grid->GetEditor(), nullptr);
  EXPECT_EQ(grid->GetCell(0, 0).GetText(), "typed");
  EXPECT_TRUE(other->IsFocused());

  grid->SetFocus();
  PostKey(H(*grid), VK_F2);
  ASSERT_EQ(grid->GetEditor(), editor.get());
  EXPECT_EQ(WindowText(H(*editor)), L"typed");
  PostChars(H(*editor), L"!");
  PostKey(H(*editor), VK_ESCAPE);
  EXPECT_EQ(grid->GetEditor(), nullptr);
  EXPECT_EQ(grid->GetCell(0, 0).GetText(), "typed");
  EXPECT_EQ(::GetFocus(), H(*grid));
  EXPECT_EQ(ends, 2);

  // The owner destroys its editor in the middle of an edit: the next click
  // goes on as if the editor had been hidden.
  PostKey(H(*grid), VK_RETURN);
  ASSERT_EQ(grid->GetEditor(), editor.get());
  editor.reset();
  Click(2, 3);
  EXPECT_EQ(grid->GetEditor(), nullptr);
  EXPECT_EQ(grid->GetCurrentCell(), (XLGridCoord{2, 3}));
  EXPECT_EQ(ends, 2);
  EXPECT_EQ(::GetFocus(), H(*grid));
}

// The rightmost column of cell (col, row) holding ink darker than the
// window's background, relative to the cell's left edge; -1 when none.
int InkExtent(XLGrid& g, int col, int row) {
  const Rect r = g.CellRect(col, row);
  HDC dc = GetDC(H(g));
  int extent = -1;
  for (int x = r.Left + 2; x < r.Right - 2; ++x)
    for (int y = r.Top + 2; y < r.Bottom - 2; ++y)
      if (GetRValue(::GetPixel(dc, x, y)) < 128) extent = x - r.Left;
  ReleaseDC(H(g), dc);
  return extent;
}

// Cell texts are data: an ampersand is drawn, not taken as a mnemonic
// ("A&B" as the platform draws captions would be "AB", B underlined).
TEST_F(Win32Grid, AnAmpersandInACellIsDrawnAsItIs) {
  grid->SetCurrentCell(3, 4);  // out of the way of the cells read
  grid->GetCell(1, 0).SetText("A&B");
  grid->GetCell(2, 0).SetText("AB");
  RedrawWindow(H(*grid), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Pump();
  const int with = InkExtent(*grid, 1, 0);
  const int without = InkExtent(*grid, 2, 0);
  ASSERT_GT(without, 0);
  EXPECT_GT(with, without + 2);
}

// As a spreadsheet: the editor starts with the whole text selected, so
// typing replaces it; a multi-line editor takes Ctrl+Enter as a line break
// and Enter as the end of the edit.
TEST_F(Win32Grid, EditsStartSelectedAndCtrlEnterBreaksAMemoLine) {
  auto memo = NewMemo(form.get());
  memo->Hide();
  source.Begin = [&](int col, int, Control*& e, Control*&, XLGridSides&) {
    if (col == 3) e = memo.get();
    else e = editor.get();
  };
  grid->GetCell(0, 0).SetText("111.11");
  grid->SetFocus();
  PostKey(H(*grid), VK_F2);
  ASSERT_EQ(grid->GetEditor(), editor.get());
  DWORD start = 0, end = 0;
  SendMessageW(H(*editor), EM_GETSEL, WPARAM(&start), LPARAM(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 6u);
  PostChars(H(*editor), L"7");
  PostKey(H(*editor), VK_RETURN);
  EXPECT_EQ(seen, "7");

  grid->GetCell(3, 0).SetText("ab");
  grid->SetCurrentCell(3, 0);
  grid->SetFocus();
  PostKey(H(*grid), VK_F2);
  ASSERT_EQ(grid->GetEditor(), memo.get());
  SendMessageW(H(*memo), EM_SETSEL, 2, 2);
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  PostKey(H(*memo), VK_RETURN);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  ASSERT_EQ(grid->GetEditor(), memo.get());  // still editing
  PostChars(H(*memo), L"cd");
  PostKey(H(*memo), VK_RETURN);
  EXPECT_EQ(grid->GetEditor(), nullptr);
  EXPECT_EQ(seen, "ab\r\ncd");
  grid.reset();  // before the memo it borrowed
}

}  // namespace
}  // namespace tabulon
