// Memo texts in .dbt and .fpt files: reading, writing, and what a write may
// never do to the file whatever its header claims.
#include <gtest/gtest.h>

#include "dbf_table.h"
#include "file_memory.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::GetBig32;
using test::GetLittle32;
using test::MakeDbt;
using test::MakeFpt;
using test::MakeTable;
using test::Ref;
using test::Slice;
using test::TableLayout;

class MemoTest : public ::testing::Test {
 protected:
  // A table with fields ID (C3) and NOTE (M10, or M4 for Visual FoxPro).
  std::unique_ptr<DbfTable> Open(uint8_t version, const std::vector<std::string>& refs,
                                 const Bytes& memo, const char* memo_name = "t.memo") {
    TableLayout s;
    s.Version = version;
    bool vfp = version >= 0x30 && version <= 0x32;
    s.Fields = {{"ID", 'C', 3}, {"NOTE", 'M', static_cast<uint8_t>(vfp ? 4 : 10)}};
    int i = 0;
    for (const auto& r : refs) s.Records.push_back(" R" + std::to_string(++i) + " " + r);
    fs.SetFile("t.dbf", MakeTable(s));
    fs.SetFile(memo_name, memo);
    auto t = NewDbfTable("t.dbf", "t.memo", true, &fs);
    t->SetActive(true);
    EXPECT_TRUE(t->IsActive());
    return t;
  }
  std::string Read(DbfTable& t, int32_t n = 2) {
    std::string text = "untouched";
    t.ReadMemo(n, text);
    return text;
  }
  static std::string Le32(uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
  }
  MemoryFileSystem fs;
};

TEST_F(MemoTest, DbtReadsUpToTheTerminator) {
  std::vector<std::string> texts = {"first", std::string(700, 'x'), "a\x1A" "b"};
  auto blocks = test::DbtBlocks(texts);
  auto t = Open(0x83, {Ref(blocks[0]), Ref(blocks[1]), Ref(blocks[2]), "          "}, MakeDbt(texts));
  EXPECT_EQ(Read(*t), "first");
  t->Next();
  EXPECT_EQ(Read(*t), std::string(700, 'x'));  // runs over two blocks
  t->Next();
  EXPECT_EQ(Read(*t), "a");  // stops at the first 0x1A
  t->Next();
  EXPECT_EQ(Read(*t), "");  // blank reference: no memo
  EXPECT_EQ(t->GetErrorCode(), 0);
}

TEST_F(MemoTest, DbtWithoutTerminatorReadsToTheNextFreeBlockOrTheEnd) {
  // Next free block 2 bounds the memo at block 1; 0 or 1 says nothing.
  for (uint8_t next_free : {2, 0, 1}) {
    Bytes memo(512, 0);
    memo[0] = next_free;
    std::string tail(600, 'q');
    memo.insert(memo.end(), tail.begin(), tail.end());
    auto t = Open(0x03, {Ref(1), Ref(5)}, memo);
    EXPECT_EQ(Read(*t), next_free == 2 ? tail.substr(0, 512) : tail);
    t->Next();
    EXPECT_EQ(Read(*t), "");  // beyond the end: empty, no error
    EXPECT_EQ(t->GetErrorCode(), 0);
  }
}

TEST_F(MemoTest, DbtWriteIntoANewMemoFileLaysOutBlocks) {
  auto t = Open(0x83, {"          "}, Bytes{1, 0, 0, 0});
  std::string text(100, 'm');
  t->WriteMemo(2, text);
  EXPECT_EQ(t->FieldByNumber(2), "         1");
  t->SetActive(false);
  Bytes memo = fs.GetFile("t.memo");
  ASSERT_EQ(memo.size(), 1024u);
  EXPECT_EQ(GetLittle32(memo, 0), 2u);
  EXPECT_EQ(Slice(memo, 512, 102), text + "\x1A\x1A");
  EXPECT_EQ(Bytes(memo.begin() + 614, memo.end()), Bytes(410, 0));
  EXPECT_EQ(Slice(fs.GetFile("t.dbf"), 97, 14), " R1 " + Ref(1));
}

TEST_F(MemoTest, DbtRewriteAppendsASecondCopy) {
  auto t = Open(0x83, {"          "}, Bytes{1, 0, 0, 0});
  t->WriteMemo(2, "one");
  t->WriteMemo(2, "two");
  EXPECT_EQ(t->FieldByNumber(2), "         2");
  Bytes memo = fs.GetFile("t.memo");
  EXPECT_EQ(memo.size(), 1536u);
  EXPECT_EQ(Slice(memo, 512, 3), "one");
  EXPECT_EQ(Slice(memo, 1024, 5), "two\x1A\x1A");
  EXPECT_EQ(Read(*t), "two");
}

TEST_F(MemoTest, DbtStaleNextFreeNeverCutsTheFile) {
  // Next free says 0 (and then 1) while two memos are in the file.
  std::vector<std::string> texts = {"keep one", "keep two"};
  for (uint32_t stale : {0u, 1u}) {
    Bytes memo = MakeDbt(texts);
    test::PutLittle(memo, 0, stale, 4);
    auto t = Open(0x83, {Ref(1), Ref(2)}, memo);
    t->WriteMemo(2, "new");
    EXPECT_EQ(t->FieldByNumber(2), "         3");
    Bytes after = fs.GetFile("t.memo");
    EXPECT_EQ(after.size(), 2048u);
    EXPECT_EQ(Slice(after, 512, 8), "keep one");
    EXPECT_EQ(Slice(after, 1024, 8), "keep two");
    EXPECT_EQ(GetLittle32(after, 0), 4u);
    t->SetActive(false);
  }
}

TEST_F(MemoTest, NextFreeFarBeyondTheEndDoesNotInflateTheFile) {
  Bytes dbt = MakeDbt({"a"});
  test::PutLittle(dbt, 0, 0xEA000000u, 4);
  auto t = Open(0x83, {Ref(1)}, dbt);
  t->WriteMemo(2, "b");
  EXPECT_EQ(fs.GetFile("t.memo").size(), 1536u);
  EXPECT_EQ(t->FieldByNumber(2), "         2");
  t->SetActive(false);

  std::vector<uint32_t> blocks;
  Bytes fpt = MakeFpt(64, {"a"}, &blocks);
  test::PutBig(fpt, 0, 0xEA000000u);
  t = Open(0xF5, {Ref(blocks[0])}, fpt);
  t->WriteMemo(2, std::string(100, 'b'));
  EXPECT_EQ(fs.GetFile("t.memo").size(), fpt.size() + 128);
  EXPECT_EQ(Read(*t), std::string(100, 'b'));
  t->SetActive(false);

  // A block size that no valid file has is refused for writing.
  test::PutBig(fpt, 4, 0x00100000u);
  t = Open(0xF5, {Ref(1)}, fpt);
  t->WriteMemo(2, "c");
  EXPECT_EQ(t->GetErrorCode(), 15);
  EXPECT_EQ(fs.GetFile("t.memo"), fpt);
}

TEST_F(MemoTest, DbtTooShortForItsHeaderFailsWithNothingWritten) {
  auto t = Open(0x83, {"          "}, Bytes{1, 0});
  t->WriteMemo(2, "text");
  EXPECT_EQ(t->GetErrorText(), "Write memo data error. Field # 2");
  EXPECT_FALSE(t->IsRecordModified());
  EXPECT_EQ(fs.GetFile("t.memo"), (Bytes{1, 0}));
  t->WriteMemo(3, "bad field");
  EXPECT_EQ(t->GetErrorText(), "Write memo data error. Field # 3");
}

TEST_F(MemoTest, BlankMemoFieldReadsEmptyForBothKinds) {
  auto t = Open(0x83, {"          "}, MakeDbt({"x"}));
  EXPECT_EQ(Read(*t), "");
  t->SetActive(false);
  t = Open(0xF5, {"          "}, MakeFpt(64, {"x"}));
  EXPECT_EQ(Read(*t), "");
}

TEST_F(MemoTest, FptReadsExactLengthAndBlockSizeFromTheHeader) {
  std::vector<uint32_t> blocks;
  Bytes memo = MakeFpt(64, {"hello", std::string(1000, 'z')}, &blocks);
  auto t = Open(0xF5, {Ref(blocks[0]), Ref(blocks[1])}, memo);
  EXPECT_EQ(Read(*t), "hello");
  t->Next();
  EXPECT_EQ(Read(*t), std::string(1000, 'z'));
  EXPECT_EQ(t->GetErrorCode(), 0);
}

TEST_F(MemoTest, FptSizingAndRewriteToNewBlocks) {
  Bytes memo = MakeFpt(64, {});
  auto t = Open(0xF5, {"          "}, memo);
  const uint32_t first = 512 / 64;
  t->WriteMemo(2, std::string(56, 'a'));  // 56 + 8 = one block
  EXPECT_EQ(t->FieldByNumber(2), "         8");
  EXPECT_FALSE(t->IsRecordModified());  // written with the record at once
  Bytes after = fs.GetFile("t.memo");
  EXPECT_EQ(after.size(), (first + 1) * 64u);
  EXPECT_EQ(GetBig32(after, 0), first + 1);
  EXPECT_EQ(GetBig32(after, first * 64), 1u);
  EXPECT_EQ(GetBig32(after, first * 64 + 4), 56u);
  EXPECT_EQ(Slice(fs.GetFile("t.dbf"), 97, 14), " R1 " + Ref(8));

  // A text that would fit the old block still goes to a new one: the old
  // one stays whole until the new reference is stored.
  t->WriteMemo(2, std::string(30, 'b'));
  EXPECT_EQ(t->FieldByNumber(2), "         9");
  EXPECT_EQ(fs.GetFile("t.memo").size(), (first + 2) * 64u);
  EXPECT_EQ(GetBig32(fs.GetFile("t.memo"), first * 64 + 4), 56u);
  EXPECT_EQ(Read(*t), std::string(30, 'b'));

  t->WriteMemo(2, std::string(57, 'c'));  // 57 + 8 needs two blocks
  EXPECT_EQ(t->FieldByNumber(2), "        10");
  after = fs.GetFile("t.memo");
  EXPECT_EQ(after.size(), (first + 4) * 64u);
  EXPECT_EQ(GetBig32(after, 0), first + 4);
  EXPECT_EQ(Read(*t), std::string(57, 'c'));
  EXPECT_EQ(GetBig32(after, 4), 64u);  // block size never rewritten
}

// A rewrite never trusts the room an old block claims: record 1's new text
// leaves record 2's memo as it was, whether record 1's stored length
// claims record 2's blocks or both records share one block.
TEST_F(MemoTest, FptRewriteNeverReachesAnotherRecordsMemo) {
  std::vector<uint32_t> blocks;
  const Bytes memo = MakeFpt(64, {"first", "second", std::string(4000, 't')}, &blocks);
  Bytes claims = memo;
  test::PutBig(claims, blocks[0] * 64 + 4, 3000);
  const struct {
    Bytes Memo;
    uint32_t Block;  // record 1's; record 2's is blocks[1]
    std::string Text;
  } cases[] = {{claims, blocks[0], std::string(100, 'n')}, {memo, blocks[1], "n"}};
  for (const auto& c : cases) {
    auto t = Open(0xF5, {Ref(c.Block), Ref(blocks[1])}, c.Memo);
    t->WriteMemo(2, c.Text);
    EXPECT_EQ(Read(*t), c.Text);
    t->Next();
    EXPECT_EQ(Read(*t), "second");
    t->SetActive(false);
  }
}

TEST_F(MemoTest, FptWriteIntoABlankFieldNeverTouchesTheHeader) {
  Bytes memo = MakeFpt(512, {});
  test::PutBig(memo, 0, 0);  // stale next free
  memo[100] = 0x55;          // a byte of the header that nobody interprets
  auto t = Open(0xF5, {"          "}, memo);
  t->WriteMemo(2, "abc");
  Bytes after = fs.GetFile("t.memo");
  EXPECT_EQ(t->FieldByNumber(2), "         1");
  EXPECT_EQ(after[100], 0x55);
  EXPECT_EQ(Slice(after, 512 + 8, 3), "abc");
  EXPECT_EQ(after.size(), 1024u);
}

TEST_F(MemoTest, VisualFoxProStoresTheReferenceAsFourBytes) {
  std::vector<uint32_t> blocks;
  Bytes memo = MakeFpt(64, {"old"}, &blocks);
  auto t = Open(0x30, {Le32(blocks[0])}, memo);
  EXPECT_EQ(Read(*t), "old");
  t->WriteMemo(2, std::string(100, 'v'));
  uint32_t block = GetLittle32(fs.GetFile("t.dbf"), 97 + 4);
  EXPECT_EQ(block, blocks[0] + 1);
  EXPECT_EQ(Read(*t), std::string(100, 'v'));
}

TEST_F(MemoTest, FptDamageNeverReadsOrAllocatesBeyondTheFile) {
  std::vector<uint32_t> blocks;
  Bytes memo = MakeFpt(64, {"abcdef"}, &blocks);
  Bytes long_length = memo;
  test::PutBig(long_length, blocks[0] * 64 + 4, 0x80000000u);  // absurd length
  auto t = Open(0xF5, {Ref(blocks[0]), Ref(999999)}, long_length);
  EXPECT_EQ(Read(*t), "");  // never the rest of the file
  EXPECT_EQ(t->GetErrorText(), "Read memo data error. Field # 2");
  t->Next();
  EXPECT_EQ(Read(*t), "");  // reference beyond the end
  EXPECT_EQ(t->GetErrorCode(), 14);
  t->SetActive(false);

  // Blocks 1 to 7 lie in the 512-byte header: read as nothing, never written.
  t = Open(0xF5, {Ref(3)}, memo);
  EXPECT_EQ(Read(*t), "");
  EXPECT_EQ(t->GetErrorCode(), 14);
  t->WriteMemo(2, "new");
  EXPECT_EQ(Slice(fs.GetFile("t.memo"), 4, 508), Slice(memo, 4, 508));
  EXPECT_EQ(t->FieldByNumber(2), "         9");
  t->SetActive(false);

  Bytes zero_block = memo;
  test::PutBig(zero_block, 4, 0);
  t = Open(0xF5, {Ref(blocks[0])}, zero_block);
  EXPECT_EQ(Read(*t), "");
  EXPECT_EQ(t->GetErrorCode(), 14);
  t->WriteMemo(2, "x");
  EXPECT_EQ(t->GetErrorCode(), 15);
  EXPECT_EQ(fs.GetFile("t.memo"), zero_block);
}

TEST_F(MemoTest, UnknownFlavourOrMissingMemoFileDoesNothing) {
  auto t = Open(0x8A, {Ref(1)}, MakeDbt({"text"}));
  EXPECT_EQ(Read(*t), "untouched");
  EXPECT_EQ(t->GetErrorText(), "No memo file for this field. Field # 2");
  t->WriteMemo(1, "new");  // a text field never takes a block number
  EXPECT_EQ(t->GetErrorText(), "Write memo data error. Field # 1");
  t->WriteMemo(2, "new");
  EXPECT_EQ(fs.GetFile("t.memo"), MakeDbt({"text"}));
  EXPECT_FALSE(t->IsRecordModified());
  t->SetActive(false);
  t = Open(0x83, {Ref(1)}, MakeDbt({"text"}), "other.memo");
  t->SetActive(false);
  fs.Remove("t.memo");
  t->SetActive(true);
  t->ClearError();
  EXPECT_EQ(Read(*t), "untouched");
  EXPECT_EQ(t->GetErrorCode(), DbfMemoUnavailable);
}

TEST_F(MemoTest, DbaseIvAndLaterVisualFoxProFlavoursReadAndWrite) {
  struct Case {
    uint8_t version;
    bool dbase4;
  };
  for (const Case& c : {Case{0x8B, true}, Case{0x7B, true}, Case{0x31, false}, Case{0x32, false}}) {
    SCOPED_TRACE(c.version);
    std::vector<uint32_t> blocks;
    const std::vector<std::string> texts = {"old one", std::string(600, 'y')};
    Bytes memo = c.dbase4 ? test::MakeDbt4(512, texts, &blocks) : MakeFpt(64, texts, &blocks);
    auto ref = [&](uint32_t block) { return c.dbase4 ? Ref(block) : Le32(block); };
    auto t = Open(c.version, {ref(blocks[0]), ref(blocks[1])}, memo);
    EXPECT_EQ(Read(*t), "old one");
    t->Next();
    EXPECT_EQ(Read(*t), std::string(600, 'y'));
    t->First();
    t->WriteMemo(2, "new text");
    t->Next();
    t->SetActive(false);
    t->SetActive(true);
    EXPECT_EQ(Read(*t), "new text");
    t->Next();
    EXPECT_EQ(Read(*t), std::string(600, 'y'));
    EXPECT_EQ(t->GetErrorCode(), 0);
    if (c.dbase4) {
      // Appended as dBase IV writes it: signature, length with the header.
      const Bytes after = fs.GetFile("t.memo");
      const size_t at = memo.size();
      EXPECT_EQ(Slice(after, at, 4), std::string("\xFF\xFF\x08\x00", 4));
      EXPECT_EQ(GetLittle32(after, at + 4), 16u);
      EXPECT_EQ(Slice(after, at + 8, 8), "new text");
      EXPECT_EQ(GetLittle32(after, 0), after.size() / 512);
      EXPECT_EQ(GetLittle32(after, 20), 512u);
    }
  }
}

TEST_F(MemoTest, AMemoFileThatCannotBeWrittenOpensTheTableForReadingOnly) {
  auto t = Open(0x83, {Ref(1)}, MakeDbt({"text"}));
  t->SetActive(false);
  const Bytes table = fs.GetFile("t.dbf");
  const Bytes memo = fs.GetFile("t.memo");
  fs.SetWritable("t.memo", false);
  t->SetActive(true);
  ASSERT_TRUE(t->IsActive());
  EXPECT_TRUE(t->IsReadOnly());
  EXPECT_EQ(Read(*t), "text");
  t->WriteMemo(2, "other");
  EXPECT_EQ(t->GetErrorCode(), DbfReadOnly);
  t->SetActive(false);
  EXPECT_EQ(fs.GetFile("t.dbf"), table);
  EXPECT_EQ(fs.GetFile("t.memo"), memo);
}

TEST_F(MemoTest, ReferenceTooWideForItsFieldIsRefused) {
  // A four-character memo field in a dBase table cannot hold block 10000.
  TableLayout s;
  s.Version = 0x83;
  s.Fields = {{"NOTE", 'M', 4}};
  s.Records = {"     "};
  fs.SetFile("t.dbf", MakeTable(s));
  Bytes memo(10000 * 512, 0);  // the next text would go to block 10000
  test::PutLittle(memo, 0, 10000, 4);
  fs.SetFile("t.memo", memo);
  auto t = NewDbfTable("t.dbf", "t.memo", true, &fs);
  t->SetActive(true);
  t->WriteMemo(1, "x");
  EXPECT_EQ(t->GetErrorCode(), 15);
  EXPECT_EQ(t->FieldByNumber(1), "");
  EXPECT_EQ(fs.GetFile("t.memo"), memo);
}

}  // namespace
}  // namespace tabulon
