// Every write path against a file layer that fails the n-th operation (once,
// from then on, or by coming up short), for n = 1, 2, 3 ... until the fault
// no longer fires. After each try: a failure is never reported as success,
// and what must hold of the files holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "dbf_table.h"
#include "file_memory.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::GetLittle32;
using test::MakeTable;
using test::Ref;
using test::Slice;
using test::TableSpec;

struct Outcome {
  bool fired;
  uint8_t error;
};

// Runs action on a fresh file system prepared by setup, with the fault armed.
void ForEachFault(const std::function<void(MemoryFileSystem&)>& setup,
                  const std::function<uint8_t(MemoryFileSystem&)>& action,
                  const std::function<void(MemoryFileSystem&, Outcome)>& check) {
  for (DbfFaultMode mode :
       {DbfFaultMode::FailOnce, DbfFaultMode::FailPersistent, DbfFaultMode::Short}) {
    for (long n = 1;; ++n) {
      SCOPED_TRACE("mode " + std::to_string(static_cast<int>(mode)) + ", operation " +
                   std::to_string(n));
      MemoryFileSystem fs;
      setup(fs);
      fs.ArmFault(FaultAll, n, mode);
      uint8_t error = action(fs);
      fs.DisarmFault();
      check(fs, {fs.FaultFired(), error});
      if (!fs.FaultFired() || ::testing::Test::HasFatalFailure()) break;
      ASSERT_LT(n, 5000);
    }
  }
}

Bytes Header(const Bytes& file) {
  Bytes h(file.begin(), file.begin() + 97);
  std::fill(h.begin() + 1, h.begin() + 8, 0);  // date and count may change
  return h;
}

TableSpec Notes(uint8_t version) {
  TableSpec s;
  s.Version = version;
  s.Fields = {{"ID", 'C', 3}, {"NOTE", 'M', 10}};
  return s;
}

TEST(FaultTest, FieldEditAndPost) {
  TableSpec s;
  s.Fields = {{"A", 'C', 4}, {"B", 'C', 4}};
  s.Records = {" r1  x   ", " r2  y   ", " r3  z   "};
  const Bytes original = MakeTable(s);
  auto setup = [&](MemoryFileSystem& fs) { fs.SetFile("t.dbf", original); };
  auto action = [](MemoryFileSystem& fs) {
    auto t = NewDbfTable("t.dbf", "", true, &fs);
    t->SetActive(true);
    t->GoTo(2);
    t->PutFieldByNumber(2, "new");
    t->Next();
    t->SetActive(false);
    return t->ErrorCode;
  };
  MemoryFileSystem clean;
  setup(clean);
  action(clean);
  const Bytes success = clean.GetFile("t.dbf");
  ForEachFault(setup, action, [&](MemoryFileSystem& fs, Outcome o) {
    Bytes file = fs.GetFile("t.dbf");
    if (o.error == 0) {
      EXPECT_EQ(file, success);
    }
    if (o.error != 0 && file != original) {
      EXPECT_EQ(Header(file), Header(original));
      EXPECT_EQ(Slice(file, 97, 9), Slice(original, 97, 9));
      EXPECT_EQ(Slice(file, 115, 9), Slice(original, 115, 9));
    }
  });
}

TEST(FaultTest, AppendKeepsCountAndRecordsConsistent) {
  TableSpec s;
  s.Fields = {{"A", 'C', 4}};
  s.Records = {" one", " two"};
  const Bytes original = MakeTable(s);
  ForEachFault([&](MemoryFileSystem& fs) { fs.SetFile("t.dbf", original); },
               [](MemoryFileSystem& fs) {
                 auto t = NewDbfTable("t.dbf", "", true, &fs);
                 t->SetActive(true);
                 t->AppendBlank();
                 t->SetActive(false);
                 return t->ErrorCode;
               },
               [&](MemoryFileSystem& fs, Outcome o) {
                 Bytes file = fs.GetFile("t.dbf");
                 uint32_t count = GetLittle32(file, 4);
                 if (o.error == 0) {
      EXPECT_EQ(count, 3u);
    }
                 EXPECT_TRUE(count == 2 || count == 3);
                 EXPECT_EQ(Slice(file, 65, 10), " one  two ");
                 if (count == 3) {
      EXPECT_EQ(Slice(file, 75, 5), "     ");
    }
               });
}

// A memo write either stores the new text and its reference, or keeps the
// old reference with the old text readable. The memo file never shrinks and
// its header keeps every byte but the next-free number.
void CheckMemoWrite(uint8_t version, const Bytes& memo, const std::string& old_ref,
                    const std::string& old_text) {
  TableSpec s = Notes(version);
  s.Records = {" r1 " + old_ref};
  const Bytes table = MakeTable(s);
  const std::string text(300, 'n');
  ForEachFault(
      [&](MemoryFileSystem& fs) {
        fs.SetFile("t.dbf", table);
        fs.SetFile("t.memo", memo);
      },
      [&](MemoryFileSystem& fs) {
        auto t = NewDbfTable("t.dbf", "t.memo", true, &fs);
        t->SetActive(true);
        t->WriteMemo(2, text);
        t->Next();
        t->SetActive(false);
        return t->ErrorCode;
      },
      [&](MemoryFileSystem& fs, Outcome o) {
        Bytes after = fs.GetFile("t.memo");
        EXPECT_GE(after.size(), memo.size());
        EXPECT_EQ(Bytes(after.begin() + 4, after.begin() + 8), Bytes(memo.begin() + 4, memo.begin() + 8));
        auto t = NewDbfTable("t.dbf", "t.memo", true, &fs);
        t->SetActive(true);
        ASSERT_TRUE(t->Active);
        std::string now;
        t->ReadMemo(2, now);
        bool old_kept = TrimBlanks(t->FieldByNumber(2)) == TrimBlanks(old_ref) && now == old_text;
        if (o.error == 0) {
      EXPECT_EQ(now, text);
    }
        EXPECT_TRUE(now == text || old_kept) << "field " << t->FieldByNumber(2);
        t->SetActive(false);
      });
}

TEST(FaultTest, DbtMemoWrite) {
  CheckMemoWrite(0x83, test::MakeDbt({"old text"}), Ref(1), "old text");
}

TEST(FaultTest, FptMemoWriteToNewBlocks) {
  std::vector<uint32_t> blocks;
  Bytes memo = test::MakeFpt(64, {"old text"}, &blocks);
  CheckMemoWrite(0xF5, memo, Ref(blocks[0]), "old text");
}

TEST(FaultTest, PackNeverLosesOrDuplicatesALiveRecord) {
  TableSpec s;
  s.Fields = {{"A", 'C', 3}};
  std::vector<std::string> live;
  for (int i = 0; i < 12; ++i) {
    std::string v = "v" + std::to_string(10 + i);
    bool deleted = i % 3 == 1;
    s.Records.push_back((deleted ? "*" : " ") + v);
    if (!deleted) live.push_back(v);
  }
  const Bytes original = MakeTable(s);
  ForEachFault([&](MemoryFileSystem& fs) { fs.SetFile("t.dbf", original); },
               [](MemoryFileSystem& fs) {
                 auto t = NewDbfTable("t.dbf", "", true, &fs);
                 t->SetActive(true);
                 t->Pack();
                 t->SetActive(false);
                 return t->ErrorCode;
               },
               [&](MemoryFileSystem& fs, Outcome o) {
                 NewDbfTable("t.dbf", "", true, &fs)->SetActive(true);  // recovers
                 Bytes file = fs.GetFile("t.dbf");
                 uint32_t count = GetLittle32(file, 4);
                 ASSERT_LE(65 + count * 4, file.size());
                 std::vector<std::string> seen;
                 for (uint32_t r = 0; r < count; ++r) {
                   std::string rec = Slice(file, 65 + r * 4, 4);
                   if (rec[0] == ' ') seen.push_back(rec.substr(1));
                 }
                 if (o.error == 0) {
      EXPECT_EQ(count, live.size());
    }
                 // Each live record is there exactly once.
                 std::sort(seen.begin(), seen.end());
                 std::vector<std::string> expected = live;
                 std::sort(expected.begin(), expected.end());
                 EXPECT_EQ(seen, expected);
               });
}

TEST(FaultTest, PackWithOneFailedReadOrWriteStaysExact) {
  TableSpec s;
  s.Fields = {{"A", 'C', 3}};
  for (int i = 0; i < 8; ++i) s.Records.push_back((i % 2 ? "*" : " ") + std::to_string(100 + i));
  const Bytes original = MakeTable(s);
  for (long n = 1; n < 60; ++n) {
    MemoryFileSystem fs;
    fs.SetFile("t.dbf", original);
    auto t = NewDbfTable("t.dbf", "", true, &fs);
    t->SetActive(true);
    fs.ArmFault(FaultRead | FaultWrite, n, DbfFaultMode::FailOnce);
    t->Pack();
    fs.DisarmFault();
    t->SetActive(false);
    t->SetActive(true);  // recovers
    t->SetActive(false);
    Bytes file = fs.GetFile("t.dbf");
    std::map<std::string, int> copies;
    for (uint32_t r = 0; r < GetLittle32(file, 4); ++r) {
      std::string rec = Slice(file, 65 + r * 4, 4);
      if (rec[0] == ' ') ++copies[rec.substr(1)];
    }
    SCOPED_TRACE(n);
    EXPECT_EQ(copies.size(), 4u);
    for (const auto& c : copies) EXPECT_EQ(c.second, 1) << c.first;
  }
}

TEST(FaultTest, CreateReportsEveryFailure) {
  ForEachFault([](MemoryFileSystem&) {},
               [](MemoryFileSystem& fs) {
                 auto t = NewDbfTable("", "", true, &fs);
                 return static_cast<uint8_t>(t->CreateTable("n.dbf", {"A=C5", "M=M"}) ? 0 : 1);
               },
               [](MemoryFileSystem& fs, Outcome o) {
                 if (o.error == 0) {
                   EXPECT_EQ(fs.GetFile("n.dbf").size(), 32u * 2 + 34);
                   EXPECT_EQ(fs.GetFile("n.dbt"), (Bytes{1, 0, 0, 0}));
                 }
               });
}

}  // namespace
}  // namespace tabulon
