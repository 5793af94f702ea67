// The program on the Win32 backend: it starts, a table chosen through the
// real open dialog shows in the table view (a DOS table converted, with the
// OEM box checked), "Справка" opens and closes, and the message loop ends
// when the main window is closed. The dialogs are
// answered from a timer of the test's own thread.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "program.h"
#include "support/table_bytes.h"
#include "system.h"
#include "win32_test_support.h"

#include <windows.h>

namespace tabulon {
namespace {

using test::H;

// What the timer does, one step per tick.
struct Script {
  Program* program = nullptr;
  std::wstring table_path;
  int step = 0;
  bool dialog_answered = false;
  bool help_seen = false;
  int rows_after_load = -1;
  std::string first_cell;
  std::string first_title;
  bool show_help = true;
  LRESULT oem_box = -1;  // the real check box's state after loading
};
Script script;

BOOL CALLBACK AnswerOpenDialog(HWND w, LPARAM) {
  wchar_t cls[16] = {};
  GetClassNameW(w, cls, 16);
  if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(w) || GetDlgItem(w, 0x47C) == nullptr) return TRUE;
  SetDlgItemTextW(w, 0x47C, script.table_path.c_str());  // the file-name box
  PostMessageW(w, WM_COMMAND, IDOK, 0);
  script.dialog_answered = true;
  return FALSE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  MainWindow& main = script.program->GetMainWindow();
  Form& help = script.program->GetHelpWindow().GetForm();
  switch (script.step) {
    case 0:  // the menu's load item
      PostMessageW(H(*main.Window), WM_COMMAND, MenuBar::kMenuCommandBase + 1, 0);
      ++script.step;
      break;
    case 1:
      EnumThreadWindows(GetCurrentThreadId(), AnswerOpenDialog, 0);
      if (script.dialog_answered) ++script.step;
      break;
    case 2:
      if (main.Session->GetFileName().empty()) break;
      script.rows_after_load = main.TableGrid->RowCount();
      script.first_cell = main.TableGrid->RowCount() > 0 ? main.TableGrid->GetCellText(0, 0) : "";
      script.first_title = main.TableGrid->ColCount() > 0 ? main.TableGrid->GetColTitle(0) : "";
      script.oem_box = SendMessageW(H(*main.OemCheckBox), BM_GETCHECK, 0, 0);
      if (!script.show_help) {
        PostMessageW(H(*main.Window), WM_CLOSE, 0, 0);
        script.step = 5;
        break;
      }
      PostMessageW(H(*main.Window), WM_COMMAND, MenuBar::kMenuCommandBase + 4, 0);  // "Справка"
      ++script.step;
      break;
    case 3:
      if (!IsWindowVisible(H(help))) break;
      script.help_seen = !IsWindowEnabled(H(*main.Window));
      PostMessageW(H(help), WM_CLOSE, 0, 0);  // the close box
      ++script.step;
      break;
    case 4:
      if (IsWindowVisible(H(help))) break;
      PostMessageW(H(*main.Window), WM_CLOSE, 0, 0);
      ++script.step;
      break;
    default:
      break;
  }
}

TEST(Win32Program, LoadsATableThroughTheOpenDialogAndShowsHelp) {
  test::TableLayout t;
  t.Fields = {{"CITY", 'C', 10}, {"SIZE", 'N', 6}};
  t.Records = {" Omsk        1172", " Tver         424"};
  const test::Bytes bytes = test::MakeTable(t);
  const std::string path = GetTempFolder() + "tabulon-program-test.dbf";
  ASSERT_TRUE(test::WriteFile(path, bytes));

  auto program = NewProgram();
  script = Script{};
  script.program = program.get();
  script.table_path = test::Widen(path);
  MainWindow& main = program->GetMainWindow();
  EXPECT_EQ(main.StatusLabel->GetText(), "OK");
  wchar_t caption[32] = {};
  GetWindowTextW(H(*main.Window), caption, 32);
  EXPECT_STREQ(caption, L"\x0422\x0410\x0411\x0423\x041B\x041E\x041D");  // "ТАБУЛОН"

  UINT_PTR timer = SetTimer(nullptr, 0, 150, Tick);
  program->Run();  // returns when the script closes the main window
  KillTimer(nullptr, timer);
  _wremove(test::Widen(path).c_str());

  EXPECT_EQ(script.step, 5);
  EXPECT_TRUE(script.dialog_answered);
  EXPECT_EQ(main.Session->GetFileName(), path);
  EXPECT_EQ(script.rows_after_load, 2);
  EXPECT_EQ(script.first_title, "CITY");
  EXPECT_EQ(script.first_cell, "Omsk");
  EXPECT_EQ(main.TableGrid->GetCellText(1, 1), "424");  // right-aligned, blanks dropped
  EXPECT_EQ(main.StatusLabel->GetText(), "OK");
  EXPECT_TRUE(script.help_seen);
  EXPECT_FALSE(IsWindowVisible(H(program->GetHelpWindow().GetForm())));
  EXPECT_FALSE(main.Session->IsOpen());
}

// A DOS table (code page 866, no language driver) checks the OEM box as it
// loads, and its Cyrillic title and value are shown converted.
TEST(Win32Program, ADosTableLoadedThroughTheDialogIsShownConverted) {
  test::TableLayout t;
  t.Fields = {{"\x83\x8E\x90\x8E\x84", 'C', 10}};  // "ГОРОД"
  t.Records = {" \x8C\xAE\xE1\xAA\xA2\xA0", " \x92\xA2\xA5\xE0\xEC"};  // "Москва", "Тверь"
  const std::string path = GetTempFolder() + "tabulon-dos-test.dbf";
  ASSERT_TRUE(test::WriteFile(path, test::MakeTable(t)));

  auto program = NewProgram();
  script = Script{};
  script.program = program.get();
  script.table_path = std::wstring(path.begin(), path.end());
  script.show_help = false;
  MainWindow& main = program->GetMainWindow();
  ASSERT_EQ(SendMessageW(H(*main.OemCheckBox), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  UINT_PTR timer = SetTimer(nullptr, 0, 150, Tick);
  program->Run();
  KillTimer(nullptr, timer);
  remove(path.c_str());

  EXPECT_EQ(script.step, 5);
  EXPECT_EQ(script.oem_box, BST_CHECKED);
  EXPECT_EQ(script.rows_after_load, 2);
  EXPECT_EQ(script.first_title, "ГОРОД");
  EXPECT_EQ(script.first_cell, "Москва");
  EXPECT_FALSE(main.Session->IsOpen());
}

}  // namespace
}  // namespace tabulon
