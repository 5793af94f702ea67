// Editing records through the main window: in-place edits written to the
// file, "+", "X", the memo editor, the zoom of a memo cell, moved columns,
// changes by other programs and failed writes.
#include "app_test_support.h"
#include "clipboard.h"
#include "file_memory.h"
#include "message.h"
#include "support/index_bytes.h"
#include "support/peer_lock.h"
#include "texts.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::MakeDbt;
using test::MakeFpt;
using test::MakeTable;
using test::Ref;
using test::Slice;
using test::TableLayout;

// NAME C5, AGE N3, BORN D8, OK L1, NOTE M10: a dBase III memo table.
constexpr size_t kHeader = 32 + 32 * 5 + 1;
constexpr size_t kRecord = 1 + 5 + 3 + 8 + 1 + 10;

TableLayout Staff(uint8_t version, const std::vector<uint32_t>& blocks) {
  TableLayout t;
  t.Version = version;
  t.Fields = {{"NAME", 'C', 5}, {"AGE", 'N', 3}, {"BORN", 'D', 8}, {"OK", 'L', 1}, {"NOTE", 'M', 10}};
  const char* names[] = {"Ann", "Bob", "Cy", "Dan", "Eve"};
  for (size_t i = 0; i < blocks.size(); ++i) {
    std::string name = names[i];
    name.resize(5, ' ');
    t.Records.push_back(" " + name + " 3" + std::to_string(i) + "19990101T" + Ref(blocks[i]));
  }
  return t;
}

class EditCommandsTest : public AppTest {
 protected:
  // Five records with the memo texts "m0" ... "m4" in a DBT file.
  void WriteStaff() {
    const std::vector<std::string> texts = {"m0", "m1", "m2", "m3", "m4"};
    Write("staff.dbf", MakeTable(Staff(0x83, test::DbtBlocks(texts))));
    Write("staff.dbt", MakeDbt(texts));
  }

  // The user edits a cell: F2, the editor's text replaced, Enter.
  void EditCell(int col, int row, const std::string& text) {
    XLGrid& g = *win_->TableGrid;
    g.SetCurrentCell(col, row);
    g.SetFocus();
    headless::PressKey(g, kVkF2);
    ASSERT_NE(g.GetEditor(), nullptr);
    Edit& edit = *static_cast<Edit*>(g.GetEditControl() ? g.GetEditControl() : g.GetEditor());
    edit.SetText(text);
    headless::PressKey(edit, kVkReturn);
    ASSERT_EQ(g.GetEditor(), nullptr);
  }

  std::string StoredField(int record, size_t offset, size_t length) {
    return Slice(Read("staff.dbf"), kHeader + size_t(record - 1) * kRecord + offset, length);
  }

  // Memo text of record r as the engine reads it from the files.
  std::string StoredMemo(int record) {
    auto table = NewDbfTable(win_->Session->GetFileName(), win_->Session->GetMemoFileName(), true);
    table->SetActive(true);
    table->GoTo(record);
    std::string text;
    table->ReadMemo(5, text);
    return text;
  }
};

TEST_F(EditCommandsTest, InPlaceEditsReachTheFileFittedToTheField) {
  WriteStaff();
  Load("staff.dbf");
  EditCell(0, 1, "ABCDEFG");
  EXPECT_EQ(StoredField(2, 1, 5), "ABCDE");
  EXPECT_EQ(Cell(0, 1), "ABCDE");  // the cell shows what the file holds
  EditCell(1, 1, "7");
  EXPECT_EQ(StoredField(2, 6, 3), "  7");
  EditCell(2, 1, "20261208");
  EXPECT_EQ(StoredField(2, 9, 8), "20261208");
  EditCell(3, 1, "F");
  EXPECT_EQ(StoredField(2, 17, 1), "F");
  EXPECT_EQ(StoredField(1, 1, 5), "Ann  ");  // neighbours untouched
  EXPECT_EQ(StoredField(3, 1, 5), "Cy   ");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
  EXPECT_FALSE(win_->Session->IsOpen());

  // Escape: neither the file nor the cell changes.
  const Bytes before = Read("staff.dbf");
  XLGrid& g = *win_->TableGrid;
  g.SetCurrentCell(0, 0);
  headless::PressKey(g, kVkF2);
  win_->TextCellEditor->SetText("zzz");
  headless::PressKey(*win_->TextCellEditor, kVkEscape);
  EXPECT_EQ(Read("staff.dbf"), before);
  EXPECT_EQ(Cell(0, 0), "Ann");

  // A double click on the current cell edits it as well.
  const Rect r = g.CellRect(0, 2);
  headless::SendMouse(g, kWmLButtonDown, r.Left + 5, r.Top + 5);
  headless::SendMouse(g, kWmLButtonUp, r.Left + 5, r.Top + 5);
  headless::SendMouse(g, kWmLButtonDblClk, r.Left + 5, r.Top + 5);
  ASSERT_EQ(g.GetEditor(), win_->TextCellEditor.get());
  EXPECT_EQ(win_->TextCellEditor->GetText(), "Cy");
  // The whole text is selected: typing replaces it.
  EXPECT_EQ(win_->TextCellEditor->Perform(kEmGetSel), intptr_t(MakeWParam(0, 0xFFFF)));
  // Typing stops at the field's width: nothing is cut afterwards.
  headless::TypeText(*win_->TextCellEditor, "Deedee");
  EXPECT_EQ(win_->TextCellEditor->GetText(), "Deede");
  headless::PressKey(*win_->TextCellEditor, kVkReturn);
  EXPECT_EQ(StoredField(3, 1, 5), "Deede");
}

// Typed text is stored in the code page the view shows the table in: as
// typed while the view shows Windows text (the box counts from the next
// fill on), in 866 once a fill showed the table converted.
TEST_F(EditCommandsTest, TypedTextIsStoredInTheCodePageTheViewShows) {
  WriteStaff();
  Load("staff.dbf");
  win_->OemCheckBox->SetChecked(true);
  const std::string word = "Ёлка";
  EditCell(0, 0, word);
  EXPECT_EQ(StoredField(1, 1, 4), Utf8ToAnsi(word));
  EXPECT_EQ(Cell(0, 0), word);
  headless::ClickButton(*win_->ReloadButton);
  EXPECT_EQ(Cell(0, 0), AnsiToUtf8(OemToAnsi(Utf8ToAnsi(word))));  // its bytes read as DOS text now
  EditCell(0, 1, word);
  EXPECT_EQ(StoredField(2, 1, 4), "\xF0\xAB\xAA\xA0");
  EXPECT_EQ(Cell(0, 1), word);
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
}

// A DOS table of each flavour, shown converted: typed text and memo texts
// go back in 866, bytes the user left alone stay (box drawing shown as
// look-alikes included), a cell accepted unchanged writes nothing, and a
// character 866 lacks is refused aloud with nothing written.
TEST_F(EditCommandsTest, DosTablesTakeTypedTextInTheirCodePage) {
  const std::string frame = "\xC9\xCD\x8A\xAE\xE2\xCD\xBB";  // ╔═Кот═╗
  const std::string cat = "\x8A\xAE\xE2";                     // Кот
  const std::vector<std::string> notes = {cat + " \xA6\xA8\xA2\xF1\xE2", "x"};  // "Кот живёт"
  MainWindow& w = *win_;
  for (uint8_t version : {uint8_t(0x03), uint8_t(0x83), uint8_t(0xF5)}) {
    SCOPED_TRACE(int(version));
    const bool memo = version != 0x03;
    const std::string base = "dos" + std::to_string(version);
    std::vector<uint32_t> blocks = test::DbtBlocks(notes);
    if (version == 0x83) Write(base + ".dbt", MakeDbt(notes));
    if (version == 0xF5) {
      blocks.clear();
      Write(base + ".fpt", MakeFpt(64, notes, &blocks));
    }
    TableLayout t;
    t.Version = version;
    t.Fields = {{"NAME", 'C', 8}};
    if (memo) t.Fields.push_back({"NOTE", 'M', 10});
    t.Records = {" " + frame + " " + (memo ? Ref(blocks[0]) : ""),
                 " " + cat + "     " + (memo ? Ref(blocks[1]) : "")};
    Write(base + ".dbf", MakeTable(t));
    Load(base + ".dbf");
    ASSERT_TRUE(w.OemCheckBox->IsChecked());
    headless::ClearMessageBoxes();
    const std::string table = base + ".dbf";
    const size_t record1 = 32 + 32 * t.Fields.size() + 1;
    const size_t record2 = record1 + 9 + (memo ? 10 : 0);

    // Left as it was: not a byte written.
    const Bytes before = Read(table);
    EditCell(0, 1, Cell(0, 1));
    EXPECT_EQ(Read(table), before);

    // Кот becomes Пёс inside the frame; the frame keeps its bytes.
    std::string shown = Utf8ToAnsi(Cell(0, 0));
    shown.replace(2, 3, Utf8ToAnsi("Пёс"));
    shown = AnsiToUtf8(shown);
    EditCell(0, 0, shown);
    EXPECT_EQ(Slice(Read(table), record1 + 1, 8), "\xC9\xCD\x8F\xF1\xE1\xCD\xBB ");
    EXPECT_EQ(Cell(0, 0), shown);

    // The bullet • has no twin in 866.
    const Bytes kept = Read(table);
    EditCell(0, 1, "Кот•");
    EXPECT_EQ(Read(table), kept);
    EXPECT_EQ(Cell(0, 1), "Кот");
    EXPECT_EQ(Status(), "ERROR");
    ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
    EXPECT_EQ(headless::GetMessageBoxes()[0].Text,
              std::string(texts::kNoOemTwinPrefix) + "•" + texts::kNoOemTwinSuffix);
    EXPECT_EQ(Slice(Read(table), record2 + 1, 3), cat);
    if (!memo) continue;

    // Memo texts: shown converted, in the cell and in the memo editor, and
    // stored back in 866.
    auto stored_memo = [&](int record) {
      auto reader = NewDbfTable(w.Session->GetFileName(), w.Session->GetMemoFileName(), true);
      reader->SetActive(true);
      reader->GoTo(record);
      std::string text;
      reader->ReadMemo(2, text);
      return text;
    };
    EXPECT_EQ(Cell(1, 0), "Кот живёт");
    EditCell(1, 1, "Пёс спит");
    EXPECT_EQ(stored_memo(2), "\x8F\xF1\xE1 \xE1\xAF\xA8\xE2");
    MemoEditorWindow& m = program_->GetMemoEditorWindow();
    std::string in_editor;
    headless::QueueModalAction([&](Form&) {
      in_editor = m.Memo1->GetText();
      m.Memo1->SetText(in_editor + ", ёж");
      headless::ClickButton(*m.SaveButton);
      headless::ClickButton(*m.ExitButton);
    });
    w.TableGrid->SetCurrentCell(1, 0);
    headless::ClickButton(*w.MemoButton);
    EXPECT_EQ(in_editor, "Кот живёт");
    EXPECT_EQ(stored_memo(1), notes[0] + ", \xF1\xA6");
    EXPECT_EQ(Cell(1, 0), "Кот живёт, ёж");
    EXPECT_EQ(headless::GetMessageBoxes().size(), 1u);
  }
}

TEST_F(EditCommandsTest, MemoCellsAreWrittenWholeFromTheMemoEditor) {
  WriteStaff();
  Load("staff.dbf");
  XLGrid& g = *win_->TableGrid;
  g.SetCurrentCell(4, 2);
  headless::PressKey(g, kVkF2);
  ASSERT_EQ(g.GetEditor(), win_->MemoCellEditor.get());
  EXPECT_EQ(win_->MemoCellEditor->GetText(), "m2");
  const std::string text = "line one\r\n" + std::string(3000, 'q');
  win_->MemoCellEditor->SetText(text);
  headless::PressKey(*win_->MemoCellEditor, kVkReturn);
  EXPECT_EQ(StoredMemo(3), text);  // whole, past the grid's 1,023 characters
  EXPECT_EQ(Cell(4, 2), text);
  EXPECT_EQ(StoredMemo(2), "m1");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());

  // Longer than the in-place editor takes: F2 opens the memo editor.
  const std::string long_text = std::string(size_t(kMemoCellMaxLength), 'w') + "!";
  headless::PressKey(g, kVkF2);
  win_->MemoCellEditor->SetText(long_text);
  headless::PressKey(*win_->MemoCellEditor, kVkReturn);
  ASSERT_TRUE(StoredMemo(3) == long_text);
  std::string in_editor;
  headless::QueueModalAction([&](Form& modal) {
    in_editor = program_->GetMemoEditorWindow().Memo1->GetText();
    headless::PressCloseBox(modal);
  });
  headless::PressKey(g, kVkF2);
  EXPECT_EQ(g.GetEditor(), nullptr);
  EXPECT_TRUE(in_editor == long_text);

  // Ctrl+Enter breaks the line and the edit goes on; Enter accepts.
  g.SetCurrentCell(4, 0);
  headless::PressKey(g, kVkF2);
  Memo& memo = *win_->MemoCellEditor;
  headless::TypeText(memo, "first");  // replaces "m0", selected whole
  headless::SetKeyDown(kVkControl, true);
  headless::PressKey(memo, kVkReturn);
  headless::SetKeyDown(kVkControl, false);
  ASSERT_EQ(g.GetEditor(), &memo);
  headless::TypeText(memo, "second");
  headless::PressKey(memo, kVkReturn);
  EXPECT_EQ(g.GetEditor(), nullptr);
  EXPECT_EQ(StoredMemo(1), "first\r\nsecond");

  // FoxPro: the memo write stores the record itself, and says nothing.
  std::vector<uint32_t> blocks;
  Write("fox.fpt", MakeFpt(64, {"f0", "f1"}, &blocks));
  Write("fox.dbf", MakeTable(Staff(0xF5, blocks)));
  Load("fox.dbf");
  EditCell(4, 1, "new fox");
  EXPECT_EQ(StoredMemo(2), "new fox");
  EXPECT_EQ(StoredMemo(1), "f0");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
}

TEST_F(EditCommandsTest, AppendAndDeleteRefillTheView) {
  WriteStaff();
  Load("staff.dbf");
  MainWindow& w = *win_;
  w.TableGrid->SetCurrentCell(1, 1);
  headless::ClickButton(*w.AddButton);
  ASSERT_EQ(w.TableGrid->RowCount(), 6);
  EXPECT_EQ(Cell(0, 5), "");
  EXPECT_EQ(w.TableGrid->GetCurrentCell(), (XLGridCoord{1, 5}));  // the new record, in view
  EXPECT_EQ(Read("staff.dbf").size(), kHeader + 6 * kRecord + 1);  // the end byte after it

  // Another program marks record 5 deleted; "X" on row 3 drops that row only.
  Bytes bytes = Read("staff.dbf");
  bytes[kHeader + 4 * kRecord] = '*';
  Write("staff.dbf", bytes);
  w.TableGrid->SetCurrentCell(0, 2);
  headless::ClickButton(*w.ReloadButton);  // the view sees the mark
  w.TableGrid->SetCurrentCell(0, 2);
  headless::ClickButton(*w.DeleteButton);
  ASSERT_EQ(w.TableGrid->RowCount(), 5);
  EXPECT_EQ(Cell(0, 0), "Ann");
  EXPECT_EQ(Cell(0, 1), "Bob");
  EXPECT_EQ(Cell(0, 2), "Dan");
  EXPECT_EQ(Cell(0, 3), "Eve");
  EXPECT_EQ(Cell(0, 4), "");
  EXPECT_EQ(Cell(4, 2), "m3");  // memo references kept
  bytes = Read("staff.dbf");
  EXPECT_EQ(test::GetLittle32(bytes, 4), 5u);
  EXPECT_EQ(bytes[kHeader + 3 * kRecord], '*');  // the other program's mark stays
  EXPECT_EQ(bytes.size(), kHeader + 5 * kRecord + 1);
  EXPECT_EQ(Status(), "OK");

  // Rows marked, the current one not among them: "X" asks, naming the
  // record, and "No" (as an unanswered question) removes nothing.
  // Marked from the keyboard: Shift+Down marks the rows it passes,
  // Shift+Space turns the current row's mark, and types nothing.
  w.TableGrid->SetCurrentCell(0, 1);
  w.TableGrid->SetFocus();
  headless::SetKeyDown(kVkShift, true);
  headless::PressKey(*w.TableGrid, kVkDown);
  headless::PressKey(*w.TableGrid, kVkDown);
  headless::PressKey(*w.TableGrid, kVkSpace);
  headless::SendMessageTo(*w.TableGrid, kWmChar, ' ');
  headless::SetKeyDown(kVkShift, false);
  EXPECT_EQ(w.TableGrid->GetMarkedRows(), (std::vector<int>{1, 2}));
  EXPECT_EQ(w.TableGrid->GetEditor(), nullptr);
  w.TableGrid->SetCurrentCell(0, 0);
  headless::ClickButton(*w.DeleteButton);
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_NE(headless::GetMessageBoxes()[0].Text.find("текущую запись 1."), std::string::npos);
  EXPECT_EQ(w.TableGrid->RowCount(), 5);
  headless::QueueMessageBoxAnswer(kIdYes);
  headless::ClickButton(*w.DeleteButton);
  EXPECT_EQ(Cell(0, 0), "Bob");
  headless::ClearMessageBoxes();

  // An empty table: "X" removes nothing.
  TableLayout empty = Staff(0x03, {});
  empty.Fields.pop_back();
  Write("empty.dbf", MakeTable(empty));
  Load("empty.dbf");
  headless::ClickButton(*w.DeleteButton);
  EXPECT_EQ(w.TableGrid->RowCount(), 0);
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
}

// Record numbers in the title column; a mark set or cleared with
// Ctrl+Delete is written at once, shown as "*" and a grey row, and "P"
// removes the marked records.
TEST_F(EditCommandsTest, DeletionMarksAreShownToggledAndPacked) {
  WriteStaff();
  Bytes bytes = Read("staff.dbf");
  bytes[kHeader + 3 * kRecord] = '*';  // marked by another program
  Write("staff.dbf", bytes);
  Load("staff.dbf");
  MainWindow& w = *win_;
  XLGrid& g = *w.TableGrid;
  EXPECT_EQ(g.GetRowTitle(0), "1");
  EXPECT_EQ(g.GetRowTitle(3), "*4");
  EXPECT_EQ(g.GetRowTitle(4), "5");
  EXPECT_TRUE(g.GetCellData(0, 3).Dimmed);
  EXPECT_TRUE(g.GetCellData(4, 3).Dimmed);
  EXPECT_FALSE(g.GetCellData(0, 4).Dimmed);

  auto ctrl_delete = [&g] {
    g.SetFocus();
    headless::SetKeyDown(kVkControl, true);
    headless::PressKey(g, kVkDelete);
    headless::SetKeyDown(kVkControl, false);
  };
  g.SetCurrentCell(2, 1);
  ctrl_delete();
  EXPECT_EQ(Read("staff.dbf")[kHeader + kRecord], '*');
  EXPECT_EQ(g.GetRowTitle(1), "*2");
  EXPECT_TRUE(g.GetCellData(0, 1).Dimmed);
  g.SetCurrentCell(0, 3);
  ctrl_delete();  // cleared again, written at once too
  EXPECT_EQ(Read("staff.dbf")[kHeader + 3 * kRecord], ' ');
  EXPECT_EQ(g.GetRowTitle(3), "4");
  EXPECT_FALSE(g.GetCellData(0, 3).Dimmed);
  EXPECT_EQ(Status(), "OK");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
  // Delete without Ctrl marks nothing.
  headless::PressKey(g, kVkDelete);
  EXPECT_EQ(Read("staff.dbf")[kHeader + 3 * kRecord], ' ');
  // Marked rows take the mark together, and lose it together.
  g.MarkRow(0, true);
  g.MarkRow(1, true);
  ctrl_delete();
  EXPECT_EQ(Read("staff.dbf")[kHeader], '*');
  EXPECT_EQ(Read("staff.dbf")[kHeader + kRecord], '*');
  EXPECT_EQ(Read("staff.dbf")[kHeader + 3 * kRecord], ' ');
  ctrl_delete();
  EXPECT_EQ(Read("staff.dbf")[kHeader], ' ');
  EXPECT_EQ(Read("staff.dbf")[kHeader + kRecord], ' ');
  g.MarkRow(0, false);
  g.MarkRow(1, false);
  g.SetCurrentCell(2, 1);
  ctrl_delete();

  headless::ClickButton(*w.PackButton);
  ASSERT_EQ(g.RowCount(), 4);
  EXPECT_EQ(Cell(0, 1), "Cy");
  EXPECT_EQ(g.GetRowTitle(1), "2");
  EXPECT_FALSE(g.GetCellData(0, 1).Dimmed);
  EXPECT_EQ(test::GetLittle32(Read("staff.dbf"), 4), 4u);
}

// An image in a memo is shown as binary data and never edited as text,
// in place or in the memo editor: not a byte of it changes.
TEST_F(EditCommandsTest, AMemoOfBinaryDataIsShownAndNeverEditedAsText) {
  const std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  std::vector<uint32_t> blocks;
  Bytes fpt = MakeFpt(64, {png, "text", "GIF89a"}, &blocks);
  fpt[blocks[2] * 64 + 3] = 0;  // block type 0: a picture, though no zero byte shows it
  Write("pic.fpt", fpt);
  Write("pic.dbf", MakeTable(Staff(0xF5, blocks)));
  const Bytes table = Read("pic.dbf"), memo = Read("pic.fpt");
  Load("pic.dbf");
  EXPECT_EQ(Cell(4, 0), "<двоичные данные>");
  EXPECT_EQ(Cell(4, 1), "text");
  EXPECT_EQ(Cell(4, 2), "<двоичные данные>");
  XLGrid& g = *win_->TableGrid;
  g.SetCurrentCell(4, 0);
  g.SetFocus();
  headless::PressKey(g, kVkF2);
  EXPECT_EQ(g.GetEditor(), nullptr);
  headless::ClickButton(*win_->MemoButton);
  ASSERT_EQ(headless::GetMessageBoxes().size(), 2u);
  for (const auto& box : headless::GetMessageBoxes())
    EXPECT_EQ(box.Text.rfind("Поле NOTE: мемо содержит двоичные данные", 0), 0u);
  EXPECT_EQ(Read("pic.dbf"), table);
  EXPECT_EQ(Read("pic.fpt"), memo);
}

// Ctrl+C: the current cell, or the marked rows under the field names as
// tab-separated lines; Ctrl+V: an in-place edit holding the clipboard's text.
TEST_F(EditCommandsTest, TheClipboardTakesCellsAndRowsAndGivesAnEdit) {
  const std::vector<std::string> texts = {"m0", "two\r\nlines", "say \"hi\"", "m3", "m4"};
  Write("staff.dbf", MakeTable(Staff(0x83, test::DbtBlocks(texts))));
  Write("staff.dbt", MakeDbt(texts));
  Load("staff.dbf");
  XLGrid& g = *win_->TableGrid;
  auto ctrl = [&g](int key) {
    g.SetFocus();
    headless::SetKeyDown(kVkControl, true);
    headless::PressKey(g, key);
    headless::SetKeyDown(kVkControl, false);
  };
  g.SetCurrentCell(1, 3);
  ctrl('C');
  EXPECT_EQ(GetClipboardText(), "33");
  g.MarkRow(1, true);
  g.MarkRow(2, true);
  ctrl('C');
  EXPECT_EQ(GetClipboardText(),
            "NAME\tAGE\tBORN\tOK\tNOTE\r\n"
            "Bob\t31\t19990101\tT\t\"two\r\nlines\"\r\n"
            "Cy\t32\t19990101\tT\t\"say \"\"hi\"\"\"\r\n");

  // Pasted into a one-line editor, the first line; nothing is written
  // until the edit is accepted.
  const Bytes before = Read("staff.dbf");
  SetClipboardText("Zed\r\nrest");
  g.SelectAll(false);
  g.SetCurrentCell(0, 4);
  ctrl('V');
  ASSERT_EQ(g.GetEditor(), win_->TextCellEditor.get());
  EXPECT_EQ(win_->TextCellEditor->GetText(), "Zed");
  EXPECT_EQ(Read("staff.dbf"), before);
  headless::PressKey(*win_->TextCellEditor, kVkReturn);
  EXPECT_EQ(StoredField(5, 1, 5), "Zed  ");
  // A memo cell takes every line.
  g.SetCurrentCell(4, 0);
  ctrl('V');
  ASSERT_EQ(g.GetEditor(), win_->MemoCellEditor.get());
  headless::PressKey(*win_->MemoCellEditor, kVkReturn);
  EXPECT_EQ(StoredMemo(1), "Zed\r\nrest");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
}

TEST_F(EditCommandsTest, ZoomEnlargesAMemoCellAndRestoresThatCell) {
  WriteStaff();
  MainWindow& w = *win_;
  w.Window->Show();
  Load("staff.dbf");
  XLGrid& g = *w.TableGrid;
  std::vector<int> spread;
  for (int c = 0; c < g.ColCount(); ++c) spread.push_back(g.GetColWidth(c));
  g.SetCurrentCell(0, 1);
  headless::ClickButton(*w.ZoomInButton);  // a Char column: nothing
  EXPECT_TRUE(w.ZoomInButton->IsEnabled());
  EXPECT_FALSE(w.ZoomOutButton->IsEnabled());
  const int width = g.GetColWidth(4);
  const int height = g.GetRowHeight(1);
  g.SetCurrentCell(4, 1);
  headless::ClickButton(*w.ZoomInButton);
  EXPECT_FALSE(w.ZoomInButton->IsEnabled());
  EXPECT_TRUE(w.ZoomOutButton->IsEnabled());
  // Inside the grid beside the titles, scrolled to.
  EXPECT_EQ(g.GetColWidth(4), g.GetClientSize().Width - g.GetRowTitleWidth());
  EXPECT_EQ(g.GetRowHeight(1), g.GetClientSize().Height - g.GetColTitleHeight());
  EXPECT_EQ(g.GetLeftCol(), 4);
  EXPECT_EQ(g.GetTopRow(), 1);
  EXPECT_EQ(w.SavedColWidth, width);
  EXPECT_EQ(w.SavedRowHeight, height);
  EXPECT_TRUE(g.GetCellData(4, 1).MultiLine);  // the memo's lines as it holds them
  // Restored on the enlarged cell wherever the current one went; the
  // others keep their sizes.
  g.SetCurrentCell(2, 3);
  g.SetColWidth(2, 33);
  headless::ClickButton(*w.ZoomOutButton);
  EXPECT_TRUE(w.ZoomInButton->IsEnabled());
  EXPECT_FALSE(w.ZoomOutButton->IsEnabled());
  EXPECT_EQ(g.GetColWidth(4), width);
  EXPECT_EQ(g.GetRowHeight(1), height);
  EXPECT_FALSE(g.GetCellData(4, 1).MultiLine);
  EXPECT_EQ(g.GetColWidth(2), 33);
  EXPECT_EQ(g.GetRowHeight(3), height);

  // A table loaded while a cell is enlarged starts afresh: first cell,
  // top left, default heights, columns spread, nothing left to restore.
  g.SetCurrentCell(4, 4);
  headless::ClickButton(*w.ZoomInButton);
  g.SetRowHeight(0, 55);
  g.SetTopRow(2);
  Load("staff.dbf");
  EXPECT_EQ(g.GetCurrentCell(), (XLGridCoord{0, 0}));
  EXPECT_EQ(g.GetTopRow(), 0);
  EXPECT_EQ(g.GetLeftCol(), 0);
  for (int r = 0; r < g.RowCount(); ++r) EXPECT_EQ(g.GetRowHeight(r), 20) << r;
  for (int c = 0; c < g.ColCount(); ++c) EXPECT_EQ(g.GetColWidth(c), spread[size_t(c)]) << c;
  EXPECT_FALSE(g.GetCellData(4, 4).MultiLine);
  EXPECT_TRUE(w.ZoomInButton->IsEnabled());
  EXPECT_FALSE(w.ZoomOutButton->IsEnabled());
}

TEST_F(EditCommandsTest, TheMemoEditorWritesOnlyWhatWasSaved) {
  WriteStaff();
  Load("staff.dbf");
  MainWindow& w = *win_;
  MemoEditorWindow& m = program_->GetMemoEditorWindow();
  w.TableGrid->SetCurrentCell(4, 0);
  std::string shown;
  std::vector<std::string> at_save;  // the stored memo and the note, at each "Сохранить"
  size_t boxes_at_refusal = 0;
  headless::QueueModalAction([&](Form&) {
    shown = m.Memo1->GetText();
    for (const char* text : {"first save", "saved text", "漢字"}) {
      m.Memo1->SetText(text);
      headless::ClickButton(*m.SaveButton);
      at_save.push_back(StoredMemo(1) + "|" + m.SaveNote->GetText());
    }
    // Refused aloud while the editor is still open, its text kept.
    boxes_at_refusal = headless::GetMessageBoxes().size();
    EXPECT_EQ(m.Memo1->GetText(), "漢字");
    m.Memo1->SetText("saved text");
    headless::TypeText(*m.Memo1, " and more");
    headless::ClickButton(*m.ExitButton);
  });
  headless::ClickButton(*w.MemoButton);
  EXPECT_EQ(shown, "m0");
  EXPECT_EQ(at_save, (std::vector<std::string>{"first save|Текст сохранён", "saved text|Текст сохранён",
                                                "saved text|"}));
  EXPECT_EQ(boxes_at_refusal, 1u);
  headless::ClearMessageBoxes();
  EXPECT_EQ(StoredMemo(1), "saved text");
  EXPECT_EQ(Cell(4, 0), "saved text");
  EXPECT_FALSE(m.Window->IsVisible());

  // Another record, closed with the close box without saving: unchanged.
  w.TableGrid->SetCurrentCell(4, 1);
  headless::QueueModalAction([&](Form& modal) {
    m.Memo1->SetText("typed, not saved");
    headless::PressCloseBox(modal);
  });
  const Bytes dbt = Read("staff.dbt");
  headless::ClickButton(*w.MemoButton);
  EXPECT_EQ(Read("staff.dbt"), dbt);
  EXPECT_EQ(StoredMemo(2), "m1");

  // Not a memo column: the table is opened and closed, nothing shown.
  w.TableGrid->SetCurrentCell(0, 1);
  headless::ClickButton(*w.MemoButton);
  EXPECT_EQ(headless::GetStarvedModalCount(), 0);
  EXPECT_EQ(Status(), "OK");
}

// Whatever column the user moved, a command acts on the field it shows.
TEST_F(EditCommandsTest, MovedColumnsKeepTheirFields) {
  WriteStaff();
  Load("staff.dbf");
  MainWindow& w = *win_;
  XLGrid& g = *w.TableGrid;
  g.MoveColumn(4, 0);  // NOTE first
  ASSERT_EQ(g.GetColTitle(0), "NOTE");
  EXPECT_EQ(w.FieldOfColumn(0), 5);
  EXPECT_EQ(w.FieldOfColumn(1), 1);
  EditCell(1, 0, "Zed");
  EXPECT_EQ(StoredField(1, 1, 5), "Zed  ");
  g.SetCurrentCell(0, 2);
  headless::PressKey(g, kVkF2);
  EXPECT_EQ(g.GetEditor(), w.MemoCellEditor.get());
  w.MemoCellEditor->SetText("moved memo");
  headless::PressKey(*w.MemoCellEditor, kVkReturn);
  EXPECT_EQ(StoredMemo(3), "moved memo");
  g.SetCurrentCell(0, 1);
  headless::ClickButton(*w.ZoomInButton);
  EXPECT_FALSE(w.ZoomInButton->IsEnabled());
  headless::ClickButton(*w.ZoomOutButton);
  // A refill keeps the order the user gave the columns.
  headless::ClickButton(*w.ReloadButton);
  EXPECT_EQ(g.GetColTitle(0), "NOTE");
  EXPECT_EQ(Cell(0, 2), "moved memo");
  EXPECT_EQ(Cell(1, 0), "Zed");
  // A newly loaded table starts in file order.
  Load("staff.dbf");
  EXPECT_EQ(g.GetColTitle(0), "NAME");
}

TEST_F(EditCommandsTest, ChangesByAnotherProgramAreNotOverwritten) {
  WriteStaff();
  Load("staff.dbf");
  MainWindow& w = *win_;
  // Another program deletes the first record and packs: every row now
  // shows the record after it.
  Bytes bytes = Read("staff.dbf");
  bytes.erase(bytes.begin() + long(kHeader), bytes.begin() + long(kHeader + kRecord));
  bytes[4] = 4;
  Write("staff.dbf", bytes);
  const Bytes changed = Read("staff.dbf");
  // The view follows at its next paint: as many rows as the file holds.
  w.Window->Show();
  w.TableGrid->Invalidate();
  w.TableGrid->Update();
  EXPECT_EQ(w.TableGrid->RowCount(), 4);
  EditCell(0, 1, "Xx");
  EXPECT_EQ(Read("staff.dbf"), changed);
  ASSERT_EQ(w.TableGrid->RowCount(), 4);
  EXPECT_EQ(Cell(0, 1), "Cy");  // refilled: what the file holds now
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_EQ(headless::GetMessageBoxes()[0].Text, texts::kTableChanged);

  // Seen now: the next edit goes through.
  EditCell(0, 1, "Xx");
  EXPECT_EQ(Slice(Read("staff.dbf"), kHeader + kRecord + 1, 5), "Xx   ");
  EXPECT_EQ(headless::GetMessageBoxes().size(), 1u);

  // "X" and "[_]" check as well.
  bytes = Read("staff.dbf");
  bytes[kHeader + 1] = 'Q';
  Write("staff.dbf", bytes);
  w.TableGrid->SetCurrentCell(0, 0);
  headless::ClickButton(*w.DeleteButton);
  EXPECT_EQ(w.TableGrid->RowCount(), 4);
  EXPECT_EQ(Cell(0, 0), "Qob");
  EXPECT_EQ(headless::GetMessageBoxes().size(), 2u);
}

// A write the file layer refuses is reported, never passed off as done.
TEST_F(EditCommandsTest, FailedWritesAreReportedWithTheEnginesMessage) {
  MemoryFileSystem fs;
  const std::vector<std::string> texts = {"m0", "m1"};
  fs.SetFile("m/staff.dbf", MakeTable(Staff(0x83, test::DbtBlocks(texts))));
  fs.SetFile("m/staff.dbt", MakeDbt(texts));
  program_.reset();
  program_ = NewProgram(&fs);
  win_ = &program_->GetMainWindow();
  MainWindow& w = *win_;
  headless::QueueFileDialogAnswer(std::string("m/staff.dbf"));
  w.LoadTable();
  ASSERT_EQ(w.TableGrid->RowCount(), 2);
  const Bytes before = fs.GetFile("m/staff.dbf");

  fs.ArmFault(FaultWrite, 1, DbfFaultMode::FailPersistent);
  EditCell(0, 0, "Zed");
  fs.DisarmFault();
  EXPECT_EQ(fs.GetFile("m/staff.dbf"), before);
  EXPECT_EQ(Cell(0, 0), "Ann");  // the cell keeps what the file holds
  EXPECT_EQ(Status(), "ERROR");
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_NE(headless::GetMessageBoxes()[0].Text, "no");
  EXPECT_FALSE(headless::GetMessageBoxes()[0].Text.empty());

  fs.ArmFault(FaultWrite, 1, DbfFaultMode::FailPersistent);
  headless::ClickButton(*w.AddButton);
  fs.DisarmFault();
  EXPECT_EQ(Status(), "ERROR");
  EXPECT_EQ(headless::GetMessageBoxes().size(), 2u);
  EXPECT_EQ(w.TableGrid->RowCount(), 2);
}

// While the memo editor is up (a command in progress), other commands are
// refused without effect.
TEST_F(EditCommandsTest, NoCommandStartsWhileAnotherRuns) {
  WriteStaff();
  Load("staff.dbf");
  MainWindow& w = *win_;
  w.TableGrid->SetCurrentCell(4, 0);
  bool busy = false;
  headless::QueueModalAction([&](Form& modal) {
    busy = w.IsBusy();
    w.AppendRecord();
    w.DeleteRecord();
    w.ReloadTable();
    w.PackTable();
    headless::PressCloseBox(modal);
  });
  const Bytes before = Read("staff.dbf");
  headless::ClickButton(*w.MemoButton);
  EXPECT_TRUE(busy);
  EXPECT_FALSE(w.IsBusy());
  EXPECT_EQ(Read("staff.dbf"), before);
  EXPECT_EQ(w.TableGrid->RowCount(), 5);
  headless::ClickButton(*w.AddButton);  // afterwards they run again
  EXPECT_EQ(w.TableGrid->RowCount(), 6);
}

// A same-size change that keeps the file's time (a coarse clock) is told by
// the record itself: the row no longer shows what the file holds there,
// also when the view was drawn again, with the change, while the editor
// was open (the edit started from the old record).
TEST_F(EditCommandsTest, AChangeTheFileTimeHidesIsToldByTheRecord) {
  for (const bool during_edit : {false, true}) {
    SCOPED_TRACE(during_edit);
    headless::ClearMessageBoxes();
    WriteStaff();
    Load("staff.dbf");
    // The user saw the record as the view drew it.
    XLGrid& g = *win_->TableGrid;
    win_->Window->Show();
    g.Update();
    g.SetCurrentCell(1, 1);
    g.SetFocus();
    if (during_edit) headless::PressKey(g, kVkF2);
    const auto time = std::filesystem::last_write_time(Path("staff.dbf"));
    Bytes bytes = Read("staff.dbf");
    bytes[kHeader + kRecord + 1] = 'R';  // "Bob" becomes "Rob"
    Write("staff.dbf", bytes);
    std::filesystem::last_write_time(Path("staff.dbf"), time);
    const Bytes changed = Read("staff.dbf");
    if (during_edit) {
      g.Invalidate();
      g.Update();
    } else {
      headless::PressKey(g, kVkF2);
    }
    ASSERT_NE(g.GetEditor(), nullptr);
    static_cast<Edit*>(g.GetEditor())->SetText("99");
    headless::PressKey(*g.GetEditor(), kVkReturn);
    EXPECT_EQ(Read("staff.dbf"), changed);
    EXPECT_EQ(Cell(0, 1), "Rob");
    EXPECT_EQ(Cell(1, 1), "31");
    EXPECT_EQ(headless::GetMessageBoxes().size(), 1u);
  }
}

TEST_F(EditCommandsTest, MemoEditsWithoutTheMemoFileAreRefusedAloud) {
  WriteStaff();
  std::filesystem::remove(Path("staff.dbt"));
  Load("staff.dbf");
  // Said at the load already.
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_EQ(headless::GetMessageBoxes()[0].Text, texts::kMemoFileMissingAtLoad);
  headless::ClearMessageBoxes();
  MainWindow& w = *win_;
  const Bytes before = Read("staff.dbf");
  EditCell(4, 0, "lost?");
  EXPECT_EQ(Read("staff.dbf"), before);
  EXPECT_EQ(Cell(4, 0), "");
  EXPECT_EQ(Status(), "ERROR");
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_EQ(headless::GetMessageBoxes()[0].Text, texts::kNoMemoFile);

  MemoEditorWindow& m = program_->GetMemoEditorWindow();
  headless::QueueModalAction([&](Form&) {
    m.Memo1->SetText("also lost?");
    headless::ClickButton(*m.SaveButton);
    headless::ClickButton(*m.ExitButton);
  });
  headless::ClickButton(*w.MemoButton);
  EXPECT_EQ(Read("staff.dbf"), before);
  EXPECT_EQ(Status(), "ERROR");
  EXPECT_EQ(headless::GetMessageBoxes().size(), 2u);
}

// A typed value its field cannot hold is refused aloud and nothing is
// written; a binary Integer shows and takes decimal text; a field of
// binary data shows a marker and opens no editor.
TEST_F(EditCommandsTest, TypedValuesAreCheckedAndBinaryFieldsKeepTheirForm) {
  TableLayout t;
  t.Version = 0x30;
  t.Fields = {{"SUMMA", 'N', 10, 2}, {"COUNT", 'I', 4}, {"PIC", 'G', 4}};
  t.Records = {"        1.5" + std::string("\x01\0\0\0", 4) + std::string("\x03\0\0\0", 4)};
  Write("sums.dbf", MakeTable(t));
  Load("sums.dbf");
  const size_t record = 32 + 32 * 3 + 1;
  EXPECT_EQ(Cell(1, 0), "1");
  EXPECT_EQ(Cell(2, 0), "<двоичные данные>");

  const Bytes before = Read("sums.dbf");
  EditCell(0, 0, "abc");
  EXPECT_EQ(Read("sums.dbf"), before);
  EXPECT_EQ(Cell(0, 0), "1.5");
  EXPECT_EQ(Status(), "ERROR");
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_EQ(headless::GetMessageBoxes()[0].Text,
            "Поле SUMMA: ожидается число шириной до 10 знаков, из них 2 после точки, или пусто.");

  // Fewer decimals than the field has: stored with the field's decimals,
  // without a warning.
  EditCell(0, 0, "12.5");
  EXPECT_EQ(Slice(Read("sums.dbf"), record + 1, 10), "     12.50");
  EXPECT_EQ(Status(), "OK");
  EditCell(1, 0, "-2");
  EXPECT_EQ(Slice(Read("sums.dbf"), record + 11, 8), std::string("\xFE\xFF\xFF\xFF\x03\0\0\0", 8));
  EXPECT_EQ(Cell(1, 0), "-2");
  EXPECT_EQ(headless::GetMessageBoxes().size(), 1u);

  XLGrid& g = *win_->TableGrid;
  g.SetCurrentCell(2, 0);
  g.SetFocus();
  headless::PressKey(g, kVkF2);
  EXPECT_EQ(g.GetEditor(), nullptr);
  ASSERT_EQ(headless::GetMessageBoxes().size(), 2u);
  EXPECT_EQ(headless::GetMessageBoxes()[1].Text.rfind("Поле PIC: ", 0), 0u);
}

// The menu leaves the focus in an open editor: the edit is written before
// the menu's command runs, not dropped by it.
TEST_F(EditCommandsTest, AMenuCommandWritesAnEditInProgressFirst) {
  WriteStaff();
  Load("staff.dbf");
  MainWindow& w = *win_;
  w.TableGrid->SetCurrentCell(0, 3);
  headless::PressKey(*w.TableGrid, kVkF2);
  w.TextCellEditor->SetText("Dora");
  headless::QueueModalAction([](Form& modal) { headless::PressCloseBox(modal); });
  headless::ChooseMenuItem(*w.Window, 4);  // "Справка"
  EXPECT_EQ(w.TableGrid->GetEditor(), nullptr);
  EXPECT_EQ(StoredField(4, 1, 5), "Dora ");
  w.TableGrid->SetCurrentCell(0, 2);
  headless::PressKey(*w.TableGrid, kVkF2);
  w.TextCellEditor->SetText("Cyd");
  headless::QueueFileDialogAnswer(std::nullopt);
  headless::ChooseMenuItem(*w.Window, 1);  // "Заерузить", cancelled
  EXPECT_EQ(StoredField(3, 1, 5), "Cyd  ");
  EXPECT_EQ(Cell(0, 2), "Cyd");
}

// A Clipper-style program holds record 2, then the whole table: the edit
// and the removal are refused in the user's words and write nothing.
TEST_F(EditCommandsTest, LocksOfAnotherProgramAreToldAndNothingIsWritten) {
  WriteStaff();
  Load("staff.dbf");
  const Bytes before = Read("staff.dbf");
  {
    test::Peer peer(Path("staff.dbf"), 1000000002, 1);
    ASSERT_TRUE(peer.Locked());
    EditCell(0, 1, "Xx");
  }
  {
    test::Peer peer(Path("staff.dbf"), 1000000001, 1000000000);
    ASSERT_TRUE(peer.Locked());
    win_->TableGrid->SetCurrentCell(0, 0);
    headless::ClickButton(*win_->DeleteButton);
  }
  EXPECT_EQ(Read("staff.dbf"), before);
  ASSERT_EQ(headless::GetMessageBoxes().size(), 2u);
  EXPECT_EQ(headless::GetMessageBoxes()[0].Text, "Запись занята другой программой");
  EXPECT_EQ(headless::GetMessageBoxes()[1].Text, "Таблица занята другой программой");
}

// A table with an index tag the program does not keep: the first write
// asks; "No" shows it for reading only, "Yes" writes on without asking
// again, "Cancel" leaves it all as it was; a load asks afresh. A kept tag
// asks nothing.
TEST_F(EditCommandsTest, TheFirstWriteBesideIndexFilesAsksFirst) {
  WriteStaff();
  Write("staff.ntx", test::MakeNtx("IIF(NAME='A',NAME,NAME)", 5, {{"Ann  ", 1}, {"Bob  ", 2}}));
  const Bytes before = Read("staff.dbf");
  for (int answer : {kIdCancel, kIdNo}) {
    Load("staff.dbf");
    EXPECT_EQ(win_->IndexLabel->GetText(), "Индексы: staff.ntx (staff!) — отмеченные «!» программа не обновляет.");
    EXPECT_TRUE(win_->IndexBar->IsVisible());
    headless::QueueMessageBoxAnswer(answer);
    headless::ClickButton(*win_->AddButton);
    ASSERT_EQ(headless::GetMessageBoxes().size(), 1u) << answer;
    EXPECT_EQ(headless::GetMessageBoxes()[0].Text, texts::kStaleIndexesQuestion);
    EXPECT_EQ(Read("staff.dbf"), before);
    EXPECT_EQ(Status(), answer == kIdNo ? "ЧТЕНИЕ" : "OK");
    headless::ClearMessageBoxes();
  }
  Load("staff.dbf");
  headless::QueueMessageBoxAnswer(kIdYes);
  EditCell(0, 0, "Zoe");
  headless::ClickButton(*win_->AddButton);
  EXPECT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_EQ(StoredField(1, 1, 5), "Zoe  ");
  EXPECT_EQ(win_->TableGrid->RowCount(), 6);
  std::filesystem::remove(Path("staff.ntx"));
  Load("staff.dbf");
  EXPECT_FALSE(win_->IndexBar->IsVisible());
  Write("staff.ntx", test::MakeNtx("NAME", 5, {}));
  headless::ClearMessageBoxes();
  Load("staff.dbf");
  EXPECT_EQ(win_->IndexLabel->GetText(), "Индексы: staff.ntx (staff) — обновляются при каждой записи.");
  EditCell(0, 0, "Al");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
  std::filesystem::remove(Path("staff.ntx"));

  // A structural index announced and missing: the load offers to clear the
  // flag; "No" keeps the byte, "Yes" clears it alone.
  Bytes flagged = Read("staff.dbf");
  flagged[28] = 1;
  Write("staff.dbf", flagged);
  for (int answer : {kIdNo, kIdYes}) {
    headless::ClearMessageBoxes();
    headless::QueueMessageBoxAnswer(answer);
    Load("staff.dbf");
    ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
    EXPECT_EQ(headless::GetMessageBoxes()[0].Text, texts::kClearStructuralFlagQuestion);
    Bytes now = Read("staff.dbf");
    EXPECT_EQ(now[28], answer == kIdYes ? 0 : 1);
    now[28] = 1;
    EXPECT_EQ(now, flagged);
  }
  EXPECT_FALSE(win_->IndexBar->IsVisible());
}

}  // namespace
}  // namespace tabulon
