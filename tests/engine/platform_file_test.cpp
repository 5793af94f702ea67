// The platform's own file layer (POSIX natively, Win32 under Wine) on real
// files in a temporary folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "dbf_table.h"
#include "support/table_bytes.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

namespace stdfs = std::filesystem;

class PlatformFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder.Path().empty());
    dir = stdfs::u8path(folder.Path());
  }
  std::string Path(const std::string& name) { return (dir / name).u8string(); }
  void Write(const std::string& path, const test::Bytes& bytes) {
    auto f = fs.Open(path, DbfOpenMode::Create);
    ASSERT_TRUE(f);
    ASSERT_TRUE(f->Write(bytes.data(), bytes.size()));
    ASSERT_TRUE(f->Close());
  }
  test::Bytes Read(const std::string& path) {
    auto f = fs.Open(path, DbfOpenMode::ReadOnly);
    test::Bytes b;
    if (!f) return b;
    uint64_t size = 0;
    f->GetSize(&size);
    b.resize(size);
    size_t got = 0;
    f->Read(b.data(), b.size(), &got);
    b.resize(got);
    return b;
  }
  test::TempFolder folder;
  stdfs::path dir;
  DbfFileSystem& fs = PlatformFileSystem();
};

TEST_F(PlatformFileTest, BasicOperations) {
  std::string p = Path("a.bin");
  EXPECT_FALSE(fs.Exists(p));
  EXPECT_FALSE(fs.Exists(dir.u8string()));  // a folder is not a file
  Write(p, {1, 2, 3});
  EXPECT_TRUE(fs.Exists(p));
  EXPECT_FALSE(fs.Open(p, DbfOpenMode::CreateNew));  // never over an existing name
  auto fresh = fs.Open(Path("c.bin"), DbfOpenMode::CreateNew);
  ASSERT_TRUE(fresh);
  fresh->Close();
  EXPECT_TRUE(fs.Remove(Path("c.bin")));
  auto f = fs.Open(p, DbfOpenMode::ReadWriteShared);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f->SetSize(6));  // extension reads as zeros
  ASSERT_TRUE(f->Seek(1));
  ASSERT_TRUE(f->Write("\x09", 1));
  uint64_t at = 0;
  ASSERT_TRUE(f->Tell(&at));
  EXPECT_EQ(at, 2u);
  f->Close();
  EXPECT_EQ(Read(p), (test::Bytes{1, 9, 3, 0, 0, 0}));
  DbfFileInfo info;
  ASSERT_TRUE(fs.GetInfo(p, &info));
  EXPECT_EQ(info.Size, 6u);
  std::string q = Path("b.bin");
  Write(q, {7});
  ASSERT_TRUE(fs.Rename(q, p));  // replaces
  EXPECT_EQ(Read(p), (test::Bytes{7}));
  EXPECT_FALSE(fs.Exists(q));
  EXPECT_TRUE(fs.Remove(p));
  EXPECT_FALSE(fs.Exists(p));
  DbfLocalTime now = fs.Now();
  EXPECT_GE(now.Year, 2020);
  EXPECT_GE(now.Month, 1);
}

TEST_F(PlatformFileTest, IdentityFolderFlushAndOpensThatFollowNoLink) {
  std::string a = Path("a.bin"), b = Path("b.bin");
  Write(a, {1});
  Write(b, {2});
  DbfFileIdentity ia, ia2, ib;
  ASSERT_TRUE(fs.GetIdentity(a, &ia));
  ASSERT_TRUE(fs.GetIdentity((dir / "." / "a.bin").u8string(), &ia2));
  ASSERT_TRUE(fs.GetIdentity(b, &ib));
  EXPECT_EQ(ia, ia2);
  EXPECT_NE(ia, ib);
  EXPECT_FALSE(fs.GetIdentity(Path("none.bin"), &ib));
  EXPECT_TRUE(fs.FlushFolder(a));
  EXPECT_TRUE(fs.Open(a, DbfOpenMode::ReadOnlyNoFollow));
  EXPECT_FALSE(fs.Open(dir.u8string(), DbfOpenMode::ReadOnlyNoFollow));
  std::error_code ec;
  stdfs::create_symlink(dir / "a.bin", dir / "link.bin", ec);
  if (ec) return;  // no links here (an ordinary Windows user)
  EXPECT_TRUE(fs.Open(Path("link.bin"), DbfOpenMode::ReadOnly));
  EXPECT_FALSE(fs.Open(Path("link.bin"), DbfOpenMode::ReadOnlyNoFollow));
}

TEST_F(PlatformFileTest, SecondWriterIsRefusedWhileATableIsOpen) {
  std::string p = Path("t.dbf");
  test::TableLayout s;
  s.Fields = {{"A", 'C', 2}};
  s.Records = {" ab"};
  Write(p, test::MakeTable(s));
  auto t = NewDbfTable(p, "", true);
  t->SetActive(true);
  ASSERT_TRUE(t->IsActive());
  EXPECT_FALSE(fs.Open(p, DbfOpenMode::ReadWriteShared));
  // Another table object may read it, and only read it.
  auto other = NewDbfTable(p, "", true);
  other->SetActive(true);
  ASSERT_TRUE(other->IsActive());
  EXPECT_TRUE(other->IsReadOnly());
  other->AppendBlank();
  EXPECT_EQ(other->GetErrorCode(), DbfReadOnly);
  other->SetActive(false);
  EXPECT_EQ(Read(p).size(), 69u);
  t->SetActive(false);
  other->SetActive(true);
  EXPECT_TRUE(other->IsActive());
  EXPECT_FALSE(other->IsReadOnly());
  other->SetActive(false);
}

// Another xBase program keeps the table and its memo file open for writing
// (relying on byte-range locks): the table is written beside it, and the
// program can open both again meanwhile.
TEST_F(PlatformFileTest, ATableOpenForWritingInAnotherProgramIsWritten) {
  const std::string p = Path("shared.dbf"), m = Path("shared.dbt");
  auto t = NewDbfTable(p, m, true);
  ASSERT_TRUE(t->CreateTable(p, {"NAME=C4", "NOTE=M"}));
  const auto peer = [](const std::string& path) {
    return std::fstream(stdfs::u8path(path), std::ios::in | std::ios::out | std::ios::binary);
  };
  std::fstream held[] = {peer(p), peer(m)};
  t->SetActive(true);
  EXPECT_TRUE(t->IsActive() && !t->IsReadOnly() && held[0].is_open() && held[1].is_open());
  EXPECT_TRUE(peer(p).is_open() && peer(m).is_open());
  t->AppendBlank();
  t->PostRecord();
  const uint64_t end = t->HeaderSize() + t->RecordSize() + 1;  // one record, the end mark
  t->SetActive(false);
  EXPECT_EQ(Read(p).size(), end);
}

TEST_F(PlatformFileTest, TableRoundTripWithMemoOnDisk) {
  // A Cyrillic file name, given as UTF-8.
  std::string p = Path("\xd1\x82\xd0\xb5\xd1\x81\xd1\x82.dbf");
  std::string m = p.substr(0, p.size() - 1) + "t";
  auto t = NewDbfTable(p, m, true);
  ASSERT_TRUE(t->CreateTable(p, {"NAME=C10", "NOTE=M"}));
  ASSERT_TRUE(fs.Exists(m));
  t->SetActive(true);
  ASSERT_TRUE(t->IsActive());
  for (int i = 0; i < 300; ++i) {
    t->AppendBlank();
    t->PutFieldByNumber(1, "rec" + std::to_string(i));
    t->WriteMemo(2, std::string(static_cast<size_t>(i), 'x'));
    t->PostRecord();
  }
  t->SetActive(false);
  t->SetActive(true);
  EXPECT_EQ(t->RecordCount(), 300u);
  for (int i = 1; i <= 300; i += 37) {
    t->GoTo(i);
    std::string text;
    t->ReadMemo(2, text);
    EXPECT_EQ(t->FieldByNumber(1), "rec" + std::to_string(i - 1));
    EXPECT_EQ(text.size(), static_cast<size_t>(i - 1));
  }
  EXPECT_EQ(t->GetErrorCode(), 16);  // only the empty table's first read
  t->SetActive(false);

  // Packed on disk: the journal comes and goes.
  t->SetActive(true);
  for (int i = 1; i <= 300; i += 2) {
    t->GoTo(i);
    t->SetDeleted(true);
  }
  t->First();
  EXPECT_EQ(t->Pack(), 300);
  t->SetActive(false);
  EXPECT_FALSE(fs.Exists(p + "~pack"));
  t->SetActive(true);
  ASSERT_EQ(t->RecordCount(), 150u);
  t->GoTo(150);
  std::string text;
  t->ReadMemo(2, text);
  EXPECT_EQ(t->FieldByNumber(1), "rec299");
  EXPECT_EQ(text, std::string(299, 'x'));
  t->SetActive(false);
}

}  // namespace
}  // namespace tabulon
