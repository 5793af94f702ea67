// The table commands on the Win32 backend with real messages: a cell edited
// by double click, typing and Enter reaches the file; "P" packs a memo
// table; a table another program holds is shown for reading only; the
// window keeps its least size; a table beyond 65,535 records is reachable
// to its end, and one of 2,000,000 opens at once. Any message box is answered (and recorded)
// from a timer, so a failure never leaves the test waiting.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "program.h"
#include "support/large_table.h"
#include "support/table_bytes.h"
#include "system.h"
#include "table_files.h"
#include "win32_test_support.h"

#include <windows.h>

namespace tabulon {
namespace {

using test::H;
using test::Pump;
using test::ReadFile;

std::vector<std::wstring> boxes;

BOOL CALLBACK AnswerBox(HWND w, LPARAM) {
  wchar_t cls[16] = {};
  GetClassNameW(w, cls, 16);
  if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(w)) return TRUE;
  wchar_t text[512] = {};
  GetDlgItemTextW(w, 0xFFFF, text, 512);
  boxes.push_back(text);
  PostMessageW(w, WM_COMMAND, IDOK, 0);
  return FALSE;
}

void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0);
}

class Win32Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    boxes.clear();
    folder_ = GetTempFolder();
    program_ = NewProgram();
    main_ = &program_->GetMainWindow();
    main_->Window->Show();
    timer_ = SetTimer(nullptr, 0, 100, LookForBox);
    Pump();
  }
  void TearDown() override {
    KillTimer(nullptr, timer_);
    program_.reset();
    Pump();
    for (const std::string& f : files_) _wremove(test::Widen(f).c_str());
  }

  std::string Path(const std::string& name) {
    files_.push_back(folder_ + name);
    return folder_ + name;
  }

  // As the load item does it, without the dialog (which has its own test).
  void Open(const std::string& path) {
    main_->OpenTableFile(path);
    Pump();
  }

  // Two clicks and a double click, as a user opens a cell's editor.
  void DoubleClickCell(int col, int row) {
    const HWND grid = H(*main_->TableGrid);
    for (UINT down : {UINT(WM_LBUTTONDOWN), UINT(WM_LBUTTONDOWN), UINT(WM_LBUTTONDBLCLK)}) {
      SendMessageW(grid, down, MK_LBUTTON, At(col, row));
      SendMessageW(grid, WM_LBUTTONUP, 0, At(col, row));
    }
    Pump();
  }

  // Typed into the open editor and accepted with Enter.
  void TypeAndEnter(HWND edit, const std::wstring& text) {
    SendMessageW(edit, EM_SETSEL, 0, -1);
    for (wchar_t ch : text) PostMessageW(edit, WM_CHAR, WPARAM(ch), 1);
    Pump();
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(edit, WM_KEYUP, VK_RETURN, LPARAM(0xC0000001u));
    Pump();
  }

  LPARAM At(int col, int row) const {
    const Rect r = main_->TableGrid->CellRect(col, row);
    return MAKELPARAM((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }

  std::string folder_;
  std::vector<std::string> files_;
  std::unique_ptr<Program> program_;
  MainWindow* main_ = nullptr;
  UINT_PTR timer_ = 0;
};

TEST_F(Win32Commands, ACellEditedByDoubleClickTypingAndEnterReachesTheFile) {
  test::TableLayout t;
  t.Fields = {{"CITY", 'C', 8}, {"SIZE", 'N', 4}};
  t.Records = {" Omsk    1172", " Tver     424"};
  const std::string path = Path("tabulon-edit-test.dbf");
  ASSERT_TRUE(test::WriteFile(path, test::MakeTable(t)));
  Open(path);
  ASSERT_EQ(main_->TableGrid->RowCount(), 2);

  DoubleClickCell(0, 1);
  ASSERT_EQ(main_->TableGrid->GetEditor(), main_->TextCellEditor.get());
  TypeAndEnter(H(*main_->TextCellEditor), L"\x0422\x0432\x0435\x0440\x044C");  // "Тверь"
  EXPECT_EQ(main_->TableGrid->GetEditor(), nullptr);

  const test::Bytes b = ReadFile(path);
  const size_t record2 = 32 + 64 + 1 + 13;
  EXPECT_EQ(test::Slice(b, record2, 13), " \xD2\xE2\xE5\xF0\xFC    424");
  EXPECT_EQ(main_->TableGrid->GetCellText(0, 1), "Тверь");
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(main_->Session->IsOpen());
}

TEST_F(Win32Commands, PackRebuildsAMemoTable) {
  const std::vector<std::string> texts = {"first", "dropped", "third"};
  const std::vector<uint32_t> blocks = test::DbtBlocks(texts);
  test::TableLayout t;
  t.Version = 0x83;
  t.Fields = {{"NAME", 'C', 4}, {"NOTE", 'M', 10}};
  t.Records = {" a   " + test::Ref(blocks[0]), "*b   " + test::Ref(blocks[1]), " c   " + test::Ref(blocks[2])};
  const std::string path = Path("tabulon-pack-test.dbf");
  const std::string memo = Path("tabulon-pack-test.dbt");
  ASSERT_TRUE(test::WriteFile(path, test::MakeTable(t)));
  ASSERT_TRUE(test::WriteFile(memo, test::MakeDbt(texts)));
  Open(path);
  ASSERT_EQ(main_->TableGrid->RowCount(), 3);

  SendMessageW(H(*main_->PackButton), BM_CLICK, 0, 0);
  Pump();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(main_->StatusLabel->GetText(), "OK");
  ASSERT_EQ(main_->TableGrid->RowCount(), 2);
  EXPECT_EQ(main_->TableGrid->GetCellText(1, 1), "third");
  const test::Bytes b = ReadFile(path);
  ASSERT_GT(b.size(), 8u);
  EXPECT_EQ(b[0], 0x83);
  EXPECT_EQ(test::GetLittle32(b, 4), 2u);
  EXPECT_EQ(ReadFile(memo), test::MakeDbt({"first", "third"}));
  // Nothing left beside the table but its two files.
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(test::Widen(folder_ + "tabulon-pack-test*").c_str(), &found);
  int count = 0;
  if (search != INVALID_HANDLE_VALUE) {
    do ++count;
    while (FindNextFileW(search, &found));
    FindClose(search);
  }
  EXPECT_EQ(count, 2);
}

// A file another program holds for writing (letting others read) can be
// viewed only; a write is refused with one message, and the file keeps
// every byte. (A read-only attribute would not do here: the tests may run
// with the rights to write anyway.)
TEST_F(Win32Commands, ATableHeldByAnotherProgramIsShownAndWritesAreRefused) {
  test::TableLayout t;
  t.Fields = {{"CITY", 'C', 8}};
  t.Records = {" Omsk    "};
  const std::string path = Path("tabulon-readonly-test.dbf");
  const test::Bytes bytes = test::MakeTable(t);
  ASSERT_TRUE(test::WriteFile(path, bytes));
  HANDLE other = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  Open(path);
  ASSERT_EQ(main_->TableGrid->RowCount(), 1);
  EXPECT_EQ(main_->TableGrid->GetCellText(0, 0), "Omsk");
  EXPECT_EQ(main_->StatusLabel->GetText(), "ЧТЕНИЕ");
  SendMessageW(H(*main_->AddButton), BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(main_->TableGrid->RowCount(), 1);
  CloseHandle(other);
  EXPECT_EQ(ReadFile(path), bytes);
}

// The scroll bar takes the view to the last of 70,000 records, whose cell
// takes an edit; a search hit beyond 65,535 becomes the current row.
TEST_F(Win32Commands, ATableBeyond65535RecordsIsReachableToItsEnd) {
  constexpr int kRecords = 70000;
  const std::string path = Path("tabulon-long-test.dbf");
  ASSERT_TRUE(test::WriteLargeTable(path, kRecords));
  Open(path);
  XLGrid& g = *main_->TableGrid;
  ASSERT_EQ(g.RowCount(), kRecords);
  EXPECT_TRUE(boxes.empty());

  SendMessageW(H(g), WM_VSCROLL, SB_BOTTOM, 0);
  Pump();
  EXPECT_EQ(g.GetTopRow() + g.VisibleRowCount(), kRecords);
  EXPECT_EQ(g.GetCellText(0, kRecords - 1), "n70000");
  DoubleClickCell(0, kRecords - 1);
  ASSERT_EQ(g.GetEditor(), main_->TextCellEditor.get());
  TypeAndEnter(H(*main_->TextCellEditor), L"last");
  const test::Bytes b = ReadFile(path);
  const size_t header = 32 * test::kLargeTableFields + 33;
  const size_t record = test::LargeTableRecord(1).size();
  EXPECT_EQ(test::Slice(b, header + (kRecords - 1) * record + 1, 10), "last      ");
  EXPECT_EQ(g.GetCellText(0, kRecords - 1), "last");

  main_->SearchMaskEdit->SetText("n6999?");
  SendMessageW(H(*main_->SearchButton), BM_CLICK, 0, 0);
  Pump();
  const HWND list = H(*main_->SearchResultList);
  ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 10);
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  RECT item{};
  SendMessageW(list, LB_GETITEMRECT, 0, LPARAM(&item));
  const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(list, WM_LBUTTONUP, 0, at);
  SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageW(list, WM_LBUTTONUP, 0, at);
  Pump();
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 69989}));
  EXPECT_TRUE(boxes.empty());
}

// Not a check but a figure: how long a table of 2,000,000 records of 20
// fields takes from the command to its first screen on real windows.
TEST_F(Win32Commands, ATwoMillionRecordTableOpensToItsFirstScreen) {
  const std::string path = Path("tabulon-large-test.dbf");
  ASSERT_TRUE(test::WriteLargeTable(path, 2000000));
  const auto start = std::chrono::steady_clock::now();
  main_->OpenTableFile(path);
  UpdateWindow(H(*main_->TableGrid));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  std::printf("[ bench    ] 2,000,000 records to the first screen: %lld ms\n", static_cast<long long>(ms));
  EXPECT_EQ(main_->TableGrid->RowCount(), 2000000);
  EXPECT_EQ(main_->TableGrid->GetCellText(0, 0), "n1");
}

// Shrunk by the frame as far as it goes, the window keeps every control
// of the button bar whole.
TEST_F(Win32Commands, TheWindowCannotBeShrunkPastItsControls) {
  SetWindowPos(H(*main_->Window), nullptr, 0, 0, 60, 60, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  const Size client = main_->Window->GetClientSize();
  const Size least = main_->Window->GetMinClientSize();
  EXPECT_GE(client.Width, least.Width);
  EXPECT_GE(client.Height, least.Height);
  for (const Control* child : main_->ButtonBar->GetChildren())
    EXPECT_LE(child->GetBounds().Right, main_->ButtonBar->GetClientSize().Width);
  EXPECT_GE(main_->TableGrid->GetClientSize().Height, 20 + 3 * 20);
}

}  // namespace
}  // namespace tabulon
