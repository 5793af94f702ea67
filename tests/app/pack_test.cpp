// "P": every flavour packed in place, the memo file rebuilt with it; the
// files afterwards byte by byte, and no files left behind.
#include "app_test_support.h"
#include "message.h"
#include "file_memory.h"
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

class PackTest : public AppTest {
 protected:
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TableLayout Plain() {
  TableLayout t;
  t.Fields = {{"N", 'N', 2}, {"D", 'D', 8}};
  t.Records = {"  119990101", "* 219990102", "  319990103", "* 419990104", "  519990105"};
  return t;
}

TEST_F(PackTest, TablesWithoutMemoArePackedInPlaceAndEndAfterTheirRecords) {
  Write("plain.dbf", MakeTable(Plain()));
  Load("plain.dbf");
  headless::ClickButton(*win_->PackButton);
  const Bytes b = Read("plain.dbf");
  EXPECT_EQ(test::GetLittle32(b, 4), 3u);
  const size_t header = 32 + 64 + 1;
  EXPECT_EQ(Slice(b, header, 11), "  119990101");
  EXPECT_EQ(Slice(b, header + 11, 11), "  319990103");
  EXPECT_EQ(Slice(b, header + 22, 11), "  519990105");
  EXPECT_EQ(b.size(), header + 3 * 11 + 1);
  ASSERT_EQ(win_->TableGrid->RowCount(), 3);
  EXPECT_EQ(Cell(0, 2), "5");
  EXPECT_EQ(Status(), "OK");
  EXPECT_EQ(Files(), (std::vector<std::string>{"plain.dbf"}));
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
}

TEST_F(PackTest, EveryDBaseFlavourIsPacked) {
  for (uint8_t version : {0x04, 0x05}) {
    TableLayout t = Plain();
    t.Version = version;
    Write("plain.dbf", MakeTable(t));
    Load("plain.dbf");
    headless::ClickButton(*win_->PackButton);
    EXPECT_EQ(Read("plain.dbf")[0], version);
    EXPECT_EQ(test::GetLittle32(Read("plain.dbf"), 4), 3u) << int(version);
  }
  // dBase IV with memo: the flavour kept.
  const std::vector<std::string> texts = {"kept", "gone"};
  const std::vector<uint32_t> blocks = test::DbtBlocks(texts);
  TableLayout t;
  t.Version = 0x84;
  t.Fields = {{"NOTE", 'M', 10}};
  t.Records = {"*" + Ref(blocks[1]), " " + Ref(blocks[0])};
  Write("four.dbf", MakeTable(t));
  Write("four.dbt", MakeDbt(texts));
  Load("four.dbf");
  headless::ClickButton(*win_->PackButton);
  EXPECT_EQ(Read("four.dbf")[0], 0x84);
  ASSERT_EQ(win_->TableGrid->RowCount(), 1);
  EXPECT_EQ(Cell(0, 0), "kept");
  EXPECT_EQ(Files(), (std::vector<std::string>{"four.dbf", "four.dbt", "plain.dbf"}));
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
}

TEST_F(PackTest, MemoTablesKeepTheirFlavourAndOnlyTheLiveTexts) {
  const std::vector<std::string> texts = {"one", "", "three", std::string(700, 'x')};
  const std::vector<uint32_t> blocks = test::DbtBlocks(texts);
  TableLayout t;
  t.Version = 0x83;
  t.Fields = {{"NAME", 'C', 4}, {"NOTE", 'M', 10}, {"WHEN", 'D', 8}};
  t.Records = {" a   " + Ref(blocks[0]) + "20010101", "*b   " + Ref(blocks[1]) + "20010102",
               " c   " + Ref(blocks[2]) + "20010103", " d   " + Ref(blocks[3]) + "20010104"};
  Write("memo.dbf", MakeTable(t));
  Write("memo.dbt", MakeDbt(texts));
  const Bytes old_table = Read("memo.dbf");
  Load("memo.dbf");
  headless::ClickButton(*win_->PackButton);
  EXPECT_EQ(Status(), "OK");
  EXPECT_TRUE(headless::GetMessageBoxes().empty());

  const Bytes b = Read("memo.dbf");
  EXPECT_EQ(b[0], 0x83);
  EXPECT_EQ(test::GetLittle32(b, 4), 3u);
  const size_t header = 32 + 96 + 1;
  EXPECT_EQ(Slice(b, 32, 96), Slice(old_table, 32, 96));  // the same descriptors
  ASSERT_EQ(win_->TableGrid->RowCount(), 3);
  EXPECT_EQ(Cell(0, 1), "c");
  EXPECT_EQ(Cell(1, 0), "one");
  EXPECT_EQ(Cell(1, 1), "three");
  EXPECT_EQ(Cell(1, 2), std::string(700, 'x'));
  EXPECT_EQ(Cell(2, 2), "20010104");
  EXPECT_EQ(Slice(b, header, 5), " a   ");
  // The new memo file holds the kept texts and nothing else.
  EXPECT_EQ(Read("memo.dbt"), MakeDbt({"one", "three", std::string(700, 'x')}));
  EXPECT_EQ(Files(), (std::vector<std::string>{"memo.dbf", "memo.dbt"}));
}

TEST_F(PackTest, FoxProTablesKeepTheirBlockSize) {
  std::vector<uint32_t> blocks;
  Write("fox.fpt", MakeFpt(32, {"keep", "drop", "also kept"}, &blocks));
  TableLayout t;
  t.Version = 0xF5;
  t.Fields = {{"NOTE", 'M', 10}};
  t.Records = {" " + Ref(blocks[0]), "*" + Ref(blocks[1]), " " + Ref(blocks[2])};
  Write("fox.dbf", MakeTable(t));
  Load("fox.dbf");
  headless::ClickButton(*win_->PackButton);
  EXPECT_EQ(Read("fox.dbf")[0], 0xF5);
  std::vector<uint32_t> kept;
  EXPECT_EQ(Read("fox.fpt"), MakeFpt(32, {"keep", "also kept"}, &kept));
  ASSERT_EQ(win_->TableGrid->RowCount(), 2);
  EXPECT_EQ(Cell(0, 1), "also kept");
  EXPECT_EQ(Files(), (std::vector<std::string>{"fox.dbf", "fox.fpt"}));
}

TEST_F(PackTest, UnknownFlavoursAndMissingMemoFilesChangeNothing) {
  TableLayout t = Plain();
  t.Version = 0x02;
  Write("odd.dbf", MakeTable(t));
  const Bytes odd = Read("odd.dbf");
  Load("odd.dbf");  // refused at open, and said so
  headless::ClickButton(*win_->PackButton);
  EXPECT_EQ(Read("odd.dbf"), odd);
  EXPECT_EQ(win_->TableGrid->RowCount(), 0);
  const size_t told = headless::GetMessageBoxes().size();

  // A memo flavour whose memo file is gone: refused with a message.
  t.Version = 0x83;
  t.Fields.push_back({"NOTE", 'M', 10});
  Write("lost.dbf", MakeTable(t));
  const Bytes lost = Read("lost.dbf");
  Load("lost.dbf");  // told at the load, and again at the pack
  headless::ClickButton(*win_->PackButton);
  EXPECT_EQ(Read("lost.dbf"), lost);
  ASSERT_EQ(headless::GetMessageBoxes().size(), told + 2);
  EXPECT_NE(headless::GetMessageBoxes()[told + 1].Text.find("lost.dbf"), std::string::npos);
  EXPECT_EQ(Status(), "ERROR");
  EXPECT_EQ(win_->TableGrid->RowCount(), 5);
  EXPECT_EQ(Files(), (std::vector<std::string>{"lost.dbf", "odd.dbf"}));
}

// Visual FoxPro tables carry the memo flavour's byte with or without memo
// fields. Fields with binary data in the memo file keep their blocks.
TEST_F(PackTest, MemoFlavoursWithoutTextFieldsAndBinaryFieldsArePacked) {
  TableLayout t = Plain();
  t.Version = 0x30;
  Write("vfp.dbf", MakeTable(t));
  Load("vfp.dbf");
  headless::ClickButton(*win_->PackButton);
  EXPECT_EQ(test::GetLittle32(Read("vfp.dbf"), 4), 3u);
  EXPECT_EQ(Read("vfp.dbf")[0], 0x30);
  EXPECT_TRUE(headless::GetMessageBoxes().empty());

  std::vector<uint32_t> blocks;
  Write("ole.fpt", MakeFpt(64, {"dropped", "text", "picture"}, &blocks));
  TableLayout g;
  g.Version = 0xF5;
  g.Fields = {{"NOTE", 'M', 10}, {"PIC", 'G', 10}};
  g.Records = {"*" + Ref(blocks[0]) + Ref(0), " " + Ref(blocks[1]) + Ref(blocks[2])};
  Write("ole.dbf", MakeTable(g));
  Load("ole.dbf");
  headless::ClickButton(*win_->PackButton);
  EXPECT_TRUE(headless::GetMessageBoxes().empty());
  EXPECT_EQ(Status(), "OK");
  std::vector<uint32_t> kept;
  EXPECT_EQ(Read("ole.fpt"), MakeFpt(64, {"text", "picture"}, &kept));
  EXPECT_EQ(Slice(Read("ole.dbf"), 32 + 64 + 1, 21), " " + Ref(kept[0]) + Ref(kept[1]));
  EXPECT_EQ(Files(), (std::vector<std::string>{"ole.dbf", "ole.fpt", "vfp.dbf"}));
}

// A journal beside the table that is not one of ours is set aside and
// said so; the table loads and packs as usual.
// A memo reference that cannot be read: the pack asks whether to clear
// such references; "No" packs nothing, "Yes" packs and names them.
TEST_F(PackTest, ABrokenMemoReferenceIsClearedOnlyWhenTheUserSaysSo) {
  TableLayout t;
  t.Version = 0x83;
  t.Fields = {{"NOTE", 'M', 10}};
  t.Records = {" " + Ref(1), "*" + Ref(0), " " + Ref(9)};
  Write("m.dbf", MakeTable(t));
  Write("m.dbt", MakeDbt({"kept"}));
  const Bytes before = Read("m.dbf");
  Load("m.dbf");
  headless::ClickButton(*win_->PackButton);
  ASSERT_EQ(headless::GetMessageBoxes().size(), 2u);  // the question, then the refusal
  EXPECT_NE(headless::GetMessageBoxes()[0].Text.find("field NOTE"), std::string::npos);
  EXPECT_EQ(Read("m.dbf"), before);
  EXPECT_EQ(Status(), "ERROR");
  headless::ClearMessageBoxes();
  headless::QueueMessageBoxAnswer(kIdYes);
  headless::ClickButton(*win_->PackButton);
  ASSERT_EQ(headless::GetMessageBoxes().size(), 2u);
  EXPECT_EQ(headless::GetMessageBoxes()[1].Text,
            "Очищены ссылки на мемо:\r\n3, NOTE: 9 (lies past the end of the memo file)");
  ASSERT_EQ(win_->TableGrid->RowCount(), 2);
  EXPECT_EQ(Cell(0, 0), "kept");
  EXPECT_EQ(Cell(0, 1), "");
}

TEST_F(PackTest, AnUntrustedJournalIsSetAsideAndTold) {
  Write("plain.dbf", MakeTable(Plain()));
  const std::string old_style = "/elsewhere/x.dbt\n/elsewhere/new.dbf\n";
  Write("plain.dbf~pack", Bytes(old_style.begin(), old_style.end()));
  Load("plain.dbf");
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_EQ(headless::GetMessageBoxes()[0].Text.rfind(texts::kPackJournalSetAside, 0), 0u);
  EXPECT_NE(headless::GetMessageBoxes()[0].Text.find("plain.dbf~pack-rejected"), std::string::npos);
  EXPECT_EQ(win_->TableGrid->RowCount(), 5);
  headless::ClickButton(*win_->PackButton);
  EXPECT_EQ(win_->TableGrid->RowCount(), 3);
  EXPECT_EQ(Status(), "OK");
  EXPECT_EQ(Files(), (std::vector<std::string>{"plain.dbf", "plain.dbf~pack-rejected"}));
}

// A pack cut off midway (every write, and the removal of its journal, from
// some point on fails) leaves its journal; the next command that opens the
// table puts back the old pair, or finds the new one, never a mix.
TEST_F(PackTest, AnInterruptedPackIsMendedByTheNextOpen) {
  const std::vector<std::string> texts = {"alpha", "beta", "gamma"};
  const std::vector<uint32_t> blocks = test::DbtBlocks(texts);
  TableLayout t;
  t.Version = 0x83;
  t.Fields = {{"NOTE", 'M', 10}};
  t.Records = {" " + Ref(blocks[0]), "*" + Ref(blocks[1]), " " + Ref(blocks[2])};
  for (long n = 1;; ++n) {
    SCOPED_TRACE(n);
    MemoryFileSystem fs;
    fs.SetFile("d/T.DBF", MakeTable(t));
    fs.SetFile("d/T.DBt", MakeDbt(texts));
    program_.reset();
    headless::Reset();
    program_ = NewProgram(&fs);
    win_ = &program_->GetMainWindow();
    headless::QueueFileDialogAnswer(std::string("d/T.DBF"));
    win_->LoadTable();
    ASSERT_EQ(win_->TableGrid->RowCount(), 3);
    fs.ArmFault(FaultWrite | FaultRemove, n, DbfFaultMode::FailPersistent);
    win_->PackTable();
    fs.DisarmFault();
    if (!fs.FaultFired()) break;
    headless::ClickButton(*win_->ReloadButton);
    const int rows = win_->TableGrid->RowCount();
    ASSERT_TRUE(rows == 3 || rows == 2) << rows;
    EXPECT_EQ(Cell(0, 0), "alpha");
    EXPECT_EQ(Cell(0, rows - 1), "gamma");
    EXPECT_EQ(fs.ListFiles(), (std::vector<std::string>{"d/T.DBF", "d/T.DBt"}));
  }
}

}  // namespace
}  // namespace tabulon
