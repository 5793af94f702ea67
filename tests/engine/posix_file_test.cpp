// A FIFO at a file's name (POSIX only): refused at once, never waited on.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "dbf_file.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

TEST(PosixFileTest, AFifoAtTheNameIsRefusedWithoutWaitingForAWriter) {
  test::TempFolder folder;
  const std::string fifo = folder.Path("t.dbf~pack");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (DbfOpenMode mode : {DbfOpenMode::ReadOnlyNoFollow, DbfOpenMode::ReadOnly, DbfOpenMode::ReadWriteShared})
    EXPECT_FALSE(PlatformFileSystem().Open(fifo, mode)) << static_cast<int>(mode);
}

}  // namespace
}  // namespace tabulon
