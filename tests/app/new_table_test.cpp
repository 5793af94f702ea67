// The new-table area: the field rows, their in-place editors, the checks of
// the rows, the save dialog and the files created.
#include "app_test_support.h"
#include "input.h"
#include "texts.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::GetLittle32;
using test::MakeTable;
using test::TableLayout;

class NewTableTest : public AppTest {
 protected:
  void SetRows(const std::string& count) {
    win_->FieldCountEdit->SetText(count);
    headless::ClickButton(*win_->FieldCountButton);
  }

  void SetRow(int row, const std::string& name, const std::string& size, const std::string& type) {
    win_->FieldGrid->GetCell(0, row).SetText(name);
    win_->FieldGrid->GetCell(1, row).SetText(size);
    win_->FieldGrid->GetCell(2, row).SetText(type);
  }

  // "Сохранить" with the save dialog answered (nullopt: cancelled).
  void Create(std::optional<std::string> answer) {
    headless::ClearMessageBoxes();
    headless::QueueFileDialogAnswer(std::move(answer));
    headless::ClickButton(*win_->CreateTableButton);
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& box : headless::GetMessageBoxes()) texts.push_back(box.Text);
    return texts;
  }

  bool Exists(const std::string& name) const { return std::filesystem::exists(Path(name)); }
};

using Texts = std::vector<std::string>;

TEST_F(NewTableTest, TheCountGivesThatManyEmptyRows) {
  MainWindow& w = *win_;
  SetRow(0, "OLD", "5", "Text");
  SetRows("3");
  ASSERT_EQ(w.FieldGrid->RowCount(), 3);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(w.FieldGrid->GetCell(c, r).GetText(), "");
  SetRows("");
  EXPECT_EQ(w.FieldGrid->RowCount(), 0);
  SetRows("+2");
  EXPECT_EQ(w.FieldGrid->RowCount(), 2);
  SetRows("-4");
  EXPECT_EQ(w.FieldGrid->RowCount(), 0);
  SetRows("7x1");
  EXPECT_EQ(w.FieldGrid->RowCount(), 7);
  // A table holds at most 128 fields: more rows are never made, however
  // large the count (65,536 would wrap round to none).
  SetRows("65536");
  EXPECT_EQ(w.FieldGrid->RowCount(), 128);
  EXPECT_EQ(w.FieldCountEdit->GetText(), "128");
  SetRows("99999999999999999999");
  EXPECT_EQ(w.FieldGrid->RowCount(), 128);
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
}

TEST_F(NewTableTest, CreatesADbaseIiiTableWithItsMemoFileAndNoRecords) {
  MainWindow& w = *win_;
  TableLayout old;
  old.Fields = {{"X", 'C', 2}};
  old.Records = {" ab"};
  Write("old.dbf", MakeTable(old));
  Load("old.dbf");
  SetRows("2");
  SetRow(0, "NAME", "20", "Text");
  SetRow(1, "NOTES", "", "Memo");
  Create(Path("new.dbf"));

  EXPECT_EQ(Messages(), (Texts{"NAME=C20", "NOTES=M", "База успешно создана"}));
  for (const auto& box : headless::GetMessageBoxes()) EXPECT_EQ(box.Caption, "tabulon");
  EXPECT_EQ(w.FieldDefinitionLines, (Texts{"NAME=C20", "NOTES=M"}));
  ASSERT_EQ(headless::GetFileDialogs().size(), 2u);
  const headless::FileDialogRecord& d = headless::GetFileDialogs().back();
  EXPECT_EQ(d.Mode, FileDialogMode::Save);
  EXPECT_EQ(d.Options, 0x00A80806u);  // no "file must exist" when saving
  EXPECT_EQ(d.Filter, "Файлы dbf|*.dbf|Все Файлы|*.*");
  EXPECT_EQ(d.DefaultExt, "");
  EXPECT_EQ(d.FileName, Path("old.dbf"));  // the path chosen last
  EXPECT_EQ(d.Owner, w.Window->GetHandle());

  EXPECT_EQ(w.Session->GetFileName(), Path("new.dbf"));
  EXPECT_EQ(w.Session->GetMemoFileName(), Path("new.dbt"));
  EXPECT_FALSE(w.Session->IsOpen());
  const Bytes b = Read("new.dbf");
  ASSERT_EQ(b.size(), 32u * 2 + 34);
  EXPECT_EQ(b[0], 0x83);
  EXPECT_EQ(GetLittle32(b, 4), 0u);                // no records
  EXPECT_EQ(b[8] | (b[9] << 8), 32 * 2 + 33);      // header size
  EXPECT_EQ(b[10] | (b[11] << 8), 1 + 20 + 10);    // record size
  EXPECT_EQ(b[29], 0xC9);                          // text typed in Windows-1251
  EXPECT_EQ(test::Slice(b, 32, 12), std::string("NAME\0\0\0\0\0\0\0C", 12));
  EXPECT_EQ(b[32 + 16], 20);
  EXPECT_EQ(test::Slice(b, 64, 12), std::string("NOTES\0\0\0\0\0\0M", 12));
  EXPECT_EQ(GetLittle32(b, 64 + 12), 20u);  // offset in the record
  EXPECT_EQ(b[64 + 16], 10);
  EXPECT_EQ(b[96], 0x0D);
  EXPECT_EQ(b[97], 0x1A);
  EXPECT_EQ(Read("new.dbt"), (Bytes{1, 0, 0, 0}));

  // The view shows the new table, the one the commands now act on.
  EXPECT_EQ(Status(), "OK");
  ASSERT_EQ(w.TableGrid->ColCount(), 2);
  EXPECT_EQ(w.TableGrid->GetColTitle(1), "NOTES");
  EXPECT_EQ(w.TableGrid->RowCount(), 0);
}

TEST_F(NewTableTest, RowsAreCheckedInOrderAndTheFirstIncompleteOneIsNamed) {
  MainWindow& w = *win_;
  SetRows("2");
  SetRow(0, "A", "5", "Text");
  SetRow(1, "", "3", "Text");
  Create(Path("t.dbf"));
  EXPECT_EQ(Messages(), (Texts{"A=C5", "Введите имя для 2 столбца"}));
  EXPECT_TRUE(headless::GetFileDialogs().empty());
  EXPECT_FALSE(Exists("t.dbf"));

  // Blanks and control characters around a text do not count.
  SetRow(1, " \t ", "3", "Text");
  Create(Path("t.dbf"));
  EXPECT_EQ(Messages(), (Texts{"A=C5", "Введите имя для 2 столбца"}));
  EXPECT_EQ(w.FieldDefinitionLines, (Texts{"A=C5"}));  // built afresh each time

  // No size and no type: the size is asked for first.
  SetRow(1, "B", " ", "");
  Create(Path("t.dbf"));
  EXPECT_EQ(Messages(), (Texts{"A=C5", "Введите размер поля для 2 столбца"}));
  SetRow(1, "B", "3", "");
  Create(Path("t.dbf"));
  EXPECT_EQ(Messages(), (Texts{"A=C5", "Вы не выбрали тип данных для 2 столбца"}));
  EXPECT_TRUE(headless::GetFileDialogs().empty());

  // A memo needs no size and drops one typed in; other texts are trimmed;
  // a type other than the two is passed on as typed.
  SetRows("3");
  SetRow(0, " city\r\n", " 12 ", " Text ");
  SetRow(1, "NOTE", "40", "Memo");
  SetRow(2, "Q", "7", "memo");
  Create(Path("t.dbf"));
  EXPECT_EQ(Messages(), (Texts{"CITY=C12", "NOTE=M", "Q=memo7", "База успешно создана"}));
  const Bytes b = Read("t.dbf");
  ASSERT_EQ(b.size(), 32u * 3 + 34);
  EXPECT_EQ(test::Slice(b, 32, 4), "CITY");
  EXPECT_EQ(b[64 + 11], 'M');
  EXPECT_EQ(b[96 + 11], 'M');  // the engine reads "memo7" as a memo
}

TEST_F(NewTableTest, ACancelledDialogCreatesNothingAndKeepsTheFileNames) {
  MainWindow& w = *win_;
  const std::vector<std::string> notes = {"note"};
  TableLayout old;
  old.Version = 0x83;
  old.Fields = {{"NOTE", 'M', 10}};
  old.Records = {" " + test::Ref(1)};
  Write("old.dbf", MakeTable(old));
  Write("old.dbt", test::MakeDbt(notes));
  Load("old.dbf");
  SetRow(0, "A", "5", "Text");
  Create(std::nullopt);
  EXPECT_EQ(Messages(), (Texts{"A=C5", "Неудача создания базы"}));
  EXPECT_EQ(w.Session->GetFileName(), Path("old.dbf"));
  EXPECT_EQ(w.Session->GetMemoFileName(), Path("old.dbt"));
  // Only the two files of the loaded table.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()), 2);
}

TEST_F(NewTableTest, ANameWithoutExtensionIsUsedExactlyAndTheMemoFileFollowsIt) {
  MainWindow& w = *win_;
  // A table with a memo file loaded before: its memo file is never the
  // new table's.
  TableLayout old;
  old.Version = 0x83;
  old.Fields = {{"NOTE", 'M', 10}};
  Write("old.dbf", MakeTable(old));
  Write("old.dbt", test::MakeDbt({}));
  Load("old.dbf");
  ASSERT_EQ(w.Session->GetMemoFileName(), Path("old.dbt"));

  SetRow(0, "A", "5", "Text");
  Create(Path("NEWBASE"));
  EXPECT_TRUE(Exists("NEWBASE"));
  EXPECT_FALSE(Exists("NEWBASE.dbf"));
  EXPECT_EQ(w.Session->GetFileName(), Path("NEWBASE"));
  EXPECT_EQ(w.Session->GetMemoFileName(), "");  // no memo field, no memo file
  EXPECT_FALSE(Exists("NEWBASt"));
  EXPECT_EQ(Read("NEWBASE").size(), 66u);

  SetRow(0, "M", "", "Memo");
  Create(Path("MEMOBASE"));
  EXPECT_EQ(w.Session->GetMemoFileName(), Path("MEMOBASt"));
  EXPECT_EQ(Read("MEMOBASt"), (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(Read("old.dbt"), test::MakeDbt({}));

  // A FoxPro memo file of some other table beside the new name is left
  // alone: the new table's memo file is the one its creation wrote.
  const Bytes fox = test::MakeFpt(64, {"foreign"});
  Write("fox.fpt", fox);
  Create(Path("fox.dbf"));
  EXPECT_EQ(w.Session->GetMemoFileName(), Path("fox.dbt"));
  Load("fox.dbf");
  EXPECT_EQ(Read("fox.fpt"), fox);
}

TEST_F(NewTableTest, AFileChosenForReplacementIsChangedByTheCreationOnly) {
  MainWindow& w = *win_;
  TableLayout old;
  old.Fields = {{"X", 'C', 2}};
  old.Records = {" ab", " cd"};
  Write("old.dbf", MakeTable(old));
  Load("old.dbf");
  SetRow(0, "A", "5", "Text");
  Create(Path("old.dbf"));
  EXPECT_EQ(Messages(), (Texts{"A=C5", "База успешно создана"}));
  const Bytes b = Read("old.dbf");
  ASSERT_EQ(b.size(), 66u);  // header, one descriptor, 0x0D 0x1A: no record
  EXPECT_EQ(GetLittle32(b, 4), 0u);
  EXPECT_EQ(b[0], 0x03);
  EXPECT_EQ(test::Slice(b, 32, 2), std::string("A\0", 2));
  EXPECT_EQ(b[65], 0x1A);
  EXPECT_FALSE(w.Session->IsOpen());
}

// A Text size a table cannot hold, and two names that the engine's
// upper-casing and cut to 10 characters make one, are refused at their row.
TEST_F(NewTableTest, BadSizesAndRepeatedNamesAreRefusedBeforeTheDialog) {
  struct Case {
    std::vector<Texts> rows;  // name, size, type
    Texts messages;
  };
  const std::string range = ") не подходит: для типа Text допустимо от 1 до 254.";
  const std::string same = ": имена сравниваются заглавными буквами по первым 10 знакам.";
  const Case cases[] = {
      {{{"A", "255", "Text"}}, {"Размер поля в строке 1 (255" + range}},
      {{{"A", "0", "Text"}}, {"Размер поля в строке 1 (0" + range}},
      {{{"A", "5", "Text"}, {"B", "300", "Text"}}, {"A=C5", "Размер поля в строке 2 (300" + range}},
      {{{"city", "5", "Text"}, {"CITY", "7", "Text"}},
       {"CITY=C5", "Поля в строках 1 и 2 получают одно имя CITY" + same}},
      {{{"LONG_NAME_1", "5", "Text"}, {"x", "1", "Text"}, {"long_name_2", "", "Memo"}},
       {"LONG_NAME_1=C5", "X=C1", "Поля в строках 1 и 3 получают одно имя LONG_NAME_" + same}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messages.back());
    SetRows(std::to_string(c.rows.size()));
    for (size_t r = 0; r < c.rows.size(); ++r) SetRow(int(r), c.rows[r][0], c.rows[r][1], c.rows[r][2]);
    Create(Path("t.dbf"));
    EXPECT_EQ(Messages(), c.messages);
    EXPECT_TRUE(headless::GetFileDialogs().empty());
    EXPECT_FALSE(Exists("t.dbf"));
  }

  // The widest Text is created, and it opens.
  SetRows("1");
  SetRow(0, "A", "254", "Text");
  Create(Path("t.dbf"));
  EXPECT_EQ(Messages(), (Texts{"A=C254", "База успешно создана"}));
  EXPECT_EQ(Read("t.dbf")[32 + 16], 254);
  headless::ClickButton(*win_->ReloadButton);
  EXPECT_EQ(win_->TableGrid->ColCount(), 1);
  EXPECT_EQ(Status(), "OK");
}

TEST_F(NewTableTest, TheFieldGridIsEditedWithTheThreeEditors) {
  MainWindow& w = *win_;
  XLGrid& g = *w.FieldGrid;
  SetRows("2");
  // A double click on the name cell: the free-text editor.
  const Rect name = g.CellRect(0, 0);
  const int x = (name.Left + name.Right) / 2, y = (name.Top + name.Bottom) / 2;
  headless::SendMouse(g, kWmLButtonDown, x, y);
  headless::SendMouse(g, kWmLButtonUp, x, y);
  headless::SendMouse(g, kWmLButtonDblClk, x, y);
  ASSERT_EQ(g.GetEditor(), w.TextCellEditor.get());
  EXPECT_TRUE(w.TextCellEditor->IsVisible());
  headless::TypeText(*w.TextCellEditor, "Город");
  headless::PressKey(*w.TextCellEditor, kVkReturn);
  EXPECT_EQ(g.GetCell(0, 0).GetText(), "Город");
  EXPECT_FALSE(w.TextCellEditor->IsVisible());

  // F2 on the size cell: digits only.
  g.SetCurrentCell(1, 0);
  g.SetFocus();
  headless::PressKey(g, kVkF2);
  ASSERT_EQ(g.GetEditor(), w.SizeCellEditor.get());
  EXPECT_EQ(w.SizeCellEditor->GetText(), "");
  headless::TypeText(*w.SizeCellEditor, "1x5");
  headless::PressKey(*w.SizeCellEditor, kVkReturn);
  EXPECT_EQ(g.GetCell(1, 0).GetText(), "15");

  // The type list opens on the cell's type, and its choice is stored.
  g.GetCell(2, 0).SetText("Memo");
  g.SetCurrentCell(2, 0);
  g.SetFocus();
  headless::PressKey(g, kVkF2);
  ASSERT_EQ(g.GetEditor(), w.TypeCellEditor.get());
  EXPECT_EQ(w.TypeCellEditor->GetText(), "Memo");
  headless::ChooseItem(*w.TypeCellEditor, 0);
  headless::PressKey(*w.TypeCellEditor, kVkReturn);
  EXPECT_EQ(g.GetCell(2, 0).GetText(), "Text");
  // An empty type cell opens on the first type, whatever was chosen last.
  headless::ChooseItem(*w.TypeCellEditor, 1);
  g.SetCurrentCell(2, 1);
  g.SetFocus();
  headless::PressKey(g, kVkF2);
  EXPECT_EQ(w.TypeCellEditor->GetText(), "Text");
  headless::PressKey(*w.TypeCellEditor, kVkEscape);
  EXPECT_EQ(g.GetCell(2, 1).GetText(), "");

  // No other column has an editor.
  EXPECT_EQ(w.BeginFieldEdit(3, 0).Editor, nullptr);

  // The count's "OK" while a cell is being edited: the edit goes with the rows.
  g.SetCurrentCell(0, 1);
  g.SetFocus();
  headless::PressKey(g, kVkF2);
  headless::TypeText(*w.TextCellEditor, "lost");
  SetRows("1");
  EXPECT_EQ(g.GetEditor(), nullptr);
  EXPECT_EQ(g.RowCount(), 1);
  EXPECT_EQ(g.GetCell(0, 0).GetText(), "");

  // What was typed makes the line, in capitals.
  SetRow(0, "Город", "15", "Text");
  Create(Path("city.dbf"));
  EXPECT_EQ(Messages(), (Texts{"ГОРОД=C15", "База успешно создана"}));
  EXPECT_EQ(test::Slice(Read("city.dbf"), 32, 5), Utf8ToAnsi("ГОРОД"));
}

// With the OEM box checked the names are stored in 866, in capitals of
// that code page; the lines shown and the refusals read as typed.
TEST_F(NewTableTest, NamesFollowTheCodePageOfTheOemBox) {
  MainWindow& w = *win_;
  w.OemCheckBox->SetChecked(true);
  const std::string same = ": имена сравниваются заглавными буквами по первым 10 знакам.";
  struct Case {
    Texts names;
    Texts messages;
  };
  const Case cases[] = {
      {{"имя", "ИМЯ"}, {"ИМЯ=C5", "Поля в строках 1 и 2 получают одно имя ИМЯ" + same}},
      {{"a", "ёж•"},
       {"A=C5", std::string(texts::kNameNoOemTwinPrefix) + "2" + texts::kNameNoOemTwinMiddle + "•" +
                    texts::kNameNoOemTwinSuffix}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messages.back());
    SetRows(std::to_string(c.names.size()));
    for (size_t r = 0; r < c.names.size(); ++r) SetRow(int(r), c.names[r], "5", "Text");
    headless::ClearMessageBoxes();
    headless::ClickButton(*w.CreateTableButton);  // refused before the dialog
    EXPECT_EQ(Messages(), c.messages);
  }

  SetRows("2");
  SetRow(0, "Город", "15", "Text");
  SetRow(1, "ёж", "", "Memo");
  Create(Path("city.dbf"));
  EXPECT_EQ(Messages(), (Texts{"ГОРОД=C15", "ЁЖ=M", "База успешно создана"}));
  EXPECT_EQ(w.FieldDefinitionLines, (Texts{"\x83\x8E\x90\x8E\x84=C15", "\xF0\x86=M"}));
  const Bytes b = Read("city.dbf");
  ASSERT_EQ(b.size(), 32u * 2 + 34);
  EXPECT_EQ(test::Slice(b, 32, 6), std::string("\x83\x8E\x90\x8E\x84\0", 6));
  EXPECT_EQ(test::Slice(b, 64, 3), std::string("\xF0\x86\0", 3));
  EXPECT_EQ(b[29], 0x26);  // a DOS table, as its names are
  headless::ClickButton(*w.ReloadButton);
  EXPECT_EQ(w.TableGrid->GetColTitle(0), "ГОРОД");
  EXPECT_EQ(w.TableGrid->GetColTitle(1), "ЁЖ");
  // Empty, the new table still tells its code page when it is loaded.
  w.OemCheckBox->SetChecked(false);
  Load("city.dbf");
  EXPECT_TRUE(w.OemCheckBox->IsChecked());
}

// Alt-dragging a column of the field grid keeps each column's meaning: its
// editor and the part of the definition it gives.
TEST_F(NewTableTest, MovedFieldGridColumnsKeepTheirMeaning) {
  MainWindow& w = *win_;
  SetRows("1");
  w.FieldGrid->MoveColumn(2, 0);  // type, name, size
  ASSERT_EQ(w.FieldGrid->GetColTitle(0), "Тип поля");
  w.FieldGrid->GetCell(0, 0).SetText("Text");
  w.FieldGrid->GetCell(1, 0).SetText("CITY");
  w.FieldGrid->GetCell(2, 0).SetText("12");
  w.FieldGrid->SetCurrentCell(0, 0);
  w.FieldGrid->BeginEdit();
  EXPECT_EQ(w.FieldGrid->GetEditor(), w.TypeCellEditor.get());
  w.FieldGrid->EndEdit(false, true);
  EXPECT_EQ(w.FieldGrid->GetEditor(), nullptr);
  w.FieldGrid->SetCurrentCell(2, 0);
  EXPECT_EQ(w.FieldGrid->GetCurrentCell(), (XLGridCoord{2, 0}));
  w.FieldGrid->BeginEdit();
  EXPECT_EQ(w.FieldGrid->GetEditor(), w.SizeCellEditor.get());
  w.FieldGrid->EndEdit(false, true);
  Create(Path("moved.dbf"));
  EXPECT_EQ(w.FieldDefinitionLines, (Texts{"CITY=C12"}));
}

// A name ending in "t" is the name its memo file would get: the creation
// is refused and reported, and nothing is written.
TEST_F(NewTableTest, ANameThatWouldBeItsOwnMemoFileIsRefused) {
  SetRows("1");
  SetRow(0, "NOTE", "", "Memo");
  Create(Path("REPORT"));
  EXPECT_EQ(Messages(), (Texts{"NOTE=M", "Неудача создания базы"}));
  EXPECT_EQ(Status(), "ERROR");
  EXPECT_FALSE(Exists("REPORT"));
  EXPECT_EQ(win_->Session->GetMemoFileName(), "");
}

}  // namespace
}  // namespace tabulon
