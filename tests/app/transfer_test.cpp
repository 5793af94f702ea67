// Export and import through the "Файл" menu: the dialogs answered, the
// files written checked byte for byte, refused lines told, Escape.
#include "app_test_support.h"
#include "texts.h"


namespace tabulon {
namespace {

constexpr int kExportItem = 2;
constexpr int kImportItem = 3;
const std::string kBom = "\xEF\xBB\xBF";

// "Привет" in code page 866: the table is shown as a DOS one.
const std::string kOemWord = "\x8F\xE0\xA8\xA2\xA5\xE2";

test::TableLayout Pets() {
  test::TableLayout t;
  t.Fields = {{"NAME", 'C', 6}, {"AGE", 'N', 3}};
  t.Records = {" Ann    42", "*Bob     7", " " + kOemWord + " -1"};
  return t;
}

std::string Text(const test::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

using TransferTest = AppTest;

// The separator and code page asked of a CSV file: check looks at them and
// may choose others; then the user goes on.
void GoOnReading(Program& program, std::function<void(CsvImportWindow&)> check = nullptr) {
  headless::QueueModalAction([&program, check](Form&) {
    if (check) check(program.GetCsvImportWindow());
    headless::ClickButton(*program.GetCsvImportWindow().OkButton);
  });
}

TEST_F(TransferTest, ExportWritesTheChosenRecordsWithTheListSeparator) {
  struct Case {
    const char* separator;  // the user's list separator
    int filter_index;       // the format chosen in the dialog (0: the first)
    int deleted_answer;
    int marked_row;  // -1: none
    bool escape;
    std::string out;  // empty: no file left
  } cases[] = {
      {";", 0, kIdNo, -1, false, kBom + "NAME;AGE\r\nAnn;42\r\nПривет;-1\r\n"},
      {"|", 0, kIdYes, -1, false, kBom + "NAME,AGE,_DELETED\r\nAnn,42,F\r\nBob,7,T\r\nПривет,-1,F\r\n"},
      {";", 2, kIdNo, 2, false, kBom + "NAME,AGE\r\nПривет,-1\r\n"},
      {";", 3, kIdNo, -1, false, "NAME;AGE\r\nAnn;42\r\n" + kOemWord + ";-1\r\n"},
      {";", 4, kIdNo, 0, false, "[\n{\"NAME\":\"Ann\",\"AGE\":42}\n]\n"},
      {";", 0, kIdNo, -1, true, ""},
  };
  Write("pets.dbf", test::MakeTable(Pets()));
  Load("pets.dbf");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    std::filesystem::remove(Path("pets.csv"));
    headless::ClearMessageBoxes();
    headless::SetListSeparator(c.separator);
    for (int row = 0; row < 3; ++row) win_->TableGrid->MarkRow(row, row == c.marked_row);
    headless::SetKeyDown(kVkEscape, c.escape);
    headless::QueueFileDialogAnswer(Path("pets.csv"), c.filter_index);
    headless::QueueMessageBoxAnswer(c.deleted_answer);
    headless::ChooseMenuItem(*win_->Window, kExportItem);
    headless::SetKeyDown(kVkEscape, false);
    const headless::FileDialogRecord& d = headless::GetFileDialogs().back();
    EXPECT_EQ(d.Mode, FileDialogMode::Save);
    EXPECT_EQ(d.Filter.rfind(std::string("CSV, разделитель «") + (c.separator[0] == ';' ? ";" : ",") +
                                 "» (UTF-8)|*.csv|CSV, разделитель «" + (c.separator[0] == ';' ? "," : ";"),
                             0),
              0u);
    EXPECT_EQ(Status(), "OK");
    EXPECT_EQ(std::filesystem::exists(Path("pets.csv")), !c.out.empty());
    if (!c.out.empty()) {
      EXPECT_EQ(Text(Read("pets.csv")), c.out);
    }
    // A question about deleted records, and a word at the end unless cancelled.
    ASSERT_EQ(headless::GetMessageBoxes().size(), c.escape ? 1u : 2u);
    EXPECT_EQ(headless::GetMessageBoxes()[0].Text, texts::kExportWithDeleted);
  }
  // Never onto the table itself, whatever the case of its name.
  const test::Bytes table = Read("pets.dbf");
  headless::QueueFileDialogAnswer(Path("PETS.DBF"));
  headless::ChooseMenuItem(*win_->Window, kExportItem);
  EXPECT_EQ(headless::GetMessageBoxes().back().Text, texts::kExportOverTable);
  EXPECT_EQ(Read("pets.dbf"), table);
}

TEST_F(TransferTest, ImportShowsTheNewTableAppendsAndTellsRefusedLines) {
  std::ofstream(Path("in.csv"), std::ios::binary) << "NAME,AGE\r\nЁж,3\r\nКот,12\r\n";
  headless::QueueFileDialogAnswer(Path("in.csv"));
  GoOnReading(*program_);
  headless::QueueMessageBoxAnswer(kIdYes);  // the fields as inferred
  headless::QueueFileDialogAnswer(Path("new.dbf"));
  headless::ChooseMenuItem(*win_->Window, kImportItem);
  ASSERT_EQ(headless::GetMessageBoxes().size(), 1u);
  EXPECT_NE(headless::GetMessageBoxes()[0].Text.find("\r\nСтрок в файле: 2. Создать таблицу?"), std::string::npos);
  EXPECT_EQ(win_->Session->GetFileName(), Path("new.dbf"));
  ASSERT_EQ(win_->TableGrid->RowCount(), 2);
  EXPECT_EQ(Cell(0, 1), "Кот");
  EXPECT_EQ(Cell(1, 1), "12");

  // Onto the table shown: one line too many values, nothing appended.
  std::ofstream(Path("more.csv"), std::ios::binary) << "NAME,AGE\r\nЁж,3\r\nЁж,3,4\r\n";
  headless::ClearMessageBoxes();
  headless::QueueFileDialogAnswer(Path("more.csv"));
  GoOnReading(*program_);
  headless::QueueMessageBoxAnswer(kIdYes);  // append
  headless::ChooseMenuItem(*win_->Window, kImportItem);
  ASSERT_EQ(headless::GetMessageBoxes().size(), 2u);
  EXPECT_EQ(headless::GetMessageBoxes()[1].Text,
            "Строк отклонено: 1. Ничего не записано.\r\nСтрока 3: значений 3, а столбцов в заголовке 2.");
  EXPECT_EQ(Status(), "ERROR");
  EXPECT_EQ(win_->TableGrid->RowCount(), 2);

  // Without the bad line the same append is done.
  std::ofstream(Path("more.csv"), std::ios::binary | std::ios::trunc) << "AGE,NAME\r\n5,Лис\r\n";
  headless::QueueFileDialogAnswer(Path("more.csv"));
  GoOnReading(*program_);
  headless::QueueMessageBoxAnswer(kIdYes);
  headless::ChooseMenuItem(*win_->Window, kImportItem);
  EXPECT_EQ(Cell(0, 2), "Лис");
  EXPECT_EQ(headless::GetMessageBoxes().back().Text, "Добавлено записей: 1");
}

TEST_F(TransferTest, ImportAsksSeparatorAndCodePageAndEscapeLeavesEveryFileAsItWas) {
  // Tab-separated KOI8-R: the tab found, a Russian page guessed, KOI8-R chosen.
  std::ofstream(Path("in.csv"), std::ios::binary) << "NAME\tAGE\r\n\xEB\xCF\xD4\t12\r\n";
  headless::QueueFileDialogAnswer(Path("in.csv"));
  GoOnReading(*program_, [](CsvImportWindow& reading) {
    EXPECT_EQ(reading.SeparatorBox->GetText(), "Табуляция");
    EXPECT_NE(reading.CodePageBox->GetText(), "UTF-8");
    int koi8 = -1;
    for (int i = 0; i < reading.CodePageBox->GetCount(); ++i)
      if (reading.CodePageBox->GetItem(i) == "20866") koi8 = i;
    ASSERT_GT(koi8, 2);
    headless::ChooseItem(*reading.CodePageBox, koi8);
  });
  headless::QueueMessageBoxAnswer(kIdYes);
  headless::QueueFileDialogAnswer(Path("new.dbf"));
  headless::ChooseMenuItem(*win_->Window, kImportItem);
  EXPECT_EQ(Cell(0, 0), "Кот");

  // Escape during a long import: into a new table, no file left; onto the
  // table shown, the table as it was.
  std::string lines = "NAME,AGE\r\n";
  for (int i = 0; i < 9000; ++i) lines += "x,1\r\n";
  std::ofstream(Path("long.csv"), std::ios::binary) << lines;
  const test::Bytes table = Read("new.dbf");
  const auto files = std::distance(std::filesystem::directory_iterator(Path("")), {});
  for (const bool append : {false, true}) {
    SCOPED_TRACE(append);
    // Pressed at the last question, so that the work itself is stopped.
    headless::SetMessageBoxHook([append](const headless::MessageBoxRecord& box) {
      if ((box.Text.rfind(texts::kImportFieldsPrefix, 0) == 0) != append) headless::SetKeyDown(kVkEscape, true);
    });
    headless::QueueFileDialogAnswer(Path("long.csv"));
    GoOnReading(*program_);
    headless::QueueMessageBoxAnswer(append ? kIdYes : kIdNo);
    if (!append) {
      headless::QueueMessageBoxAnswer(kIdYes);  // the new table's fields
      headless::QueueFileDialogAnswer(Path("long.dbf"));
    }
    headless::ChooseMenuItem(*win_->Window, kImportItem);
    headless::SetMessageBoxHook(nullptr);
    headless::SetKeyDown(kVkEscape, false);
    EXPECT_EQ(Status(), "OK");
    EXPECT_EQ(Read("new.dbf"), table);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("")), {}), files);
  }
}

}  // namespace
}  // namespace tabulon
