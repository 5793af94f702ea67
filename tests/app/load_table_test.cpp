// Loading a table into the table view: the dialog, the memo file, the
// cells, the OEM display, reloading, failures and the record limit.
#include "app_test_support.h"
#include "texts.h"
#include "utf8_length.h"

#include <functional>
#include <vector>

namespace tabulon {
namespace {

using test::FieldLayout;
using test::MakeDbt;
using test::MakeFpt;
using test::MakeTable;
using test::Ref;
using test::TableLayout;

// "Привет" in code page 866.
const std::string kOemWord = "\x8F\xE0\xA8\xA2\xA5\xE2";

TableLayout People() {
  TableLayout t;
  t.Fields = {{"NAME", 'C', 8}, {"BORN", 'D', 8}, {"AGE", 'N', 3}, {"OK", 'L', 1}};
  t.Records = {" Ann     19800102 42T", "*Bob     19991231  7F", "            ", " " + kOemWord};
  return t;
}

// A dBase III memo table: NAME, NOTE (memo).
TableLayout MemoTable(uint8_t version, const std::vector<uint32_t>& blocks) {
  TableLayout t;
  t.Version = version;
  t.Fields = {{"NAME", 'C', 4}, {"NOTE", 'M', 10}};
  for (size_t i = 0; i < blocks.size(); ++i) t.Records.push_back(" r" + std::to_string(i) + "  " + Ref(blocks[i]));
  return t;
}

using LoadTableTest = AppTest;

TEST_F(LoadTableTest, ShowsNamesAndValuesAndLeavesTheTableClosed) {
  Write("people.dbf", MakeTable(People()));
  const test::Bytes before = Read("people.dbf");
  Load("people.dbf");
  MainWindow& w = *win_;
  ASSERT_EQ(headless::GetFileDialogs().size(), 1u);
  const headless::FileDialogRecord& d = headless::GetFileDialogs()[0];
  EXPECT_EQ(d.Mode, FileDialogMode::Open);
  EXPECT_EQ(d.Options, 0x00A81806u);
  EXPECT_EQ(d.Filter, "Файлы dbf|*.dbf|Все Файлы|*.*");
  EXPECT_EQ(d.DefaultExt, "");
  EXPECT_EQ(d.FileName, "");
  EXPECT_EQ(d.Owner, w.Window->GetHandle());

  EXPECT_EQ(w.Session->GetFileName(), Path("people.dbf"));
  EXPECT_EQ(w.Session->GetMemoFileName(), "");
  EXPECT_FALSE(w.Session->IsOpen());
  EXPECT_EQ(Status(), "OK");
  ASSERT_EQ(w.TableGrid->ColCount(), 4);
  ASSERT_EQ(w.TableGrid->RowCount(), 4);
  EXPECT_EQ(w.TableGrid->GetColTitle(0), "NAME");
  EXPECT_EQ(w.TableGrid->GetColTitle(3), "OK");
  EXPECT_EQ(Cell(0, 0), "Ann");
  EXPECT_EQ(Cell(1, 0), "19800102");
  EXPECT_EQ(Cell(2, 0), "42");  // right-aligned, without the leading blanks
  EXPECT_EQ(w.TableGrid->GetCell(2, 0).GetHAlign(), kAlignRight);
  EXPECT_EQ(w.TableGrid->GetCell(2, 3).GetHAlign(), kAlignRight);
  EXPECT_EQ(w.TableGrid->GetCell(1, 0).GetHAlign(), kAlignLeft);
  EXPECT_EQ(Cell(3, 0), "T");
  EXPECT_EQ(Cell(0, 1), "Bob");  // marked deleted: greyed, "*" by its number
  EXPECT_TRUE(w.TableGrid->GetCellData(0, 1).Dimmed);
  EXPECT_FALSE(w.TableGrid->GetCellData(0, 0).Dimmed);
  EXPECT_EQ(w.TableGrid->GetRowTitle(1), "*2");
  EXPECT_EQ(Cell(0, 2), "");     // blanks only
  // The DOS word told the table's code page: shown converted.
  EXPECT_TRUE(w.OemCheckBox->IsChecked());
  EXPECT_EQ(Cell(0, 3), "Привет");
  EXPECT_EQ(w.TableGrid->GetRowTitle(0), "1");
  EXPECT_EQ(w.TableGrid->GetRowTitle(3), "4");
  EXPECT_EQ(w.TableGrid->GetRowTitleWidth(), 30);
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
  EXPECT_EQ(Read("people.dbf"), before);

  // The next dialog starts with the path chosen last.
  headless::QueueFileDialogAnswer(std::nullopt);
  headless::ChooseMenuItem(*w.Window, 1);
  EXPECT_EQ(headless::GetFileDialogs().back().FileName, Path("people.dbf"));
}

// A table given at start, as Windows passes the file the user opened with
// the program, is shown without a dialog.
TEST_F(LoadTableTest, ATableGivenAtStartIsLoaded) {
  Write("people.dbf", MakeTable(People()));
  headless::SetProgramArguments({Path("people.dbf")});
  program_->Run();
  EXPECT_TRUE(headless::GetFileDialogs().empty());
  EXPECT_EQ(win_->TableGrid->RowCount(), 4);
  EXPECT_EQ(win_->TableGrid->GetColTitle(0), "NAME");
  EXPECT_EQ(Status(), "OK");
}

TEST_F(LoadTableTest, ACancelledDialogChangesNothing) {
  Write("people.dbf", MakeTable(People()));
  Load("people.dbf");
  headless::QueueFileDialogAnswer(std::nullopt);
  headless::ChooseMenuItem(*win_->Window, 1);
  EXPECT_EQ(win_->Session->GetFileName(), Path("people.dbf"));
  EXPECT_EQ(win_->TableGrid->RowCount(), 4);
  EXPECT_EQ(Status(), "OK");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
}

TEST_F(LoadTableTest, MemoFileChoiceAndMemoCells) {
  const std::string long_text(40000, 'x');
  const std::vector<std::string> dbt_texts = {"dbt one", long_text};
  Write("notes.dbf", MakeTable(MemoTable(0x83, test::DbtBlocks(dbt_texts))));
  Write("notes.dbt", MakeDbt(dbt_texts));
  Load("notes.dbf");
  MainWindow& w = *win_;
  EXPECT_EQ(w.Session->GetMemoFileName(), Path("notes.dbt"));
  ASSERT_EQ(w.TableGrid->RowCount(), 2);
  EXPECT_EQ(Cell(1, 0), "dbt one");
  EXPECT_EQ(Cell(1, 1), long_text);  // whole

  // Both memo files: the FPT one wins. Its DOS text is shown converted.
  std::vector<uint32_t> blocks;
  Write("notes.fpt", MakeFpt(64, {kOemWord, "fpt two"}, &blocks));
  Write("notes.dbf", MakeTable(MemoTable(0xF5, blocks)));
  Load("notes.dbf");
  EXPECT_EQ(w.Session->GetMemoFileName(), Path("notes.fpt"));
  EXPECT_EQ(Cell(1, 0), "Привет");
  EXPECT_EQ(Cell(1, 1), "fpt two");
  EXPECT_EQ(Cell(0, 1), "r1");

  // A table without a memo file right after: no memo file, not the last one.
  Write("people.dbf", MakeTable(People()));
  Load("people.dbf");
  EXPECT_EQ(w.Session->GetMemoFileName(), "");

  // A memo table whose memo file is missing shows its memo cells empty.
  std::filesystem::remove(Path("notes.fpt"));
  std::filesystem::remove(Path("notes.dbt"));
  Load("notes.dbf");
  EXPECT_EQ(w.Session->GetMemoFileName(), "");
  ASSERT_EQ(w.TableGrid->RowCount(), 2);
  EXPECT_EQ(Cell(0, 0), "r0");
  EXPECT_EQ(Cell(1, 0), "");
  EXPECT_EQ(Status(), "OK");
}

TEST_F(LoadTableTest, OemDisplayChangesAtTheNextFill) {
  TableLayout t = People();
  t.Fields[0].Name = "\x88\x8C\x9F";  // "ИМЯ" in code page 866
  Write("people.dbf", MakeTable(t));
  Load("people.dbf");
  MainWindow& w = *win_;
  EXPECT_EQ(Cell(0, 3), "Привет");
  EXPECT_EQ(w.TableGrid->GetColTitle(0), "ИМЯ");
  EXPECT_EQ(Cell(2, 0), "42");
  headless::ClickButton(*w.OemCheckBox);  // unchecked by the user
  EXPECT_EQ(Cell(0, 3), "Привет");  // no handler of its own
  headless::ClickButton(*w.ReloadButton);
  EXPECT_FALSE(w.OemCheckBox->IsChecked());  // "L" keeps the user's choice
  EXPECT_EQ(Cell(0, 3), AnsiToUtf8(kOemWord));
  EXPECT_EQ(w.TableGrid->GetColTitle(0), AnsiToUtf8("\x88\x8C\x9F"));
  headless::ClickButton(*w.OemCheckBox);
  headless::ClickButton(*w.ReloadButton);
  EXPECT_EQ(Cell(0, 3), "Привет");
}

// The box is set from the table at every load: from its text when that
// leans clearly one way, else from the language-driver byte, else left.
TEST_F(LoadTableTest, TheOemBoxFollowsTheCodePageOfTheLoadedTable) {
  const std::string dos = "\x92\xA2\xA5\xE0\xEC";  // "Тверь" in 866
  const std::string win = "\xD2\xE2\xE5\xF0\xFC";  // in 1251
  const std::string word = "Тверь";
  struct Case {
    uint8_t version, driver;
    std::string name, memo;
    bool before, after;
  };
  const Case cases[] = {
      {0x03, 0x00, dos, "", false, true},    // DOS text, no driver
      {0x03, 0x03, win, "", true, false},    // 1251 text under the 1252 driver
      {0x03, 0xC9, dos, "", false, true},    // DOS text under the 1251 driver: the text wins
      {0x03, 0x26, win, "", true, false},    // 1251 text under a DOS driver
      {0x03, 0x26, "abc", "", false, true},  // no Russian letters: the driver decides
      {0x03, 0x65, "", "", false, true},
      {0x03, 0xC9, "abc", "", true, false},
      {0x03, 0x57, "abc", "", true, false},
      {0x03, 0x00, "abc", "", true, true},   // nothing to tell: the box stays
      {0x03, 0x00, "abc", "", false, false},
      {0x83, 0x00, "abc", dos, false, true},  // the memo texts tell too
      {0x83, 0x26, "abc", win + " " + win, true, false},
      {0xF5, 0x00, "abc", dos, false, true},
      {0xF5, 0xC9, "abc", win, true, false},
  };
  MainWindow& w = *win_;
  for (const Case& c : cases) {
    const bool memo = c.version != 0x03;
    const std::vector<std::string> texts = {c.memo, "x"};
    std::filesystem::remove(Path("city.dbt"));
    std::filesystem::remove(Path("city.fpt"));
    std::vector<uint32_t> blocks;
    if (c.version == 0xF5) {
      Write("city.fpt", MakeFpt(64, texts, &blocks));
    } else {
      blocks = test::DbtBlocks(texts);
      if (memo) Write("city.dbt", MakeDbt(texts));
    }
    // The title "ГОР" in the code page of the text.
    const bool in_dos = c.name == dos || c.memo == dos, in_win = c.name == win || c.memo.find(win) == 0;
    TableLayout t;
    t.Version = c.version;
    t.Fields = {{in_dos ? "\x83\x8E\x90" : in_win ? "\xC3\xCE\xD0" : "NAME", 'C', 8},
                {"NOTE", memo ? 'M' : 'C', 10}};
    t.Records = {" " + c.name + std::string(8 - c.name.size(), ' ') + (memo ? Ref(blocks[0]) : ""),
                 "         " + (memo ? Ref(blocks[1]) : "")};
    test::Bytes bytes = MakeTable(t);
    bytes[29] = c.driver;
    Write("city.dbf", bytes);
    w.OemCheckBox->SetChecked(c.before);
    Load("city.dbf");
    EXPECT_EQ(w.OemCheckBox->IsChecked(), c.after) << int(c.version) << " " << int(c.driver) << " " << c.name;
    if (!in_dos && !in_win) continue;
    EXPECT_EQ(w.TableGrid->GetColTitle(0), "ГОР") << int(c.driver);
    EXPECT_EQ(c.memo.empty() ? Cell(0, 0) : Utf8Prefix(Cell(1, 0), 5), word) << int(c.driver);
  }
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
}

TEST_F(LoadTableTest, EmptyTablesAndReloadBeforeAnyTable) {
  MainWindow& w = *win_;
  // "L" with no table chosen: empty view, status back at OK, no message.
  headless::ClickButton(*w.ReloadButton);
  EXPECT_EQ(w.TableGrid->ColCount(), 0);
  EXPECT_EQ(Status(), "OK");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());

  TableLayout t = People();
  t.Records.clear();
  Write("empty.dbf", MakeTable(t));
  Load("empty.dbf");
  EXPECT_EQ(w.TableGrid->ColCount(), 4);
  EXPECT_EQ(w.TableGrid->RowCount(), 0);
  EXPECT_EQ(w.TableGrid->GetColTitle(1), "BORN");
}

// A table that cannot be opened never shows stale rows as if loaded.
TEST_F(LoadTableTest, AFailedOpenClearsTheViewAndSaysWhy) {
  MainWindow& w = *win_;
  Write("people.dbf", MakeTable(People()));
  Load("people.dbf");
  ASSERT_EQ(w.TableGrid->RowCount(), 4);
  std::filesystem::remove(Path("people.dbf"));
  headless::ClickButton(*w.ReloadButton);
  EXPECT_EQ(w.TableGrid->ColCount(), 0);
  EXPECT_EQ(w.TableGrid->RowCount(), 0);
  EXPECT_EQ(Status(), "ERROR");
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_EQ(headless::GetMessageBoxes()[0].Caption, "tabulon");
  EXPECT_EQ(headless::GetMessageBoxes()[0].Text,
            (texts::kNoSuchFile + Path("people.dbf")));

  // A refused header (no terminator) through the dialog: the same.
  Write("bad.dbf", test::Bytes(40, 0x20));
  Load("bad.dbf");
  EXPECT_EQ(w.TableGrid->ColCount(), 0);
  EXPECT_EQ(Status(), "ERROR");
  ASSERT_EQ(headless::GetMessageBoxes().size(), 2u);
  EXPECT_EQ(headless::GetMessageBoxes()[1].Text, (texts::kNotATable + Path("bad.dbf")));

  // A good table afterwards loads as usual.
  Write("people.dbf", MakeTable(People()));
  Load("people.dbf");
  EXPECT_EQ(w.TableGrid->RowCount(), 4);
  EXPECT_EQ(Status(), "OK");
}

// Held by another program (a lock here, as a CD or a read-only share
// would refuse writes): the table is shown, and every write is refused
// with one message, before the user types or the file is touched.
TEST_F(LoadTableTest, ATableThatCannotBeWrittenIsShownForReadingOnly) {
  MainWindow& w = *win_;
  Write("people.dbf", MakeTable(People()));
  const test::Bytes before = Read("people.dbf");
  auto lock = PlatformFileSystem().Open(Path("people.dbf"), DbfOpenMode::ReadWriteShared);
  ASSERT_TRUE(lock);
  Load("people.dbf");
  ASSERT_EQ(w.TableGrid->RowCount(), 4);
  EXPECT_EQ(Cell(0, 0), "Ann");
  EXPECT_EQ(Status(), "ЧТЕНИЕ");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());

  XLGrid& g = *w.TableGrid;
  const std::vector<std::function<void()>> writes = {
      [&] { headless::ClickButton(*w.AddButton); },
      [&] { headless::ClickButton(*w.DeleteButton); },
      [&] { headless::ClickButton(*w.PackButton); },
      [&] {
        g.SetFocus();
        headless::PressKey(g, kVkF2);
        EXPECT_EQ(g.GetEditor(), nullptr);
      },
  };
  for (size_t i = 0; i < writes.size(); ++i) {
    SCOPED_TRACE(i);
    headless::ClearMessageBoxes();
    writes[i]();
    ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
    EXPECT_EQ(headless::GetMessageBoxes()[0].Text, texts::kReadOnlyRefused);
    EXPECT_EQ(Status(), "ЧТЕНИЕ");
    EXPECT_EQ(w.TableGrid->RowCount(), 4);
  }
  EXPECT_EQ(Read("people.dbf"), before);

  // Writable again, it is as any other table.
  lock.reset();
  headless::ClearMessageBoxes();
  headless::ClickButton(*w.ReloadButton);
  EXPECT_EQ(Status(), "OK");
  headless::ClickButton(*w.AddButton);
  EXPECT_EQ(w.TableGrid->RowCount(), 5);
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
}

// Every record of a table longer than 16-bit counts is reachable: by the
// thumb (its 32-bit position), by moving the current cell, by a search hit;
// its last record takes an edit; the view holds nothing per record.
TEST_F(LoadTableTest, ATableBeyond65535RecordsIsReachableToItsLastRecord) {
  constexpr int kRecords = 70000;
  TableLayout t;
  t.Fields = {{"N", 'N', 6}, {"NAME", 'C', 8}};
  for (int i = 1; i <= kRecords; ++i) {
    const std::string n = std::to_string(i);
    const std::string name = "r" + n;
    t.Records.push_back(" " + std::string(6 - n.size(), ' ') + n + name + std::string(8 - name.size(), ' '));
  }
  Write("long.dbf", MakeTable(t));
  const test::Bytes before = Read("long.dbf");
  Load("long.dbf");
  MainWindow& w = *win_;
  XLGrid& g = *w.TableGrid;
  w.Window->Show();
  ASSERT_EQ(g.RowCount(), kRecords);
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
  EXPECT_EQ(Status(), "OK");
  EXPECT_EQ(Read("long.dbf"), before);
  // Wide enough for the marked number in the title font.
  Canvas& canvas = g.GetBuffer().GetCanvas();
  canvas.SetFont(g.TitleFont());
  EXPECT_GT(g.GetRowTitleWidth(), canvas.MeasureText("*70000").Width);

  ScrollInfo thumb;
  thumb.Mask = kSifTrackPos;
  thumb.TrackPos = 68000;
  g.SetScrollInfo(kSbVert, thumb, false);
  headless::SendMessageTo(g, kWmVScroll, kSbThumbTrack);
  EXPECT_EQ(g.GetTopRow(), 68000);
  g.Update();
  EXPECT_EQ(Cell(1, 68000), "r68001");

  g.SetCurrentCell(1, kRecords - 1);
  g.Update();
  EXPECT_GT(g.GetTopRow(), kRecords - 40);
  EXPECT_EQ(Cell(0, kRecords - 1), "70000");
  EXPECT_EQ(g.GetRowTitle(kRecords - 1), "70000");
  g.SetFocus();
  headless::PressKey(g, kVkF2);
  ASSERT_NE(g.GetEditor(), nullptr);
  static_cast<Edit*>(g.GetEditor())->SetText("last");
  headless::PressKey(*g.GetEditor(), kVkReturn);
  const test::Bytes after = Read("long.dbf");
  EXPECT_EQ(test::Slice(after, after.size() - 1 - 8, 8), "last    ");
  EXPECT_EQ(Cell(1, kRecords - 1), "last");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());

  // Ctrl+C lists marked rows without walking every row.
  g.MarkRow(69998, true);
  EXPECT_EQ(w.CopiedText(), "N\tNAME\r\n69999\tr69999\r\n");
  g.MarkRow(69998, false);

  g.SetCurrentCell(1, 0);
  w.SearchMaskEdit->SetText("r6999?");
  headless::ClickButton(*w.SearchButton);
  ASSERT_EQ(w.SearchHitRecords.size(), 10u);
  headless::ChooseLine(*w.SearchResultList, 0, true);
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{1, 69989}));
  EXPECT_EQ(g.GetRowExceptionCount(), 0u);

  // Gone from under the view, the rows read before stay, the others show
  // as unread, and a paint tries the file once.
  g.Update();
  const int drawn = g.GetTopRow();
  std::filesystem::remove(Path("long.dbf"));
  g.SetTopRow(1000);
  g.Update();
  EXPECT_EQ(g.GetRowTitle(1000), "?1001");
  EXPECT_EQ(Cell(1, 1000), "");
  g.SetTopRow(drawn);
  g.Update();
  EXPECT_EQ(g.GetRowTitle(69989), "69990");
}

TEST_F(LoadTableTest, ColumnsSpreadOverTheGridWhenItIsResized) {
  MainWindow& w = *win_;
  w.Window->Show();
  Write("people.dbf", MakeTable(People()));
  // Spread after the fill: every column of the new table takes its share
  // of the client area beside the record numbers, by what its field holds.
  auto spread = [&] {
    const int room = w.TableGrid->GetClientSize().Width - w.TableGrid->GetRowTitleWidth();
    int sum = 0;
    for (int c = 0; c < 4; ++c) sum += w.TableGrid->GetColWidth(c);
    EXPECT_LE(sum, room);
    EXPECT_GT(sum, room - 4);
    EXPECT_GT(w.TableGrid->GetColWidth(0), w.TableGrid->GetColWidth(3));  // C(8) and L(1)
  };
  Load("people.dbf");
  spread();
  // The caption names the table and its records; the keys go to the view.
  EXPECT_EQ(w.Window->GetText(), "ТАБУЛОН - people.dbf, записей: 4");
  EXPECT_TRUE(w.TableGrid->IsFocused());
  w.TableGrid->SetColWidth(1, 13);
  w.Window->SetClientSize(800, 513);
  ASSERT_EQ(w.TableGrid->GetWidth(), 800);
  spread();
  EXPECT_GT(w.TableGrid->GetColWidth(1), 150);
  // The next load spreads the columns again.
  w.TableGrid->SetColWidths({7, 7, 7, 7});
  Load("people.dbf");
  spread();
}

}  // namespace
}  // namespace tabulon
