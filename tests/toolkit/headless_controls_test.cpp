// The headless backend as the grid and the program rely on it: messages,
// focus, layout, modal forms, close requests, dialogs, menus and controls.
#include <gtest/gtest.h>

#include "applet.h"
#include "button.h"
#include "custom_control.h"
#include "edit.h"
#include "form.h"
#include "headless_driver.h"
#include "input.h"
#include "label.h"
#include "list_box.h"
#include "menu.h"
#include "panel.h"

namespace tabulon {
namespace {

class HeadlessControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { headless::Reset(); }
  void TearDown() override { headless::Reset(); }
};

TEST_F(HeadlessControlsTest, MessageHookSeesEveryMessageAndMayConsumeIt) {
  auto form = NewForm("F");
  auto custom = NewCustomControl(form.get());
  std::vector<uint32_t> seen;
  int resized = 0;
  custom->OnResize = [&](Control&) { ++resized; };
  custom->SetMessageHook([&](Control&, Message& m, intptr_t& result) {
    seen.push_back(m.Id);
    if (m.Id == kWmLButtonDown) {
      result = 42;
      return true;
    }
    return false;
  });
  EXPECT_EQ(headless::SendMessageTo(*custom, kWmLButtonDown, kMkLButton, MakeLParam(5, 7)), 42);
  custom->SetSize(300, 120);
  EXPECT_EQ(resized, 1);  // not consumed: the toolkit's event follows the hook
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], kWmSize);
  // A hook that consumes the size message keeps the event from firing.
  custom->SetMessageHook([](Control&, Message&, intptr_t&) { return true; });
  custom->SetSize(310, 120);
  EXPECT_EQ(resized, 1);
}

TEST_F(HeadlessControlsTest, MovingTheFocusRaisesFocusLossFirst) {
  auto form = NewForm("F");
  auto a = NewEdit(form.get());
  auto b = NewEdit(form.get());
  std::vector<std::string> order;
  a->OnExit = [&](Control&) { order.push_back("a-exit"); };
  b->OnEnter = [&](Control&) { order.push_back("b-enter"); };
  a->SetFocus();
  EXPECT_TRUE(a->IsFocused());
  EXPECT_EQ(GetFocus(), a->GetHandle());
  b->SetFocus();
  EXPECT_EQ(order, (std::vector<std::string>{"a-exit", "b-enter"}));
  EXPECT_FALSE(a->IsFocused());
  b->SetFocus();  // already there: nothing happens
  EXPECT_EQ(order.size(), 2u);
  // A window destroyed while it has the focus leaves no focus behind.
  b.reset();
  EXPECT_EQ(GetFocus(), nullptr);
}

// A form that is activated again gives the focus back to the control that
// had it when the form was deactivated (the platform would focus the form).
TEST_F(HeadlessControlsTest, ReactivationGivesTheFocusBack) {
  auto form = NewForm("F");
  auto panel = NewPanel(form.get());
  auto inner = NewEdit(panel.get());
  auto other = NewForm("G");
  auto elsewhere = NewEdit(other.get());
  inner->SetFocus();
  headless::SendMessageTo(*form, kWmActivate, kWaInactive);
  elsewhere->SetFocus();
  EXPECT_EQ(headless::SendMessageTo(*form, kWmActivate, 1), 0);
  EXPECT_TRUE(inner->IsFocused());
  // A control hidden or destroyed since is not given the focus.
  headless::SendMessageTo(*form, kWmActivate, kWaInactive);
  elsewhere->SetFocus();
  inner.reset();
  headless::SendMessageTo(*form, kWmActivate, 1);
  EXPECT_TRUE(elsewhere->IsFocused());
}

TEST_F(HeadlessControlsTest, AlignedPanelsStackAndAnchoredControlsFollow) {
  auto form = NewForm("F");
  form->SetClientSize(400, 300);
  EXPECT_EQ(form->GetClientSize(), (Size{400, 300}));
  auto top1 = NewPanel(form.get(), PanelOptions{Align::Top, 30, true});
  auto top2 = NewPanel(form.get(), PanelOptions{Align::Top, 20, true});
  auto bottom = NewPanel(form.get(), PanelOptions{Align::Bottom, 25, true});
  auto fill = NewPanel(form.get(), PanelOptions{Align::Client, 0, false});
  EXPECT_EQ(top1->GetBounds(), (Rect{0, 0, 400, 30}));
  EXPECT_EQ(top2->GetBounds(), (Rect{0, 30, 400, 50}));
  EXPECT_EQ(bottom->GetBounds(), (Rect{0, 275, 400, 300}));
  EXPECT_EQ(fill->GetBounds(), (Rect{0, 50, 400, 275}));
  auto button = NewButton(top1.get(), "OK");
  button->SetBounds(300, 4, 90, 22);
  button->SetAnchors(Anchors{false, true, true, false});
  form->SetClientSize(500, 200);
  EXPECT_EQ(fill->GetBounds(), (Rect{0, 50, 500, 175}));
  EXPECT_EQ(button->GetBounds(), (Rect{400, 4, 490, 26}));  // kept 10 pixels from the right edge
  // Hiding a top panel lets the others move up.
  top1->Hide();
  EXPECT_EQ(top2->GetBounds(), (Rect{0, 0, 500, 20}));
  // A menu bar takes client height from the form.
  auto menu = NewMenuBar(*form, {"A", "B"});
  EXPECT_EQ(form->GetClientSize().Height, 200 - headless::kMenuHeight);
}

TEST_F(HeadlessControlsTest, ModalShowingEndsWithTheResultAndDisablesOtherForms) {
  auto main_form = NewForm("Main");
  main_form->Show();
  auto dialog = NewForm("Dialog");
  bool main_enabled_inside = true;
  headless::QueueModalAction([&](Form& modal) {
    EXPECT_EQ(&modal, dialog.get());
    EXPECT_TRUE(modal.IsModal());
    main_enabled_inside = headless::IsWindowEnabled(*main_form);
  });
  headless::QueueModalAction([](Form& modal) { modal.SetModalResult(kMrOk); });
  EXPECT_EQ(dialog->ShowModal(), kMrOk);
  EXPECT_FALSE(main_enabled_inside);
  EXPECT_TRUE(headless::IsWindowEnabled(*main_form));
  EXPECT_TRUE(dialog->IsVisible());  // callers hide it
  EXPECT_FALSE(dialog->IsModal());
  // The close box ends a modal showing with Cancel; with nothing queued the
  // loop is starved and cancelled.
  headless::QueueModalAction([](Form& modal) { headless::PressCloseBox(modal); });
  EXPECT_EQ(dialog->ShowModal(), kMrCancel);
  EXPECT_EQ(headless::GetStarvedModalCount(), 0);
  EXPECT_EQ(dialog->ShowModal(), kMrCancel);
  EXPECT_EQ(headless::GetStarvedModalCount(), 1);
}

TEST_F(HeadlessControlsTest, RefusedCloseLeavesTheFormAsItWas) {
  auto applet = NewApplet("App");
  auto form = NewForm("Main");
  bool allow = false;
  int asked = 0;
  form->OnCloseQuery = [&](Form&, bool& can_close) {
    ++asked;
    can_close = allow;
  };
  headless::QueueMainLoopAction([](Form& f) { headless::PressCloseBox(f); });
  headless::QueueMainLoopAction([&](Form& f) {
    EXPECT_TRUE(f.IsVisible());
    EXPECT_FALSE(f.IsCloseAccepted());
    allow = true;
    f.Close();
  });
  headless::QueueMainLoopAction([](Form&) { ADD_FAILURE() << "the loop ran on after the close"; });
  applet->Run(*form);
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(form->IsVisible());
}

TEST_F(HeadlessControlsTest, MessageBoxesAndFileDialogsAreRecordedAndAnswered) {
  auto applet = NewApplet("Табулон");
  std::string seen_inside;
  headless::SetMessageBoxHook([&](const headless::MessageBoxRecord& box) { seen_inside = box.Text; });
  applet->ShowMessage("Нет файла");
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_EQ(headless::GetMessageBoxes()[0].Caption, "Табулон");
  EXPECT_EQ(headless::GetMessageBoxes()[0].Flags, kMbOk | kMbTaskModal | kMbSetForeground);
  EXPECT_EQ(seen_inside, "Нет файла");

  auto dialog = NewFileDialog();
  dialog->SetFilter("Таблицы|*.dbf");
  dialog->SetFileName("start.dbf");
  headless::QueueFileDialogAnswer(std::string("/tmp/a.dbf"));
  headless::QueueFileDialogAnswer(std::nullopt);
  EXPECT_TRUE(dialog->Execute());
  EXPECT_EQ(dialog->GetFileName(), "/tmp/a.dbf");
  EXPECT_FALSE(dialog->Execute());
  EXPECT_EQ(dialog->GetFileName(), "/tmp/a.dbf");  // a cancel changes nothing
  EXPECT_FALSE(dialog->Execute());                 // nothing queued: cancelled
  ASSERT_EQ(headless::GetFileDialogs().size(), 3u);
  EXPECT_EQ(headless::GetFileDialogs()[0].FileName, "start.dbf");
  EXPECT_EQ(headless::GetFileDialogs()[0].Filter, "Таблицы|*.dbf");
}

TEST_F(HeadlessControlsTest, MenuTemplateNumbersItemsAndRaisesTheirHandler) {
  auto form = NewForm("F");
  auto menu = NewMenuBar(*form, {"Файл", "(", "Загрузить", "Выход", ")", "Справка", "(", "О программе", ")"});
  const auto& items = menu->GetItems();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_TRUE(items[0].HasSubmenu);
  EXPECT_EQ(items[2].Parent, 0);
  EXPECT_EQ(items[3].Parent, -1);
  EXPECT_EQ(items[4].Caption, "О программе");
  std::vector<int> chosen;
  menu->OnItemClick = [&](MenuBar&, int index) { chosen.push_back(index); };
  headless::ChooseMenuItem(*form, 1);
  headless::ChooseMenuItem(*form, 0);  // opens its submenu only
  headless::ChooseMenuItem(*form, 4);
  EXPECT_EQ(chosen, (std::vector<int>{1, 4}));
}

TEST_F(HeadlessControlsTest, EditBoxesListsAndButtonsKeepTheirState) {
  auto form = NewForm("F");
  auto digits = NewEdit(form.get(), EditOptions{true, false});
  int changes = 0;
  digits->OnChange = [&](Edit&) { ++changes; };
  digits->SetMaxLength(3);
  headless::TypeText(*digits, "1a2b34");
  EXPECT_EQ(digits->GetText(), "123");
  EXPECT_EQ(changes, 1);
  digits->SetText("98765");  // the program's text is not cut
  EXPECT_EQ(digits->GetText(), "98765");

  auto memo = NewMemo(form.get(), MemoOptions{true, false, true, false, true, BorderStyle::Single});
  memo->SetMaxLength(0);
  EXPECT_EQ(memo->GetMaxLength(), 0x7FFFFFFE);
  memo->SetText("один\r\nдва");
  memo->Append("\r\nтри");
  EXPECT_EQ(memo->GetLineCount(), 3);
  headless::TypeText(*memo, "x");  // read-only
  EXPECT_EQ(memo->GetText(), "один\r\nдва\r\nтри");

  auto list = NewListBox(form.get());
  list->AddLine("a");
  list->AddLine("b");
  int double_clicks = 0;
  list->OnDblClick = [&](ListBox& l) { double_clicks += l.GetItemIndex() + 1; };
  headless::ChooseLine(*list, 1, true);
  EXPECT_EQ(double_clicks, 2);
  list->SetItemIndex(5);
  EXPECT_EQ(list->GetItemIndex(), -1);
  list->Clear();
  EXPECT_EQ(list->GetCount(), 0);

  auto combo = NewComboBox(form.get());
  combo->SetItems({"C", "N", "L"});
  headless::ChooseItem(*combo, 2);
  EXPECT_EQ(combo->GetText(), "L");

  auto check = NewCheckBox(form.get(), "OEM");
  int clicks = 0;
  check->OnClick = [&](CheckBox& c) { clicks += c.IsChecked() ? 1 : 10; };
  headless::ClickButton(*check);
  headless::ClickButton(*check);
  EXPECT_EQ(clicks, 11);
  auto button = NewButton(form.get(), "OK");
  button->OnClick = [&](Button&) { ++clicks; };
  button->SetEnabled(false);
  headless::ClickButton(*button);
  EXPECT_EQ(clicks, 11);
}

TEST_F(HeadlessControlsTest, LabelsFitTheirTextAndChildrenFollowTheParentsFont) {
  auto form = NewForm("F");
  form->GetFont().SetName("Arial");
  auto label = NewLabel(form.get(), "abcd");
  EXPECT_EQ(label->GetFont().GetName(), "Arial");
  int w = label->GetWidth();
  EXPECT_EQ(w, 4 * headless::GetCharWidth(label->GetFont()));
  label->SetText("abcdefgh");
  EXPECT_EQ(label->GetWidth(), 2 * w);
  form->GetFont().SetSize(16);  // the label follows and fits again
  EXPECT_EQ(label->GetFont().GetSize(), 16);
  EXPECT_GT(label->GetWidth(), 2 * w);
  label->GetFont().SetBold(true);  // its own font from now on
  form->GetFont().SetSize(8);
  EXPECT_EQ(label->GetFont().GetSize(), 16);
}

TEST_F(HeadlessControlsTest, ScrollBarsClampTheirStateAndShapeTheClientArea) {
  auto form = NewForm("F");
  CustomControlOptions o;
  o.Style = kWsChild | kWsBorder | kWsVScroll | kWsHScroll;
  o.Bounds = NewRectOfSize(0, 0, 202, 102);
  auto c = NewCustomControl(form.get(), o);
  EXPECT_EQ(c->GetClientSize(), (Size{200 - 16, 100 - 16}));
  ScrollInfo s;
  s.Mask = kSifRange | kSifPage | kSifPos | kSifDisableNoScroll;
  s.Min = 0;
  s.Max = 99;
  s.Page = 10;
  s.Pos = 95;
  EXPECT_EQ(c->SetScrollInfo(kSbVert, s, true), 90);  // a whole page stays inside the range
  ScrollInfo v = c->GetScrollInfo(kSbVert);
  EXPECT_EQ(v.Pos, 90);
  EXPECT_TRUE(v.Enabled);
  s.Max = 5;  // fits in the page: disabled, still shown
  c->SetScrollInfo(kSbVert, s, true);
  v = c->GetScrollInfo(kSbVert);
  EXPECT_FALSE(v.Enabled);
  EXPECT_EQ(v.Pos, 0);
  EXPECT_EQ(v.Page, 6);
  EXPECT_EQ(c->GetClientSize().Width, 200 - 16);
  // Without the disable flag a bar that is not needed goes away, and the
  // window hears of its larger client area.
  int sizes = 0;
  c->OnResize = [&](Control&) { ++sizes; };
  s.Mask = kSifRange | kSifPage;
  c->SetScrollInfo(kSbHorz, s, true);
  EXPECT_EQ(c->GetClientSize(), (Size{200 - 16, 100}));
  EXPECT_EQ(sizes, 1);
}

TEST_F(HeadlessControlsTest, InputStateAndCursorsAreWhatTheTestSet) {
  headless::SetKeyDown(kVkShift, true);
  EXPECT_LT(GetKeyState(kVkShift), 0);
  EXPECT_EQ(GetShiftState(), kShiftShift);
  SetCursorPos(Point{10, 20});
  EXPECT_EQ(GetCursorPos(), (Point{10, 20}));
  EXPECT_EQ(ShowCursor(false), -1);
  EXPECT_EQ(ShowCursor(true), 0);
  CursorHandle col = LoadResourceCursor(kColSizingCursorId);
  CursorHandle row = LoadResourceCursor(kRowSizingCursorId);
  EXPECT_EQ(GetCursorHotSpot(col), (Point{16, 14}));
  EXPECT_EQ(GetCursorHotSpot(row), (Point{14, 12}));
  EXPECT_EQ(LoadResourceCursor(1), nullptr);
  auto form = NewForm("F");
  form->SetBounds(100, 50, 300, 200);
  auto c = NewCustomControl(form.get());
  c->SetPosition(10, 5);
  Point p = c->ClientToScreen(Point{1, 2});
  EXPECT_EQ(p, (Point{100 + headless::kFrameSize + 10 + 1, 50 + headless::kFrameSize + headless::kCaptionHeight + 5 + 2}));
  headless::SendMouse(*c, kWmMouseMove, 1, 2);
  EXPECT_EQ(GetCursorPos(), p);
  headless::Reset();
  EXPECT_EQ(GetKeyState(kVkShift), 0);
}

}  // namespace
}  // namespace tabulon
