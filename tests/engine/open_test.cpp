// Opening, closing, the header and moving between records.
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "dbf_table.h"
#include "file_memory.h"
#include "pack_journal.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::MakeTable;
using test::TableLayout;

TableLayout People() {
  TableLayout s;
  s.Fields = {{"name", 'C', 5}, {"AGE", 'N', 3}};
  s.Records = {" ALICE 30", " BOB   41", "*CAROL 52"};
  return s;
}

class OpenTest : public ::testing::Test {
 protected:
  std::unique_ptr<DbfTable> Open(const Bytes& bytes, bool auto_post = true) {
    fs.SetFile("t.dbf", bytes);
    auto t = NewDbfTable("t.dbf", "", auto_post, &fs);
    t->SetActive(true);
    return t;
  }
  MemoryFileSystem fs;
};

TEST_F(OpenTest, ReadsHeaderFieldsAndFirstRecord) {
  auto t = Open(MakeTable(People()));
  ASSERT_TRUE(t->IsActive());
  EXPECT_EQ(t->GetFieldCount(), 2);
  EXPECT_EQ(t->RecordCount(), 3u);
  EXPECT_EQ(t->GetRecNo(), 1);
  EXPECT_EQ(t->GetFieldName(1), "NAME");  // lower case comes back upper case
  EXPECT_EQ(t->GetField(1).FieldPosition, 1u);
  EXPECT_EQ(t->GetField(2).FieldPosition, 6u);
  EXPECT_EQ(t->FieldByNumber(1), "ALICE");
  EXPECT_EQ(t->FieldByNumber(2), " 30");
  EXPECT_EQ(t->GetErrorCode(), 0);
}

TEST_F(OpenTest, MovesBetweenRecordsIncludingMarkedOnes) {
  auto t = Open(MakeTable(People()));
  t->Next();
  EXPECT_EQ(t->FieldByNumber(1), "BOB");
  t->Next();
  EXPECT_EQ(t->GetRecNo(), 3);
  EXPECT_EQ(t->FieldByNumber(1), "CAROL");
  t->First();
  EXPECT_EQ(t->FieldByNumber(1), "ALICE");
}

TEST_F(OpenTest, EmptyTableLeavesNoCurrentRecordAndError16) {
  TableLayout s = People();
  s.Records.clear();
  auto t = Open(MakeTable(s));
  ASSERT_TRUE(t->IsActive());
  EXPECT_EQ(t->GetRecNo(), 0);
  EXPECT_EQ(t->GetErrorCode(), 16);
  EXPECT_EQ(t->GetErrorText(), "Read record out of range. Rec # 1");
  EXPECT_EQ(t->FieldByNumber(1), "");
}

TEST_F(OpenTest, ReadingPastTheEndBlanksTheBufferAndStaysOnTheLast) {
  auto t = Open(MakeTable(People()));
  t->GoTo(4);
  EXPECT_EQ(t->GetErrorCode(), 16);
  EXPECT_EQ(t->GetErrorText(), "Read record out of range. Rec # 4");
  EXPECT_EQ(t->GetRecNo(), 3);
  EXPECT_EQ(t->FieldByNumber(1), "");
  t->GoTo(-1);  // negative numbers are out of range too
  EXPECT_EQ(t->GetErrorText(), "Read record out of range. Rec # -1");
}

TEST_F(OpenTest, GoToZeroBlanksWithoutError) {
  auto t = Open(MakeTable(People()));
  t->GoTo(0);
  EXPECT_EQ(t->GetRecNo(), 0);
  EXPECT_EQ(t->GetErrorCode(), 0);
  EXPECT_EQ(t->FieldByNumber(1), "");
}

TEST_F(OpenTest, ABlankBufferIsNeverPostedOverTheLastRecord) {
  Bytes original = MakeTable(People());
  auto t = Open(original);
  t->GoTo(t->RecordCount() + 1);
  t->PutFieldByNumber(1, "XXXXX");
  EXPECT_FALSE(t->IsRecordModified());
  EXPECT_EQ(t->GetErrorCode(), 17);
  t->SetDeleted(true);
  t->Next();
  t->SetActive(false);
  EXPECT_EQ(fs.GetFile("t.dbf"), original);
}

TEST_F(OpenTest, RecordsAreLocatedWithTheHeaderSizeNotTheDescriptorScan) {
  TableLayout s = People();
  s.HeaderSize = 32 * 2 + 33 + 263;  // room after the terminator, as Visual FoxPro leaves
  auto t = Open(MakeTable(s));
  EXPECT_EQ(t->GetFieldCount(), 2);
  t->GoTo(2);
  EXPECT_EQ(t->FieldByNumber(1), "BOB");
}

TEST_F(OpenTest, ClosingAReadOnlyVisitChangesNoByte) {
  Bytes original = MakeTable(People());
  auto t = Open(original);
  t->Next();
  t->Next();
  t->GoTo(7);
  t->SetActive(false);
  EXPECT_FALSE(t->IsActive());
  EXPECT_EQ(fs.GetFile("t.dbf"), original);
}

TEST_F(OpenTest, ClosingAfterAWriteStampsTheDateYearModulo100) {
  auto t = Open(MakeTable(People()));
  fs.SetNow({2024, 3, 7});
  t->PutFieldByNumber(1, "ANNA");
  t->Next();  // posts
  t->SetActive(false);
  Bytes file = fs.GetFile("t.dbf");
  EXPECT_EQ(file[1], 24);
  EXPECT_EQ(file[2], 3);
  EXPECT_EQ(file[3], 7);
  EXPECT_EQ(test::Slice(file, 97, 9), " ANNA  30");
}

TEST_F(OpenTest, WithoutAutoPostChangesAreDropped) {
  Bytes original = MakeTable(People());
  auto t = Open(original, false);
  t->PutFieldByNumber(1, "ANNA");
  t->Next();
  t->PutFieldByNumber(1, "BERT");
  t->SetActive(false);
  EXPECT_EQ(fs.GetFile("t.dbf"), original);
}

TEST_F(OpenTest, BeforeMoveCanRefuse) {
  auto t = Open(MakeTable(People()));
  t->OnBeforeMove = [](DbfTable&, bool& allow) { allow = false; };
  t->Next();
  EXPECT_EQ(t->GetRecNo(), 1);
  EXPECT_EQ(t->FieldByNumber(1), "ALICE");
}

TEST_F(OpenTest, MissingFileIsError2AndStaysClosed) {
  auto t = NewDbfTable("none.dbf", "", true, &fs);
  t->SetActive(true);
  EXPECT_FALSE(t->IsActive());
  EXPECT_EQ(t->GetErrorText(), "DBF File Not Exist none.dbf");
}

TEST_F(OpenTest, ATableThatCannotBeWrittenIsReadAndEveryWriteRefused) {
  const Bytes bytes = MakeTable(People());
  const std::vector<std::pair<const char*, std::function<void(DbfTable&)>>> writes = {
      {"put", [](DbfTable& t) { t.PutFieldByNumber(1, "ZED"); t.PostRecord(); }},
      {"typed", [](DbfTable& t) { t.PutFieldText(2, "7"); t.Next(); }},
      {"mark", [](DbfTable& t) { t.SetDeleted(true); t.GoTo(3); }},
      {"write", [](DbfTable& t) { t.SetDeleted(false); t.WriteRecord(); }},
      {"append", [](DbfTable& t) { t.AppendBlank(); }},
      {"pack", [](DbfTable& t) { t.Pack(); }},
      {"remove", [](DbfTable& t) { t.RemoveRecord(1); }},
      {"memo", [](DbfTable& t) { t.WriteMemo(1, "x"); }},
  };
  for (const auto& [what, write] : writes) {
    SCOPED_TRACE(what);
    fs.SetFile("t.dbf", bytes);
    fs.SetWritable("t.dbf", false);
    auto t = NewDbfTable("t.dbf", "", true, &fs);
    t->SetActive(true);
    ASSERT_TRUE(t->IsActive());
    EXPECT_TRUE(t->IsReadOnly());
    EXPECT_EQ(t->GetErrorCode(), 0);
    EXPECT_EQ(t->FieldByNumber(1), "ALICE");
    write(*t);
    EXPECT_EQ(t->GetErrorCode(), DbfReadOnly);
    EXPECT_EQ(t->GetErrorText(), "The table is open for reading only: t.dbf");
    EXPECT_FALSE(t->IsRecordModified());
    t->SetActive(false);
    EXPECT_EQ(fs.GetFile("t.dbf"), bytes);  // no date stamp either
  }
  // The next open of a writable file writes again.
  fs.SetWritable("t.dbf", true);
  auto first = NewDbfTable("t.dbf", "", true, &fs);
  first->SetActive(true);
  ASSERT_TRUE(first->IsActive());
  EXPECT_FALSE(first->IsReadOnly());
  // While one program holds it for writing, another one reads it only.
  auto second = NewDbfTable("t.dbf", "", true, &fs);
  second->SetActive(true);
  ASSERT_TRUE(second->IsActive());
  EXPECT_TRUE(second->IsReadOnly());
  EXPECT_EQ(second->FieldByNumber(1), "ALICE");
}

TEST_F(OpenTest, TablesThatCannotBeReadOrRecoveredAreRefusedWithTheirReason) {
  fs.SetFile("t.dbf", MakeTable(People()));
  fs.ArmFault(FaultOpen, 1, DbfFaultMode::FailPersistent);
  auto t = NewDbfTable("t.dbf", "", true, &fs);
  t->SetActive(true);
  EXPECT_FALSE(t->IsActive());
  EXPECT_EQ(t->GetErrorText(), "The file cannot be opened: t.dbf");
  fs.DisarmFault();
  // A pack was cut off: undoing it needs a write, so the half-packed table
  // is not shown, and the journal stays for an open that can write.
  const std::string journal = PackJournalName("t.dbf");
  fs.SetFile(journal, Bytes(40, 0));
  fs.SetWritable("t.dbf", false);
  t->SetActive(true);
  EXPECT_FALSE(t->IsActive());
  EXPECT_EQ(t->GetErrorCode(), DbfJournalNeedsWrite);
  EXPECT_EQ(t->GetErrorText(), "A cut-off pack must be undone, but the table cannot be written: t.dbf");
  EXPECT_TRUE(fs.HasFile(journal));
}

TEST_F(OpenTest, RefusesFilesItCannotWorkOnSafelyAndSaysWhy) {
  struct Case {
    const char* what;
    Bytes bytes;
    const char* text;
  };
  const std::string not_table = "Not a dBase table: t.dbf";
  const std::string sizes = "Header and field sizes disagree: t.dbf";
  std::vector<Case> cases;
  Bytes no_terminator = MakeTable(People());
  no_terminator.resize(32 + 64);  // ends inside the descriptor area
  cases.push_back({"no terminator", no_terminator, "The file ends before its records: t.dbf"});
  cases.push_back({"shorter than a header", Bytes(20, 0x03), not_table.c_str()});
  TableLayout many;
  for (int i = 0; i < 256; ++i) many.Fields.push_back({"F" + std::to_string(i), 'C', 1});
  cases.push_back({"256 descriptors", MakeTable(many), not_table.c_str()});
  TableLayout small_header = People();
  small_header.HeaderSize = 64;
  cases.push_back({"header size below the descriptors", MakeTable(small_header), not_table.c_str()});
  TableLayout small_record = People();
  small_record.RecordSize = 7;  // one byte short is read (layouts_test.cpp)
  cases.push_back({"record size below the fields", MakeTable(small_record), sizes.c_str()});
  TableLayout long_char;
  long_char.Fields = {{"TEXT", 'C', 44, 1}, {"N", 'N', 3}};  // 300 or 44 characters
  long_char.RecordSize = 100;
  cases.push_back({"long field agreeing with neither reading", MakeTable(long_char), sizes.c_str()});
  TableLayout short_file = People();
  short_file.CountInHeader = 5;  // promises two records the file does not hold
  short_file.EndMarker = false;
  cases.push_back({"records missing", MakeTable(short_file), "The file ends before its records: t.dbf"});
  TableLayout dbase2 = People();
  dbase2.Version = 0x02;
  cases.push_back({"dBase II", MakeTable(dbase2), "Table version not supported: dBase II"});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto t = Open(c.bytes);
    EXPECT_FALSE(t->IsActive());
    EXPECT_EQ(t->GetFieldCount(), 0);
    EXPECT_EQ(t->GetErrorText(), c.text);
    EXPECT_EQ(t->RecordCount(), 0u);
    t->PutFieldByNumber(1, "X");  // nothing to write into
    t->AppendBlank();
    EXPECT_EQ(t->Pack(), 0);
    EXPECT_EQ(fs.GetFile("t.dbf"), c.bytes);
  }
}

TEST_F(OpenTest, WideAndLongTablesAreReadAtTheirTrueLayout) {
  TableLayout s;
  for (int i = 0; i < 255; ++i) s.Fields.push_back({"F" + std::to_string(i), 'C', 250});
  s.Records = {" x"};
  auto t = Open(MakeTable(s));  // 255 fields, a record of 63,751 bytes
  ASSERT_TRUE(t->IsActive());
  EXPECT_EQ(t->GetFieldCount(), 255);
  EXPECT_EQ(t->FieldByNumber(1), "x");
  t->SetActive(false);

  // A Character field of 300 (44 + 256 x 1) as Clipper and FoxPro write it.
  TableLayout wide;
  wide.Fields = {{"TEXT", 'C', 44, 1}, {"N", 'N', 3}};
  wide.Records = {" " + std::string(299, 'a') + "b" + "  7"};
  wide.RecordSize = 1 + 300 + 3;
  t = Open(MakeTable(wide));
  ASSERT_TRUE(t->IsActive());
  EXPECT_EQ(t->FieldByNumber(1), std::string(299, 'a') + "b");
  EXPECT_EQ(t->FieldByNumber(2), "  7");
  EXPECT_EQ(t->GetField(1).Decimals, 0);
  t->SetActive(false);
  // The same descriptor in a record that holds 44 characters is read as 44.
  wide.RecordSize = -1;
  wide.Records = {" " + std::string(44, 'c') + "  9"};
  t = Open(MakeTable(wide));
  ASSERT_TRUE(t->IsActive());
  EXPECT_EQ(t->FieldByNumber(1), std::string(44, 'c'));
  EXPECT_EQ(t->FieldByNumber(2), "  9");
}

TEST_F(OpenTest, ClosedTableWritesNothing) {
  Bytes original = MakeTable(People());
  auto t = Open(original);
  t->SetActive(false);
  t->PutFieldByNumber(1, "ZED");  // buffer only
  t->PostRecord();
  t->WriteRecord();
  t->AppendBlank();
  t->SetDeleted(true);
  t->WriteMemo(1, "text");
  EXPECT_EQ(t->Pack(), 0);
  EXPECT_EQ(fs.GetFile("t.dbf"), original);
  // The header values stay readable while closed.
  EXPECT_EQ(t->RecordCount(), 3u);
  EXPECT_EQ(t->GetFieldCount(), 2);
}

}  // namespace
}  // namespace tabulon
