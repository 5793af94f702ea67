// Searching the field of the current column with a mask, and jumping to a
// hit's row.
#include "app_test_support.h"
#include "texts.h"

namespace tabulon {
namespace {

using test::FieldLayout;
using test::MakeDbt;
using test::MakeTable;
using test::Ref;
using test::TableLayout;

// "Кот" in Windows-1251 and in code page 866.
const std::string kAnsiCat = "\xCA\xEE\xF2";
const std::string kOemCat = "\x8A\xAE\xE2";

// NAME C8 and AGE N3; ten records, the fourth marked deleted.
TableLayout Animals() {
  TableLayout t;
  t.Fields = {{"NAME", 'C', 8}, {"AGE", 'N', 3}};
  t.Records = {" abc       1", " ABC      22", " xabc    333", "*a        42",
               " ab        5", "           ", " " + kAnsiCat + "       7",
               " " + kOemCat + "       8", " abcd      9", " b        10"};
  return t;
}

class SearchTest : public AppTest {
 protected:
  // Searches the field of column col with the mask; the hits' record numbers.
  std::vector<std::string> Search(int col, const std::string& mask) {
    win_->TableGrid->SetCurrentCell(col, 0);
    win_->SearchMaskEdit->SetText(mask);
    headless::ClickButton(*win_->SearchButton);
    EXPECT_EQ(win_->SearchResultList->GetCount(), int(win_->SearchHitRecords.size()));
    return win_->SearchHitRecords;
  }

  // The listed values, each after its record number.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < win_->SearchResultList->GetCount(); ++i) {
      const std::string line = win_->SearchResultList->GetLine(i);
      const std::string number = win_->SearchHitRecords[size_t(i)] + ": ";
      EXPECT_EQ(line.substr(0, number.size()), number);
      lines.push_back(line.substr(number.size()));
    }
    return lines;
  }
};

using Hits = std::vector<std::string>;

TEST_F(SearchTest, MasksMatchWholeStoredValuesInEitherCase) {
  Write("animals.dbf", MakeTable(Animals()));
  Load("animals.dbf");
  EXPECT_EQ(Search(0, "*"), (Hits{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
  EXPECT_EQ(Lines()[5], "");  // an empty value, listed as one
  // Trailing blanks are gone before matching; the deleted record counts.
  EXPECT_EQ(Search(0, "abc"), (Hits{"1", "2"}));
  EXPECT_EQ(Lines(), (Hits{"abc", "ABC"}));
  EXPECT_EQ(win_->SearchTitle->GetText(), "Поиск по базе: найдено 2");
  // Enter in the mask box searches too.
  win_->SearchMaskEdit->SetText("?");
  headless::PressKey(*win_->SearchMaskEdit, kVkReturn);
  EXPECT_EQ(win_->SearchHitRecords, (Hits{"4", "10"}));
  EXPECT_EQ(Search(0, "?"), (Hits{"4", "10"}));
  EXPECT_EQ(Search(0, "??*"), (Hits{"1", "2", "3", "5", "7", "8", "9"}));
  EXPECT_EQ(Search(0, ""), (Hits{"6"}));
  EXPECT_EQ(Search(0, "a*"), (Hits{"1", "2", "4", "5", "9"}));
  EXPECT_EQ(Search(0, "nothing"), Hits{});
  EXPECT_EQ(win_->SearchResultList->GetCount(), 0);
  // Numbers are matched as the view shows them, without the leading
  // blanks that right-justify them in the file.
  EXPECT_EQ(Search(1, "42"), (Hits{"4"}));
  EXPECT_EQ(Search(1, "*42"), (Hits{"4"}));
  EXPECT_EQ(Lines(), (Hits{"42"}));
  // The view and the table are left as they were.
  EXPECT_EQ(Status(), "OK");
  EXPECT_FALSE(win_->Session->IsOpen());
  EXPECT_EQ(win_->TableGrid->RowCount(), 10);
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
}

// Values are matched and listed as the view shows them: once a fill shows
// the table converted from 866, a Cyrillic mask finds the DOS word in
// either case, and the Windows bytes match what they are shown as.
TEST_F(SearchTest, CyrillicMasksMatchValuesAsTheViewShowsThem) {
  Write("animals.dbf", MakeTable(Animals()));
  Load("animals.dbf");
  ASSERT_FALSE(win_->OemCheckBox->IsChecked());  // a word each way tells nothing
  const std::string small_k = "*к*";
  EXPECT_EQ(Search(0, small_k), (Hits{"7"}));
  EXPECT_EQ(Search(0, "кОТ"), (Hits{"7"}));
  win_->OemCheckBox->SetChecked(true);
  EXPECT_EQ(Search(0, small_k), (Hits{"7"}));  // as the view still shows it
  headless::ClickButton(*win_->ReloadButton);
  ASSERT_EQ(Cell(0, 7), AnsiToUtf8(kAnsiCat));
  EXPECT_EQ(Search(0, small_k), (Hits{"8"}));
  EXPECT_EQ(Lines(), (Hits{AnsiToUtf8(kAnsiCat)}));
  EXPECT_EQ(Search(0, "кОТ"), (Hits{"8"}));
  EXPECT_EQ(Search(0, "¦*"), (Hits{"7"}));  // К of 1251 reads as ╩, shown as ¦
  EXPECT_EQ(Lines(), (Hits{Cell(0, 6)}));
}

TEST_F(SearchTest, MemoFieldsAreSearchedByTheirWholeText) {
  const std::vector<std::string> texts = {"first note", "the second\r\nnote", "other"};
  TableLayout t;
  t.Version = 0x83;
  t.Fields = {{"NAME", 'C', 4}, {"NOTE", 'M', 10}};
  const std::vector<uint32_t> blocks = test::DbtBlocks(texts);
  for (size_t i = 0; i < texts.size(); ++i) t.Records.push_back(" r" + std::to_string(i) + "  " + Ref(blocks[i]));
  Write("notes.dbf", MakeTable(t));
  Write("notes.dbt", MakeDbt(texts));
  Load("notes.dbf");
  EXPECT_EQ(Search(1, "*note"), (Hits{"1", "2"}));
  EXPECT_EQ(Lines(), (Hits{"first note", "the second\r\nnote"}));
  // Converted as the view shows them: "Ёж" in 866 is found by "ёЖ".
  Write("notes.dbt", MakeDbt({"first note", "the second\r\nnote", "\xF0\xA6"}));
  win_->OemCheckBox->SetChecked(true);
  headless::ClickButton(*win_->ReloadButton);
  EXPECT_EQ(Search(1, "ёЖ"), (Hits{"3"}));
  EXPECT_EQ(Lines(), (Hits{"Ёж"}));
  // Without its memo file every memo reads empty.
  std::filesystem::remove(Path("notes.dbt"));
  Load("notes.dbf");
  EXPECT_EQ(Search(1, "*note"), Hits{});
  EXPECT_EQ(Search(1, ""), (Hits{"1", "2", "3"}));
}

TEST_F(SearchTest, AMovedColumnSearchesTheFieldItShows) {
  TableLayout t;
  t.Fields = {{"A", 'C', 3}, {"B", 'C', 3}, {"C", 'C', 3}};
  t.Records = {" a1 b1 c1", " a2 b2 c2"};
  Write("abc.dbf", MakeTable(t));
  Load("abc.dbf");
  win_->TableGrid->MoveColumn(2, 0);  // C, A, B
  ASSERT_EQ(win_->TableGrid->GetColTitle(0), "C");
  EXPECT_EQ(Search(0, "*2"), (Hits{"2"}));
  EXPECT_EQ(Lines(), (Hits{"c2"}));
  EXPECT_EQ(Search(2, "b*"), (Hits{"1", "2"}));
  EXPECT_EQ(Lines(), (Hits{"b1", "b2"}));
}

TEST_F(SearchTest, NoCurrentColumnOrNoTableSearchesNothing) {
  MainWindow& w = *win_;
  // Before any table: quiet, nothing listed.
  w.SearchMaskEdit->SetText("*");
  headless::ClickButton(*w.SearchButton);
  EXPECT_TRUE(w.SearchHitRecords.empty());
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
  EXPECT_EQ(Status(), "OK");

  Write("animals.dbf", MakeTable(Animals()));
  Load("animals.dbf");
  ASSERT_EQ(Search(0, "*").size(), 10u);
  // The table becomes unopenable: the old hits go, the view is cleared and
  // the user told, as any command does.
  std::filesystem::remove(Path("animals.dbf"));
  headless::ClickButton(*w.SearchButton);
  EXPECT_TRUE(w.SearchHitRecords.empty());
  EXPECT_EQ(w.SearchResultList->GetCount(), 0);
  EXPECT_EQ(w.TableGrid->ColCount(), 0);
  EXPECT_EQ(Status(), "ERROR");
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_EQ(headless::GetMessageBoxes()[0].Text, (texts::kNoSuchFile + Path("animals.dbf")));

  // Back again, but the cleared view left no current column.
  Write("animals.dbf", MakeTable(Animals()));
  headless::ClickButton(*w.ReloadButton);
  ASSERT_EQ(w.TableGrid->RowCount(), 10);
  ASSERT_EQ(w.TableGrid->GetCurrentCell().Col, -1);
  headless::ClickButton(*w.SearchButton);
  EXPECT_TRUE(w.SearchHitRecords.empty());
  EXPECT_EQ(headless::GetMessageBoxes().size(), 1u);
}

TEST_F(SearchTest, ADoubleClickedHitBecomesTheCurrentRowInTheCurrentColumn) {
  Write("animals.dbf", MakeTable(Animals()));
  Load("animals.dbf");
  MainWindow& w = *win_;
  ASSERT_EQ(Search(0, "a*"), (Hits{"1", "2", "4", "5", "9"}));
  w.TableGrid->SetCurrentCell(1, 0);
  headless::ChooseLine(*w.SearchResultList, 2, true);
  EXPECT_EQ(w.TableGrid->GetCurrentCell(), (XLGridCoord{1, 3}));
  headless::ChooseLine(*w.SearchResultList, 4, false);  // a single click does nothing
  EXPECT_EQ(w.TableGrid->GetCurrentCell(), (XLGridCoord{1, 3}));
  headless::ChooseLine(*w.SearchResultList, 4, true);
  EXPECT_EQ(w.TableGrid->GetCurrentCell(), (XLGridCoord{1, 8}));

  // An empty list: nothing happens.
  Search(0, "nothing");
  w.TableGrid->SetCurrentCell(0, 5);
  headless::ChooseLine(*w.SearchResultList, -1, true);
  EXPECT_EQ(w.TableGrid->GetCurrentCell(), (XLGridCoord{0, 5}));

  // Records added by another program since the view was filled: their hits
  // have no row to go to, and the view does not move to another record.
  TableLayout longer = Animals();
  longer.Records.push_back(" new      11");
  Write("animals.dbf", MakeTable(longer));
  EXPECT_EQ(Search(0, "new"), (Hits{"11"}));
  w.TableGrid->SetCurrentCell(0, 2);
  headless::ChooseLine(*w.SearchResultList, 0, true);
  EXPECT_EQ(w.TableGrid->GetCurrentCell(), (XLGridCoord{0, 2}));
}

// Many hits reach the list in one batch; beyond what the view has rows
// for, the list stops and says so.
TEST_F(SearchTest, HitsFillTheListAtOnceUpToTheViewsRows) {
  TableLayout t;
  t.Fields = {{"N", 'C', 5}};
  for (int i = 1; i <= 65537; ++i) t.Records.push_back(" " + std::to_string(100000 + i).substr(1));
  Write("many.dbf", MakeTable(t));
  Load("many.dbf");
  headless::ClearMessageBoxes();
  MainWindow& w = *win_;
  const int batches = headless::GetLineBatches(*w.SearchResultList);
  ASSERT_EQ(Search(0, "0000?").size(), 9u);
  EXPECT_EQ(headless::GetLineBatches(*w.SearchResultList), batches + 1);
  EXPECT_EQ(Lines().front(), "00001");
  EXPECT_EQ(Status(), "OK");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());

  const Hits all = Search(0, "*");
  ASSERT_EQ(all.size(), 65535u);
  EXPECT_EQ(all.back(), "65535");
  EXPECT_EQ(Lines().back(), "65535");
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_EQ(headless::GetMessageBoxes()[0].Text, texts::kTooManyHits);
  EXPECT_EQ(Status(), "OK");
}

}  // namespace
}  // namespace tabulon
