#include <gtest/gtest.h>

#include "file_memory.h"
#include "table_files.h"

namespace tabulon {
namespace {

TEST(TableFilesTest, MemoFileBesideTheTable) {
  MemoryFileSystem fs;
  fs.SetFile("D/CLIENTS.DBF", {});
  EXPECT_EQ(ChooseMemoFile("D/CLIENTS.DBF", fs), "");
  fs.SetFile("D/CLIENTS.DBt", {});
  EXPECT_EQ(ChooseMemoFile("D/CLIENTS.DBF", fs), "D/CLIENTS.DBt");
  fs.SetFile("D/CLIENTS.fpt", {});
  EXPECT_EQ(ChooseMemoFile("D/CLIENTS.DBF", fs), "D/CLIENTS.fpt");  // fpt wins
  EXPECT_EQ(ChooseMemoFile("", fs), "");
  EXPECT_EQ(ChooseMemoFile("ab", fs), "");
}

TEST(TableFilesTest, SnapshotNoticesChangesByOthers) {
  MemoryFileSystem fs;
  std::vector<uint8_t> header(34, 0);
  header[4] = 2;
  header[8] = 33;
  header[10] = 1;
  fs.SetFile("t.dbf", header);
  auto table = NewDbfTable("t.dbf", "t.dbt", true, &fs);
  TableSnapshot a = TakeSnapshot(*table, fs);
  ASSERT_TRUE(a.Valid);
  EXPECT_EQ(a.RecordCount, 2u);
  EXPECT_EQ(a.HeaderSize, 33);
  EXPECT_EQ(TakeSnapshot(*table, fs), a);
  header[4] = 3;  // another program appended
  fs.SetFile("t.dbf", header);
  EXPECT_NE(TakeSnapshot(*table, fs), a);
  TableSnapshot b = TakeSnapshot(*table, fs);
  fs.SetFile("t.dbt", {1, 0, 0, 0});  // the memo file changed
  EXPECT_NE(TakeSnapshot(*table, fs), b);
  fs.Remove("t.dbf");
  EXPECT_FALSE(TakeSnapshot(*table, fs).Valid);
}

}  // namespace
}  // namespace tabulon
