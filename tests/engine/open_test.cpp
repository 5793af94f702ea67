// Opening, closing, the header and moving between records.
#include <gtest/gtest.h>

#include "dbf_table.h"
#include "file_memory.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::MakeTable;
using test::TableSpec;

TableSpec People() {
  TableSpec s;
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
  ASSERT_TRUE(t->Active);
  EXPECT_EQ(t->FieldCount, 2);
  EXPECT_EQ(t->RecordCount(), 3u);
  EXPECT_EQ(t->RecNo, 1);
  EXPECT_EQ(t->GetFieldName(1), "NAME");  // lower case comes back upper case
  EXPECT_EQ(t->Fields[1].FieldPosition, 1u);
  EXPECT_EQ(t->Fields[2].FieldPosition, 6u);
  EXPECT_EQ(t->FieldByNumber(1), "ALICE");
  EXPECT_EQ(t->FieldByNumber(2), " 30");
  EXPECT_EQ(t->ErrorCode, 0);
}

TEST_F(OpenTest, MovesBetweenRecordsIncludingMarkedOnes) {
  auto t = Open(MakeTable(People()));
  t->Next();
  EXPECT_EQ(t->FieldByNumber(1), "BOB");
  t->Next();
  EXPECT_EQ(t->RecNo, 3);
  EXPECT_EQ(t->FieldByNumber(1), "CAROL");
  t->First();
  EXPECT_EQ(t->FieldByNumber(1), "ALICE");
}

TEST_F(OpenTest, EmptyTableLeavesNoCurrentRecordAndError16) {
  TableSpec s = People();
  s.Records.clear();
  auto t = Open(MakeTable(s));
  ASSERT_TRUE(t->Active);
  EXPECT_EQ(t->RecNo, 0);
  EXPECT_EQ(t->ErrorCode, 16);
  EXPECT_EQ(t->ErrorText, "Read record out of range. Rec # 1");
  EXPECT_EQ(t->FieldByNumber(1), "");
}

TEST_F(OpenTest, ReadingPastTheEndBlanksTheBufferAndStaysOnTheLast) {
  auto t = Open(MakeTable(People()));
  t->GoTo(4);
  EXPECT_EQ(t->ErrorCode, 16);
  EXPECT_EQ(t->ErrorText, "Read record out of range. Rec # 4");
  EXPECT_EQ(t->RecNo, 3);
  EXPECT_EQ(t->FieldByNumber(1), "");
  t->GoTo(-1);  // negative numbers are out of range too
  EXPECT_EQ(t->ErrorText, "Read record out of range. Rec # -1");
}

TEST_F(OpenTest, GoToZeroBlanksWithoutError) {
  auto t = Open(MakeTable(People()));
  t->GoTo(0);
  EXPECT_EQ(t->RecNo, 0);
  EXPECT_EQ(t->ErrorCode, 0);
  EXPECT_EQ(t->FieldByNumber(1), "");
}

TEST_F(OpenTest, ABlankBufferIsNeverPostedOverTheLastRecord) {
  Bytes original = MakeTable(People());
  auto t = Open(original);
  t->GoTo(t->RecordCount() + 1);
  t->PutFieldByNumber(1, "XXXXX");
  EXPECT_FALSE(t->RecordModified);
  EXPECT_EQ(t->ErrorCode, 17);
  t->SetDeleted(true);
  t->Next();
  t->SetActive(false);
  EXPECT_EQ(fs.GetFile("t.dbf"), original);
}

TEST_F(OpenTest, RecordsAreLocatedWithTheHeaderSizeNotTheDescriptorScan) {
  TableSpec s = People();
  s.HeaderSize = 32 * 2 + 33 + 263;  // room after the terminator, as Visual FoxPro leaves
  auto t = Open(MakeTable(s));
  EXPECT_EQ(t->FieldCount, 2);
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
  EXPECT_FALSE(t->Active);
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
  EXPECT_EQ(t->RecNo, 1);
  EXPECT_EQ(t->FieldByNumber(1), "ALICE");
}

TEST_F(OpenTest, MissingFileIsError2AndStaysClosed) {
  auto t = NewDbfTable("none.dbf", "", true, &fs);
  t->SetActive(true);
  EXPECT_FALSE(t->Active);
  EXPECT_EQ(t->ErrorText, "DBF File Not Exist none.dbf");
}

TEST_F(OpenTest, FileThatCannotBeOpenedForWritingIsError2) {
  fs.SetFile("t.dbf", MakeTable(People()));
  fs.SetWritable("t.dbf", false);
  auto t = NewDbfTable("t.dbf", "", true, &fs);
  t->SetActive(true);
  EXPECT_FALSE(t->Active);
  EXPECT_EQ(t->ErrorCode, 2);
  // A second writer is refused the same way while the first holds it.
  fs.SetWritable("t.dbf", true);
  auto first = NewDbfTable("t.dbf", "", true, &fs);
  first->SetActive(true);
  ASSERT_TRUE(first->Active);
  t->SetActive(true);
  EXPECT_FALSE(t->Active);
}

TEST_F(OpenTest, RefusesFilesItCannotWorkOnSafely) {
  struct Case {
    const char* what;
    Bytes bytes;
  };
  std::vector<Case> cases;
  Bytes no_terminator = MakeTable(People());
  no_terminator.resize(32 + 64);  // ends inside the descriptor area
  cases.push_back({"no terminator", no_terminator});
  cases.push_back({"shorter than a header", Bytes(20, 0x03)});
  TableSpec many;
  for (int i = 0; i < 129; ++i) many.Fields.push_back({"F" + std::to_string(i), 'C', 1});
  cases.push_back({"129 descriptors", MakeTable(many)});
  TableSpec wide;
  for (int i = 0; i < 20; ++i) wide.Fields.push_back({"F" + std::to_string(i), 'C', 250});
  cases.push_back({"record of 5001 bytes", MakeTable(wide)});
  TableSpec small_header = People();
  small_header.HeaderSize = 64;
  cases.push_back({"header size below the descriptors", MakeTable(small_header)});
  TableSpec small_record = People();
  small_record.RecordSize = 8;
  cases.push_back({"record size below the fields", MakeTable(small_record)});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto t = Open(c.bytes);
    EXPECT_FALSE(t->Active);
    EXPECT_EQ(t->FieldCount, 0);
    EXPECT_EQ(t->ErrorText, "DBF header error # 32");
    EXPECT_EQ(t->RecordCount(), 0u);
    t->PutFieldByNumber(1, "X");  // nothing to write into
    t->AppendBlank();
    EXPECT_EQ(t->Pack(), 0);
    EXPECT_EQ(fs.GetFile("t.dbf"), c.bytes);
  }
}

TEST_F(OpenTest, ExactlyTheLimitsAreAccepted) {
  TableSpec s;
  for (int i = 0; i < 128; ++i) s.Fields.push_back({"F" + std::to_string(i), 'C', 1});
  auto t = Open(MakeTable(s));
  EXPECT_EQ(t->FieldCount, 128);
  TableSpec wide;
  for (int i = 0; i < 19; ++i) wide.Fields.push_back({"F" + std::to_string(i), 'C', 250});
  wide.Fields.push_back({"LAST", 'C', 49});  // 1 + 19 x 250 + 49 = 4800
  wide.Records = {" x"};
  t->SetActive(false);
  t = Open(MakeTable(wide));
  EXPECT_TRUE(t->Active);
  EXPECT_EQ(t->FieldByNumber(1), "x");
}

TEST_F(OpenTest, ShortRecordReadIsAFailedReadNeverPosted) {
  TableSpec s = People();
  s.CountInHeader = 5;  // promises two records the file does not hold
  s.EndMarker = false;
  Bytes original = MakeTable(s);
  auto t = Open(original);
  t->GoTo(2);
  t->GoTo(4);
  EXPECT_EQ(t->ErrorText, "Read record buffer error. Rec # 4");
  EXPECT_EQ(t->RecNo, 4);
  EXPECT_EQ(t->FieldByNumber(1), "");  // not BOB's bytes
  t->PutFieldByNumber(1, "ZED");
  EXPECT_FALSE(t->RecordModified);
  t->SetActive(false);
  EXPECT_EQ(fs.GetFile("t.dbf"), original);
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
  EXPECT_EQ(t->FieldCount, 2);
}

}  // namespace
}  // namespace tabulon
