// The Win32 backend on real windows: every control kind on one form, text
// through the wide API, edit limits, scroll bars, the message hook, focus,
// notifications and modal showing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "button.h"
#include "clipboard.h"
#include "custom_control.h"
#include "edit.h"
#include "form.h"
#include "label.h"
#include "list_box.h"
#include "menu.h"
#include "panel.h"

#include <windows.h>

namespace tabulon {
namespace {

HWND H(const Control& c) { return reinterpret_cast<HWND>(c.GetHandle()); }

std::wstring ClassOf(const Control& c) {
  wchar_t name[64] = {};
  GetClassNameW(H(c), name, 64);
  return name;
}

std::wstring WindowText(HWND w) {
  wchar_t text[256] = {};
  GetWindowTextW(w, text, 256);
  return text;
}

void TypeChar(Control& c, wchar_t ch) { SendMessageW(H(c), WM_CHAR, WPARAM(ch), 1); }

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

class Win32Form : public ::testing::Test {
 protected:
  void SetUp() override {
    form = NewForm("Форма");
    form->SetPosition(40, 40);
    form->SetClientSize(400, 300);
    form->Show();
    SetForegroundWindow(H(*form));
    Pump();
  }
  std::unique_ptr<Form> form;
};

TEST_F(Win32Form, HoldsEveryControlKindInWindowsOfTheRightClass) {
  auto panel = NewPanel(form.get(), PanelOptions{Align::Top, 41, true});
  auto label = NewLabel(panel.get(), "Маска:");
  auto button = NewButton(panel.get(), "OK");
  auto check = NewCheckBox(form.get(), "OEM");
  auto edit = NewEdit(form.get());
  auto memo = NewMemo(form.get());
  auto list = NewListBox(form.get());
  auto combo = NewComboBox(form.get());
  CustomControlOptions co;
  co.ClassName = "TabulonTestGrid";
  auto custom = NewCustomControl(form.get(), co);
  auto menu = NewMenuBar(*form, {"Файл", "(", "Open", ")", "Help"});

  EXPECT_EQ(ClassOf(*form), L"TabulonForm");
  EXPECT_EQ(ClassOf(*panel), L"TabulonPanel");
  EXPECT_EQ(_wcsicmp(ClassOf(*label).c_str(), L"static"), 0);
  EXPECT_EQ(_wcsicmp(ClassOf(*button).c_str(), L"button"), 0);
  EXPECT_EQ(_wcsicmp(ClassOf(*check).c_str(), L"button"), 0);
  EXPECT_EQ(_wcsicmp(ClassOf(*edit).c_str(), L"edit"), 0);
  EXPECT_EQ(_wcsicmp(ClassOf(*memo).c_str(), L"edit"), 0);
  EXPECT_EQ(_wcsicmp(ClassOf(*list).c_str(), L"listbox"), 0);
  EXPECT_EQ(_wcsicmp(ClassOf(*combo).c_str(), L"combobox"), 0);
  EXPECT_EQ(ClassOf(*custom), L"TabulonTestGrid");
  EXPECT_EQ(GetParent(H(*label)), H(*panel));
  EXPECT_NE(GetWindowLongPtrW(H(*memo), GWL_STYLE) & ES_MULTILINE, 0);
  EXPECT_EQ(custom->GetClassStyle() & kCsDblClks, kCsDblClks);
  EXPECT_EQ(WindowText(H(*label)), L"\x041C\x0430\x0441\x043A\x0430:");
  EXPECT_EQ(WindowText(H(*form)), L"\x0424\x043E\x0440\x043C\x0430");

  // The menu: "Файл" opens a submenu with "Open" (item 1); "Help" is 2.
  HMENU bar = GetMenu(H(*form));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(GetMenuItemCount(bar), 2);
  wchar_t caption[32] = {};
  GetMenuStringW(bar, 0, caption, 32, MF_BYPOSITION);
  EXPECT_STREQ(caption, L"\x0424\x0430\x0439\x043B");
  EXPECT_EQ(GetMenuItemID(GetSubMenu(bar, 0), 0), UINT(MenuBar::kMenuCommandBase + 1));
  int chosen = -1;
  menu->OnItemClick = [&](MenuBar&, int index) { chosen = index; };
  SendMessageW(H(*form), WM_COMMAND, MAKEWPARAM(MenuBar::kMenuCommandBase + 2, 0), 0);
  EXPECT_EQ(chosen, 2);

  // The panel follows the form's width (WM_SIZE reaches the layout), below
  // the menu, and the label sized itself to its text.
  form->SetClientSize(500, 300);
  EXPECT_EQ(form->GetClientSize().Width, 500);
  EXPECT_EQ(panel->GetBounds(), (Rect{0, 0, 500, 41}));
  EXPECT_GT(label->GetWidth(), 10);
  EXPECT_GT(label->GetHeight(), 5);

  list->AddLine("Абв");
  list->AddLine("two");
  EXPECT_EQ(list->GetCount(), 2);
  EXPECT_EQ(list->GetLine(0), "Абв");
  list->SetItemIndex(1);
  EXPECT_EQ(list->GetItemIndex(), 1);
  combo->SetItems({"Char", "Memo"});
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->GetText(), "Memo");
  combo->SetBounds(10, 200, 120, 21);
  EXPECT_LT(combo->GetHeight(), 40);  // the dropped list is not part of the bounds
  check->SetChecked(true);
  EXPECT_TRUE(check->IsChecked());
}

TEST_F(Win32Form, EditBoxesCarryUtf8ThroughTheWideApi) {
  auto edit = NewEdit(form.get());
  const std::string all = "ASCII, Я ё№, é, 中";
  edit->SetText(all);
  EXPECT_EQ(edit->GetText(), all);
  edit->SetText("Я ё№");
  EXPECT_EQ(WindowText(H(*edit)), L"\x042F \x0451\x2116");

  // What the user types arrives as UTF-16 and reads back as UTF-8, every
  // character kept.
  edit->SetText("");
  TypeChar(*edit, L'\x0416');  // Ж
  TypeChar(*edit, L'\x4E2D');
  EXPECT_EQ(edit->GetText(), "Ж中");
}

TEST_F(Win32Form, EditLimitTextCutsTypingButNotTheProgramsText) {
  auto memo = NewMemo(form.get(), MemoOptions{true, true, true, true, false, BorderStyle::Sunken});
  memo->SetMaxLength(0x7AC000);
  EXPECT_EQ(memo->GetMaxLength(), 0x7AC000);
  memo->SetMaxLength(3);
  EXPECT_EQ(memo->GetMaxLength(), 3);
  for (wchar_t c : std::wstring(L"abcd")) TypeChar(*memo, c);
  EXPECT_EQ(memo->GetText(), "abc");
  memo->SetText("one\r\ntwo\r\nthree");
  EXPECT_EQ(memo->GetText(), "one\r\ntwo\r\nthree");
  EXPECT_EQ(memo->GetLineCount(), 3);

  memo->SetMaxLength(100);
  memo->Clear();
  memo->Append("первая\r\n");
  memo->Append("2");
  EXPECT_EQ(memo->GetText(), "первая\r\n2");
}

TEST_F(Win32Form, CustomControlScrollBarsKeepRangePageAndPosition) {
  CustomControlOptions co;
  co.Style = kWsChild | kWsVScroll | kWsHScroll;
  auto grid = NewCustomControl(form.get(), co);
  ScrollInfo si;
  si.Mask = kSifRange | kSifPage | kSifPos;
  si.Max = 99;
  si.Page = 10;
  si.Pos = 50;
  EXPECT_EQ(grid->SetScrollInfo(kSbVert, si, true), 50);
  ScrollInfo got = grid->GetScrollInfo(kSbVert);
  EXPECT_EQ(got.Min, 0);
  EXPECT_EQ(got.Max, 99);
  EXPECT_EQ(got.Page, 10);
  EXPECT_EQ(got.Pos, 50);
  EXPECT_TRUE(got.Enabled);
  // The position keeps a whole page inside the range.
  si.Mask = kSifPos;
  si.Pos = 95;
  EXPECT_EQ(grid->SetScrollInfo(kSbVert, si, true), 90);

  // Everything fits: disabled but shown with kSifDisableNoScroll, hidden
  // without it.
  si.Mask = kSifRange | kSifPage | kSifPos | kSifDisableNoScroll;
  si.Max = 5;
  si.Pos = 0;
  grid->SetScrollInfo(kSbVert, si, true);
  EXPECT_FALSE(grid->GetScrollInfo(kSbVert).Enabled);
  EXPECT_NE(grid->GetStyle() & kWsVScroll, 0u);
  si.Mask = kSifRange | kSifPage | kSifPos;
  grid->SetScrollInfo(kSbHorz, si, true);
  EXPECT_FALSE(grid->GetScrollInfo(kSbHorz).Enabled);
  EXPECT_EQ(grid->GetStyle() & kWsHScroll, 0u);
}

TEST_F(Win32Form, MessageHookSeesRealMessagesAndCanConsumeThem) {
  auto grid = NewCustomControl(form.get());
  Point at;
  int downs = 0;
  grid->SetMessageHook([&](Control&, Message& m, intptr_t& result) {
    if (m.Id != kWmLButtonDown) return false;
    ++downs;
    at = Point{GetXLParam(m.LParam), GetYLParam(m.LParam)};
    result = 42;
    return true;
  });
  EXPECT_EQ(SendMessageW(H(*grid), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, -6)), 42);
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(at, (Point{5, -6}));
  // Not consumed: the default processing answers.
  SendMessageW(H(*grid), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"grid"));
  EXPECT_EQ(WindowText(H(*grid)), L"grid");

  // A key swallowed by OnKeyDown never reaches the edit control.
  auto edit = NewEdit(form.get());
  edit->OnKeyDown = [](Control&, int& key, uint32_t) {
    if (key == kVkDelete) key = 0;
  };
  edit->SetText("abc");
  SendMessageW(H(*edit), EM_SETSEL, 0, 0);
  SendMessageW(H(*edit), WM_KEYDOWN, VK_DELETE, 1);
  EXPECT_EQ(edit->GetText(), "abc");
}

TEST_F(Win32Form, MovingTheFocusRaisesFocusLossAndEntry) {
  auto first = NewEdit(form.get());
  auto second = NewEdit(form.get());
  second->SetPosition(0, 30);
  int exits = 0;
  int enters = 0;
  first->OnExit = [&](Control&) { ++exits; };
  second->OnEnter = [&](Control&) { ++enters; };
  first->SetFocus();
  ASSERT_TRUE(first->IsFocused());
  second->SetFocus();
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(enters, 1);
  EXPECT_TRUE(second->IsFocused());
  EXPECT_FALSE(first->IsFocused());
}

TEST_F(Win32Form, NotificationsFollowAControlIntoItsNewParent) {
  auto button = NewButton(form.get(), "X");
  int clicks = 0;
  button->OnClick = [&](Button&) { ++clicks; };
  SendMessageW(H(*button), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);

  // An editor lent to a grid: its change notifications still reach it.
  auto grid = NewCustomControl(form.get());
  auto editor = NewEdit(form.get());
  int changes = 0;
  editor->OnChange = [&](Edit&) { ++changes; };
  editor->SetParent(grid.get());
  EXPECT_EQ(GetParent(H(*editor)), H(*grid));
  editor->SetText("1");
  EXPECT_EQ(changes, 1);

  // Parked: out of sight, but the window lives on.
  editor->SetParent(nullptr);
  EXPECT_TRUE(IsWindow(H(*editor)));
  EXPECT_FALSE(IsWindowVisible(H(*editor)));
  editor->SetParent(form.get());
  EXPECT_TRUE(IsWindowVisible(H(*editor)));

  // Destroying the grid parks the editor instead of destroying it.
  editor->SetParent(grid.get());
  grid.reset();
  EXPECT_TRUE(IsWindow(H(*editor)));
  EXPECT_EQ(editor->GetParent(), nullptr);
}

// The search's hit list: 65,535 lines given at once must arrive in well
// under a second (line by line, with a repaint each, they took minutes).
TEST_F(Win32Form, AListBoxTakesTensOfThousandsOfLinesAtOnce) {
  auto list = NewListBox(form.get(), ListBoxOptions{false});
  list->SetBounds(5, 5, 300, 84);
  list->AddLine("old");
  std::vector<std::string> lines;
  for (int i = 1; i <= 65535; ++i) lines.push_back("value " + std::to_string(i));
  Pump();
  const auto start = std::chrono::steady_clock::now();
  list->SetLines(lines);
  Pump();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start).count();
  std::printf("[ bench    ] 65535 lines into the list box: %lld ms\n", static_cast<long long>(ms));
  EXPECT_LT(ms, 1000);
  ASSERT_EQ(list->GetCount(), 65535);
  EXPECT_EQ(list->GetLine(0), "value 1");
  EXPECT_EQ(list->GetLine(65534), "value 65535");
  // Its redraw is on again (turning it off takes the visible style away).
  EXPECT_NE(GetWindowLongW(H(*list), GWL_STYLE) & WS_VISIBLE, 0);
}

// What Ctrl+C and Ctrl+V go through: Unicode text on the clipboard, so
// that other programs read the Cyrillic whatever their code page.
TEST_F(Win32Form, TheClipboardCarriesUtf8AsUnicode) {
  ASSERT_TRUE(SetClipboardText("Кот\t1\r\n"));
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(data))), L"\u041A\u043E\u0442\t1\r\n");
  GlobalUnlock(data);
  CloseClipboard();
  // Text another program put there comes back in UTF-8.
  const std::wstring other = L"\u0414\u0430 & no";  // "Да & no"
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (other.size() + 1) * sizeof(wchar_t));
  std::memcpy(GlobalLock(block), other.c_str(), (other.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(block);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, block);
  CloseClipboard();
  EXPECT_EQ(GetClipboardText(), "Да & no");
}

TEST_F(Win32Form, ModalShowingDisablesTheOthersUntilTheCloseIsAccepted) {
  auto dialog = NewForm("Modal");
  int queries = 0;
  bool main_enabled_meanwhile = true;
  dialog->OnCloseQuery = [&](Form&, bool& can_close) {
    main_enabled_meanwhile = IsWindowEnabled(H(*form)) != FALSE;
    can_close = ++queries > 1;  // the first request is refused
  };
  PostMessageW(H(*dialog), WM_CLOSE, 0, 0);
  PostMessageW(H(*dialog), WM_CLOSE, 0, 0);
  EXPECT_EQ(dialog->ShowModal(), kMrCancel);
  EXPECT_EQ(queries, 2);
  EXPECT_FALSE(main_enabled_meanwhile);
  EXPECT_TRUE(IsWindowEnabled(H(*form)));
  EXPECT_FALSE(dialog->IsVisible());

  // A result set by a handler ends the showing; the form stays up.
  auto ok = NewButton(dialog.get(), "OK");
  ok->OnClick = [&](Button&) { dialog->SetModalResult(kMrOk); };
  PostMessageW(H(*ok), BM_CLICK, 0, 0);
  EXPECT_EQ(dialog->ShowModal(), kMrOk);
  EXPECT_TRUE(IsWindowVisible(H(*dialog)));
}

}  // namespace
}  // namespace tabulon
