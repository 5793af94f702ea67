// Packing memo tables by copy: what the new pair holds, and that the pair is
// replaced whole or not at all, whatever fails.
#include <gtest/gtest.h>

#include <algorithm>

#include "copy_pack.h"
#include "file_memory.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::GetBig32;
using test::GetLittle32;
using test::MakeTable;
using test::Ref;
using test::Slice;
using test::TableSpec;

std::string Le32(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

struct Fixture {
  Bytes table, memo;
  std::string memo_name;
};

// Four records, the second and fourth marked deleted; a Date field of width
// 8, a float field and a memo field.
Fixture MakeFixture(uint8_t version) {
  Fixture f;
  const bool vfp = version == 0x30;
  const bool fpt = vfp || version == 0xF5;
  std::vector<std::string> texts = {"alpha memo", "beta memo", std::string(700, 'g'), "delta"};
  std::vector<uint32_t> blocks;
  if (fpt) {
    f.memo = test::MakeFpt(64, texts, &blocks);
  } else {
    f.memo = test::MakeDbt(texts);
    blocks = test::DbtBlocks(texts);
  }
  f.memo_name = fpt ? "d/T.FPT" : "d/T.DBT";
  TableSpec s;
  s.Version = version;
  s.Fields = {{"NAME", 'C', 6}, {"BORN", 'D', 8}, {"F", 'F', 5, 1}, {"NOTE", 'M', uint8_t(vfp ? 4 : 10)}};
  const char flags[4] = {' ', '*', ' ', '*'};
  for (int i = 0; i < 4; ++i) {
    std::string ref = vfp ? Le32(blocks[i]) : Ref(blocks[i]);
    s.Records.push_back(std::string(1, flags[i]) + "name" + std::to_string(i) + " 2024010" +
                        std::to_string(i) + " 1.5" + std::to_string(i) + ref);
  }
  f.table = MakeTable(s);
  return f;
}

class CopyPackTest : public ::testing::Test {
 protected:
  void Load(const Fixture& f) {
    fs.SetFile("d/T.DBF", f.table);
    fs.SetFile(f.memo_name, f.memo);
    table = NewDbfTable("d/T.DBF", f.memo_name, true, &fs);
  }
  // Reads back every record as name + memo text.
  std::vector<std::string> Contents() {
    auto t = NewDbfTable("d/T.DBF", table->MemoFileName, true, &fs);
    t->SetActive(true);
    std::vector<std::string> out;
    for (uint32_t r = 1; r <= t->RecordCount(); ++r) {
      t->GoTo(static_cast<int32_t>(r));
      std::string text;
      t->ReadMemo(4, text);
      out.push_back(t->FieldByNumber(1) + ":" + text);
    }
    t->SetActive(false);
    return out;
  }
  std::string Extra() {
    std::string all;
    for (const auto& name : Leftovers()) all += name + " ";
    return all;
  }
  std::vector<std::string> Leftovers() {
    std::vector<std::string> extra;
    for (const auto& name : fs.ListFiles())
      if (name != "d/T.DBF" && name != table->MemoFileName) extra.push_back(name);
    return extra;
  }
  MemoryFileSystem fs;
  std::unique_ptr<DbfTable> table;
};

TEST_F(CopyPackTest, EveryMemoFlavourKeepsItsLayout) {
  for (uint8_t version : {0x83, 0x84, 0xF5, 0x30}) {
    SCOPED_TRACE(static_cast<int>(version));
    fs = MemoryFileSystem();
    Fixture f = MakeFixture(version);
    Load(f);
    CopyPackOutcome o = CopyPack(*table, fs);
    ASSERT_EQ(o.Result, CopyPackResult::Packed) << o.Detail;
    EXPECT_EQ(o.Kept, 2);
    EXPECT_FALSE(table->Active);
    Bytes packed = fs.GetFile("d/T.DBF");
    // Header area and descriptors as they were, but for date and count.
    EXPECT_EQ(packed[0], version);
    EXPECT_EQ(GetLittle32(packed, 4), 2u);
    EXPECT_EQ(Bytes(packed.begin() + 8, packed.begin() + 161), Bytes(f.table.begin() + 8, f.table.begin() + 161));
    EXPECT_EQ(Contents(), (std::vector<std::string>{"name0:alpha memo", "name2:" + std::string(700, 'g')}));
    // Record bytes other than the memo reference are kept exactly.
    EXPECT_EQ(Slice(packed, 161, 20), Slice(f.table, 161, 20));
    Bytes memo = fs.GetFile(f.memo_name);
    if (version == 0x30 || version == 0xF5) {
      EXPECT_EQ(GetBig32(memo, 4), 64u);  // block size kept
      EXPECT_EQ(memo.size(), 512u + 64 + 12 * 64);
      EXPECT_EQ(GetBig32(memo, 0), memo.size() / 64);
    } else {
      EXPECT_EQ(memo.size(), 512u * 4);  // header, one block, two blocks
      EXPECT_EQ(GetLittle32(memo, 0), 4u);
    }
    EXPECT_TRUE(Leftovers().empty()) << Extra();
  }
}

TEST_F(CopyPackTest, MissingMemoFileChangesNothing) {
  Fixture f = MakeFixture(0x83);
  fs.SetFile("d/T.DBF", f.table);
  table = NewDbfTable("d/T.DBF", "", true, &fs);
  EXPECT_EQ(CopyPack(*table, fs).Result, CopyPackResult::MemoFileMissing);
  EXPECT_EQ(fs.GetFile("d/T.DBF"), f.table);
  EXPECT_EQ(fs.ListFiles().size(), 1u);
}

TEST_F(CopyPackTest, TimeStampCountsDaysFromYearOne) {
  EXPECT_EQ(TimeStamp({1, 1, 1, 0, 0, 0, 0}), "1");
  EXPECT_EQ(TimeStamp({1, 1, 2, 12, 0, 0, 0}), "2.5");
  EXPECT_EQ(TimeStamp({2024, 3, 1, 0, 0, 0, 0}), "738946");
}

// Whatever operation fails, the pair afterwards is the old one or the new
// one; a journal left behind by failed undo steps is resolved by recovery.
TEST_F(CopyPackTest, ReplacedWholeOrNotAtAll) {
  const Fixture f = MakeFixture(0xF5);
  Load(f);
  ASSERT_EQ(CopyPack(*table, fs).Result, CopyPackResult::Packed);
  const Bytes new_table = fs.GetFile("d/T.DBF"), new_memo = fs.GetFile(f.memo_name);
  for (DbfFaultMode mode : {DbfFaultMode::FailOnce, DbfFaultMode::FailPersistent, DbfFaultMode::Short}) {
    for (long n = 1;; ++n) {
      SCOPED_TRACE(std::to_string(static_cast<int>(mode)) + "/" + std::to_string(n));
      fs = MemoryFileSystem();
      Load(f);
      // A removal that fails is covered by the journal test below.
      fs.ArmFault(FaultAll & ~FaultOpen & ~FaultRemove, n, mode);
      CopyPackOutcome o = CopyPack(*table, fs);
      fs.DisarmFault();
      bool fired = fs.FaultFired();
      bool journal = fs.HasFile("d/T.DBF~pack");
      EXPECT_TRUE(RecoverInterruptedPack("d/T.DBF", fs));
      Bytes t = fs.GetFile("d/T.DBF"), m = fs.GetFile(f.memo_name);
      bool old_pair = t == f.table && m == f.memo;
      bool new_pair = t == new_table && m == new_memo;
      EXPECT_TRUE(old_pair || new_pair);
      // Without a journal a failed pack has changed nothing; with one,
      // recovery may have completed the replacement.
      if (o.Result != CopyPackResult::Packed && !journal) {
        EXPECT_TRUE(old_pair);
      }
      EXPECT_TRUE(Leftovers().empty()) << Extra();
      if (!fired) break;
      ASSERT_LT(n, 3000);
    }
  }
}

TEST_F(CopyPackTest, RecoveryAfterAnInterruptionAtEveryStep) {
  // A journal plus the files as each rename leaves them.
  const Fixture f = MakeFixture(0x83);
  for (int done = 0; done <= 4; ++done) {
    SCOPED_TRACE(done);
    fs = MemoryFileSystem();
    Load(f);
    fs.ArmFault(FaultRename, done + 1, DbfFaultMode::FailPersistent);  // undo fails too
    CopyPack(*table, fs);
    fs.DisarmFault();
    ASSERT_TRUE(RecoverInterruptedPack("d/T.DBF", fs));
    std::vector<std::string> c = Contents();
    // Up to the second rename the old pair comes back; once the new table is
    // in, recovery completes the pair with the new memo file.
    if (done < 3) {
      EXPECT_EQ(fs.GetFile("d/T.DBF"), f.table);
      EXPECT_EQ(fs.GetFile(f.memo_name), f.memo);
    } else {
      EXPECT_EQ(c.size(), 2u);
    }
    EXPECT_TRUE(Leftovers().empty()) << Extra();
  }
}

TEST_F(CopyPackTest, LockedOriginalIsNeverReplaced) {
  const Fixture f = MakeFixture(0x83);
  Load(f);
  fs.SetWritable(f.memo_name, false);
  CopyPackOutcome o = CopyPack(*table, fs);
  EXPECT_NE(o.Result, CopyPackResult::Packed);
  EXPECT_EQ(fs.GetFile("d/T.DBF"), f.table);
  EXPECT_TRUE(Leftovers().empty());
}

}  // namespace
}  // namespace tabulon
