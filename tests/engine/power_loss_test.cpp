// The in-memory file layer's model of a power loss (the table's write paths
// are replayed on it in faults_test.cpp).
#include <gtest/gtest.h>

#include "file_memory.h"

namespace tabulon {
namespace {

using Files = MemoryFileSystem::FileSet;
using B = std::vector<uint8_t>;

TEST(PowerLossTest, FlushesDecideWhatSurvives) {
  MemoryFileSystem fs;
  fs.SetFile("d/a", {1, 2});
  fs.StartRecording();
  auto a = fs.Open("d/a", DbfOpenMode::ReadWriteShared);
  ASSERT_TRUE(a->WriteAt(0, "\x09", 1));  // 0
  ASSERT_TRUE(a->Flush());                // 1
  ASSERT_TRUE(a->WriteAt(1, "\x08", 1));  // 2: never flushed
  auto b = fs.Open("d/b", DbfOpenMode::CreateNew);  // 3
  ASSERT_TRUE(b->Write("\x05", 1));                 // 4
  ASSERT_TRUE(b->Flush());                          // 5
  ASSERT_TRUE(fs.FlushFolder("d/b"));               // 6
  b->Close();
  ASSERT_TRUE(fs.Rename("d/b", "d/c"));  // 7: its folder never flushed
  ASSERT_EQ(fs.GetStepCount(), 8u);
  EXPECT_EQ(fs.GetUnflushedSteps(8), (std::vector<size_t>{2, 7}));
  EXPECT_EQ(fs.GetPowerLossFiles(8, {}), (Files{{"d/a", B{9, 2}}, {"d/b", B{5}}}));
  EXPECT_EQ(fs.GetPowerLossFiles(8, {2, 7}), (Files{{"d/a", B{9, 8}}, {"d/c", B{5}}}));
  EXPECT_EQ(fs.GetUnflushedSteps(6), (std::vector<size_t>{2, 3}));
  EXPECT_EQ(fs.GetPowerLossFiles(6, {}), (Files{{"d/a", B{9, 2}}}));  // a name needs its folder
  EXPECT_EQ(fs.GetPowerLossFiles(6, {3}), (Files{{"d/a", B{9, 2}}, {"d/b", B{5}}}));
  EXPECT_EQ(fs.GetPowerLossFiles(1, {}), (Files{{"d/a", B{1, 2}}}));
}

}  // namespace
}  // namespace tabulon
