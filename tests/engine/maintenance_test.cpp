// Appending, deletion marks and packing in place.
#include <gtest/gtest.h>

#include "dbf_table.h"
#include "file_memory.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::GetLittle32;
using test::MakeTable;
using test::Slice;
using test::TableLayout;

class MaintenanceTest : public ::testing::Test {
 protected:
  std::unique_ptr<DbfTable> Open(std::vector<std::string> records, bool end_marker = true) {
    TableLayout s;
    s.Fields = {{"V", 'C', 4}};
    s.Records = std::move(records);
    s.EndMarker = end_marker;
    fs.SetFile("t.dbf", MakeTable(s));
    auto t = NewDbfTable("t.dbf", "", true, &fs);
    t->SetActive(true);
    EXPECT_TRUE(t->IsActive());
    return t;
  }
  std::string Record(const Bytes& file, int n) { return Slice(file, 65 + (n - 1) * 5, 5); }
  MemoryFileSystem fs;
};

TEST_F(MaintenanceTest, AppendToAnEmptyTableIsCountedOnceTheRecordIsFlushed) {
  auto t = Open({});
  int told = 0;
  t->OnAfterAppend = [&](DbfTable&) { ++told; };
  t->AppendBlank();
  EXPECT_EQ(t->RecordCount(), 1u);
  EXPECT_EQ(t->GetRecNo(), 1);
  EXPECT_EQ(told, 1);
  Bytes file = fs.GetFile("t.dbf");  // before the flush
  EXPECT_EQ(GetLittle32(file, 4), 0u);
  EXPECT_EQ(file.size(), 71u);  // the end marker moved after the new record
  EXPECT_EQ(Record(file, 1), "     ");
  EXPECT_EQ(file[70], 0x1A);
  EXPECT_EQ(file[1], 99);
  EXPECT_TRUE(t->FlushWrites());
  file = fs.GetFile("t.dbf");
  EXPECT_EQ(GetLittle32(file, 4), 1u);
  EXPECT_EQ(file.size(), 71u);
}

TEST_F(MaintenanceTest, AppendDropsAnUnpostedChange) {
  auto t = Open({" aaaa"});
  t->PutFieldByNumber(1, "zzzz");
  t->AppendBlank();
  t->SetActive(false);
  Bytes file = fs.GetFile("t.dbf");
  EXPECT_EQ(Record(file, 1), " aaaa");
  EXPECT_EQ(Record(file, 2), "     ");
}

TEST_F(MaintenanceTest, DeletionMarkIsPostedByMoving) {
  auto t = Open({" aaaa", " bbbb"});
  t->SetDeleted(true);
  EXPECT_TRUE(t->IsRecordModified());
  EXPECT_EQ(Record(fs.GetFile("t.dbf"), 1), " aaaa");  // buffer only
  t->Next();
  EXPECT_EQ(Record(fs.GetFile("t.dbf"), 1), "*aaaa");
  t->First();
  t->SetDeleted(false);
  t->Next();
  EXPECT_EQ(Record(fs.GetFile("t.dbf"), 1), " aaaa");
  EXPECT_EQ(t->FieldByNumber(1), "bbbb");  // the flag belongs to no field
}

TEST_F(MaintenanceTest, RefusedDeletionChangesNothing) {
  auto t = Open({" aaaa"});
  t->OnBeforeDelete = [](DbfTable&, bool& allow) { allow = false; };
  t->SetDeleted(true);
  EXPECT_FALSE(t->IsRecordModified());
  EXPECT_EQ(t->GetRecordBuffer()[0], ' ');
  EXPECT_EQ(t->GetErrorCode(), 0);
}

TEST_F(MaintenanceTest, PackKeepsLiveRecordsInOrderAndEndsTheFileAfterThem) {
  auto t = Open({" one ", "*two ", " thre", "*four"});
  fs.SetNow({2031, 11, 2});
  EXPECT_EQ(t->Pack(), 4);
  EXPECT_EQ(t->GetRecNo(), 0);
  EXPECT_EQ(t->RecordCount(), 2u);
  Bytes file = fs.GetFile("t.dbf");
  EXPECT_EQ(file.size(), 65u + 2 * 5 + 1);
  EXPECT_EQ(file.back(), 0x1A);
  EXPECT_EQ(GetLittle32(file, 4), 2u);
  EXPECT_EQ(file[1], 31);
  EXPECT_EQ(Record(file, 1), " one ");
  EXPECT_EQ(Record(file, 2), " thre");
  t->First();
  EXPECT_EQ(t->FieldByNumber(1), "one");
  t->AppendBlank();  // overwrites the end marker
  EXPECT_EQ(Record(fs.GetFile("t.dbf"), 3), "     ");
}

TEST_F(MaintenanceTest, PackWithoutMarksRewritesOnlyTheHeader) {
  Bytes before;
  auto t = Open({" one ", " two "});
  before = fs.GetFile("t.dbf");
  fs.SetNow({2025, 1, 2});
  EXPECT_EQ(t->Pack(), 2);
  Bytes after = fs.GetFile("t.dbf");
  EXPECT_EQ(after[1], 25);
  EXPECT_EQ(Bytes(after.begin() + 4, after.end()), Bytes(before.begin() + 4, before.end()));
}

TEST_F(MaintenanceTest, DeleteThenPackAsTheProgramDoes) {
  auto t = Open({" r1  ", " r2  ", " r3  ", "*r4  ", " r5  "});
  t->GoTo(3);
  t->SetDeleted(true);
  t->Next();
  t->Pack();
  t->SetActive(false);
  Bytes file = fs.GetFile("t.dbf");
  EXPECT_EQ(GetLittle32(file, 4), 3u);
  EXPECT_EQ(Record(file, 1), " r1  ");
  EXPECT_EQ(Record(file, 2), " r2  ");
  EXPECT_EQ(Record(file, 3), " r5  ");
}

}  // namespace
}  // namespace tabulon
