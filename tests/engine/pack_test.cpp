// Packing and removing records in place: what the files hold afterwards for
// each flavour, the old table or the packed one whatever fails midway, and
// what the next open does with the journal a pass leaves, crafted ones too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "dbf_table.h"
#include "file_memory.h"
#include "memo_blocks.h"
#include "pack_journal.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::FieldLayout;
using test::GetLittle32;
using test::MakeTable;
using test::Ref;
using test::Slice;
using test::TableLayout;

std::string Le32(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

struct Flavour {
  const char* Name;
  uint8_t Version;
  const char* Memo;  // memo file name; "" for none
  MemoLayout Layout;
};

const Flavour kFlavours[] = {
    {"plain", 0x03, "", MemoLayout::Dbt3},
    {"dBase III memo", 0x83, "t.dbt", MemoLayout::Dbt3},
    {"dBase IV memo", 0x8B, "t.dbt", MemoLayout::Dbt4},
    {"FoxPro", 0xF5, "t.fpt", MemoLayout::Fpt},
    {"Visual FoxPro", 0x30, "t.fpt", MemoLayout::Fpt},
};

// Six records; 2 and 4 marked deleted. Records 1 and 3 share a memo, 5 has
// none, 6 a long one; FoxPro's record 1 also has a picture (block type 0,
// binary bytes). Everything of a dropped record says "DROPPED".
struct Fixture {
  Bytes Table, Memo;
  std::vector<FieldLayout> Fields;
  std::vector<std::string> Records;
};

Fixture MakeFixture(const Flavour& flavour) {
  const bool vfp = flavour.Version == 0x30;
  const std::vector<std::string> texts = {"alpha text", "DROPPED two", "DROPPED four",
                                          std::string(700, 'x'), std::string("\0\x1A\xFFpic", 6),
                                          "DROPPED pic"};
  std::vector<uint32_t> blocks;
  Fixture f;
  if (flavour.Layout == MemoLayout::Dbt3) {
    f.Memo = test::MakeDbt(texts);
    blocks = test::DbtBlocks(texts);
  } else if (flavour.Layout == MemoLayout::Dbt4) {
    f.Memo = test::MakeDbt4(512, texts, &blocks);
  } else {
    f.Memo = test::MakeFpt(64, texts, &blocks);
    test::PutBig(f.Memo, blocks[4] * 64, 0);
    test::PutBig(f.Memo, blocks[5] * 64, 0);
  }
  auto ref = [&](int memo) {
    if (vfp) return memo < 0 ? std::string(4, '\0') : Le32(blocks[memo]);
    return memo < 0 ? std::string(10, ' ') : Ref(blocks[memo]);
  };
  const int notes[6] = {0, 1, 0, 2, -1, 3};
  const int pictures[6] = {4, 5, -1, -1, -1, -1};
  f.Fields = {{"ID", 'C', 8}};
  if (vfp) f.Fields.push_back({"CNT", 'I', 4});
  if (*flavour.Memo) f.Fields.push_back({"NOTE", 'M', static_cast<uint8_t>(vfp ? 4 : 10)});
  if (flavour.Version == 0xF5) f.Fields.push_back({"PIC", 'G', 10});
  if (!*flavour.Memo) f.Fields.push_back({"N", 'N', 3});
  TableLayout s;
  s.Version = flavour.Version;
  s.Fields = f.Fields;
  for (int i = 0; i < 6; ++i) {
    const bool dropped = i == 1 || i == 3;
    std::string r = std::string(dropped ? "*DROPPED" : " id     ") + std::to_string(i + 1);
    if (vfp) r += std::string("\x1A\0*", 3) + static_cast<char>(i);
    if (*flavour.Memo) r += ref(notes[i]);
    if (flavour.Version == 0xF5) r += ref(pictures[i]);
    if (!*flavour.Memo) r += "  " + std::to_string(i);
    s.Records.push_back(r);
  }
  f.Records = s.Records;
  f.Table = MakeTable(s);
  return f;
}

bool Contains(const Bytes& bytes, const std::string& what) {
  return std::search(bytes.begin(), bytes.end(), what.begin(), what.end()) != bytes.end();
}

// Every record of a table as its bytes, each memo reference replaced by the
// memo's type and bytes.
std::vector<std::string> Contents(MemoryFileSystem& fs, const char* memo_name) {
  auto t = NewDbfTable("t.dbf", memo_name, true, &fs);
  t->SetActive(true);
  EXPECT_TRUE(t->IsActive()) << t->GetErrorText();
  std::unique_ptr<DbfStream> memo;
  MemoFileHeader header;
  if (*memo_name) {
    memo = DbfStream::Open(fs.Open(memo_name, DbfOpenMode::ReadOnly));
    EXPECT_TRUE(ReadMemoHeader(*memo, MemoLayoutOfVersion(t->GetVersion()), &header));
  }
  std::vector<std::string> out;
  for (uint32_t r = 1; t->IsActive() && r <= t->RecordCount(); ++r) {
    t->GoTo(static_cast<int32_t>(r));
    std::string record(1, static_cast<char>(t->GetRecordBuffer()[0]));
    for (int32_t f = 1; f <= t->GetFieldCount(); ++f) {
      const DbfField& field = t->GetField(f);
      const uint64_t block = GetMemoReference(t->GetVersion(), field, t->GetRecordBuffer());
      if (memo && IsMemoReferenceField(t->GetVersion(), field.Type)) {
        MemoBlock m;
        EXPECT_TRUE(block == 0 || ReadMemoBlock(*memo, header, block, &m)) << block;
        record += "[" + std::to_string(block ? m.Type : 9) + ":" + m.Data + "]";
      } else {
        record.append(reinterpret_cast<const char*>(t->GetRecordBuffer()) + field.FieldPosition,
                      field.Length);
      }
    }
    out.push_back(record);
  }
  t->SetActive(false);
  return out;
}

std::vector<std::string> Live(const std::vector<std::string>& records) {
  std::vector<std::string> live;
  for (const auto& r : records)
    if (r[0] != '*') live.push_back(r);
  return live;
}

void CheckEndsAfterRecords(const Bytes& file) {
  const uint64_t end =
      (file[8] | (file[9] << 8)) + uint64_t{GetLittle32(file, 4)} * (file[10] | (file[11] << 8));
  ASSERT_EQ(file.size(), end + 1);
  EXPECT_EQ(file.back(), 0x1A);
}

void Load(MemoryFileSystem& fs, const Flavour& flavour, const Fixture& f) {
  fs.SetFile("t.dbf", f.Table);
  if (*flavour.Memo) fs.SetFile(flavour.Memo, f.Memo);
}

TEST(PackTest, EachFlavourKeepsExactlyTheLiveRecordsAndTheirMemos) {
  for (const Flavour& flavour : kFlavours) {
    SCOPED_TRACE(flavour.Name);
    const Fixture f = MakeFixture(flavour);
    MemoryFileSystem fs;
    Load(fs, flavour, f);
    const std::vector<std::string> before = Contents(fs, flavour.Memo);
    auto t = NewDbfTable("t.dbf", flavour.Memo, true, &fs);
    t->SetActive(true);
    EXPECT_EQ(t->Pack(), 6);
    EXPECT_EQ(t->GetErrorCode(), 0) << t->GetErrorText();
    EXPECT_EQ(t->GetRecNo(), 0);
    t->SetActive(false);

    EXPECT_EQ(Contents(fs, flavour.Memo), Live(before));
    const Bytes table = fs.GetFile("t.dbf");
    CheckEndsAfterRecords(table);
    EXPECT_EQ(GetLittle32(table, 4), 4u);
    EXPECT_FALSE(Contains(table, "DROPPED"));
    EXPECT_EQ(Slice(table, 8, 24), Slice(f.Table, 8, 24));  // sizes and the rest of the header
    std::vector<std::string> files = {"t.dbf"};
    if (*flavour.Memo) {
      const Bytes memo = fs.GetFile(flavour.Memo);
      EXPECT_FALSE(Contains(memo, "DROPPED"));
      // The header block as it was but the next-free number, then one copy of
      // each kept memo: the shared one once.
      const size_t header = 512;  // every layout here
      EXPECT_EQ(Slice(memo, 4, header - 4), Slice(f.Memo, 4, header - 4));
      const bool fpt = flavour.Layout == MemoLayout::Fpt;
      const size_t block = fpt ? 64 : 512;
      const size_t overhead = flavour.Layout == MemoLayout::Dbt3 ? 2 : 8;
      size_t expected = header;
      const bool picture = flavour.Version == 0xF5;
      for (size_t length : {size_t{10}, size_t{700}, size_t{picture ? 6u : 0u}})
        if (length) expected += (length + overhead + block - 1) / block * block;
      EXPECT_EQ(memo.size(), expected);
      const uint32_t next_free = fpt ? test::GetBig32(memo, 0) : GetLittle32(memo, 0);
      EXPECT_EQ(next_free, memo.size() / block);
      files.push_back(flavour.Memo);
    }
    EXPECT_EQ(fs.ListFiles(), files);
  }
}

// A power loss at any step of a pack or a removal, with any of the writes
// not yet flushed reaching the disk or not: the next open finds the old
// table or the new one, no journal stays, and a pass that returned stays done.
TEST(PackTest, APowerLossLeavesTheOldTableOrTheNewOne) {
  std::mt19937 random(5);
  size_t tried = 0, old_seen = 0;
  for (const Flavour& flavour : kFlavours) {
    for (bool removal : {false, true}) {
      SCOPED_TRACE(std::string(flavour.Name) + (removal ? ", removal" : ", pack"));
      MemoryFileSystem fs;
      Load(fs, flavour, MakeFixture(flavour));
      const std::vector<std::string> before = Contents(fs, flavour.Memo);
      fs.StartRecording();
      auto t = NewDbfTable("t.dbf", flavour.Memo, true, &fs);
      t->SetActive(true);
      removal ? t->RemoveRecord(1) : void(t->Pack());
      t->SetActive(false);
      fs.StopRecording();
      const std::vector<std::string> after = Contents(fs, flavour.Memo);
      for (size_t k = 0; k <= fs.GetStepCount(); ++k) {
        const std::vector<size_t> unflushed = fs.GetUnflushedSteps(k);
        std::vector<std::vector<size_t>> kept = {{}, unflushed};
        for (size_t step : unflushed) kept.push_back({step});
        for (int n = 0; n < 8; ++n) {
          kept.emplace_back();
          for (size_t step : unflushed)
            if (random() % 2) kept.back().push_back(step);
        }
        for (const auto& subset : kept) {
          MemoryFileSystem lost;
          lost.SetFiles(fs.GetPowerLossFiles(k, subset));
          const std::vector<std::string> now = Contents(lost, flavour.Memo);
          ++tried;
          old_seen += now == before;
          ASSERT_TRUE(now == after || (now == before && k < fs.GetStepCount())) << "step " << k;
          ASSERT_FALSE(lost.HasFile(PackJournalName("t.dbf"))) << "step " << k;
        }
      }
    }
  }
  std::printf("power loss: %zu states tried, %zu old, %zu new\n", tried, old_seen, tried - old_seen);
}

// A memo reference that cannot be read refuses the pack with the record,
// the field and the reason, changing nothing; with the option the pack
// clears it and names it.
TEST(PackTest, AnUnreadableMemoReferenceRefusesThePackOrIsClearedOnRequest) {
  const struct {
    const Flavour& Of;
    uint32_t Block;  // 0: a new block at the end claiming 2^31 bytes
    DbfMemoFault Fault;
  } cases[] = {{kFlavours[1], 4000, DbfMemoFault::PastEnd},
               {kFlavours[3], 3, DbfMemoFault::InHeader},
               {kFlavours[3], 0, DbfMemoFault::Damaged}};
  for (const auto& c : cases) {
    SCOPED_TRACE(DbfMemoFaultText(c.Fault));
    const Fixture f = MakeFixture(c.Of);
    Bytes memo = f.Memo, table = f.Table;
    const uint32_t block = c.Block ? c.Block : static_cast<uint32_t>(memo.size() / 64);
    if (c.Block == 0) memo.resize(memo.size() + 64, 0);
    if (c.Block == 0) test::PutBig(memo, block * 64 + 4, 0x80000000u);
    const std::string ref = Ref(block);  // record 5 had no memo
    std::copy(ref.begin(), ref.end(), table.begin() + table[8] + table[10] * 4 + 9);
    for (bool clear : {false, true}) {
      MemoryFileSystem fs, unbroken;
      fs.SetFile("t.dbf", table);
      fs.SetFile(c.Of.Memo, memo);
      Load(unbroken, c.Of, f);
      auto t = NewDbfTable("t.dbf", c.Of.Memo, true, &fs);
      t->SetActive(true);
      std::vector<DbfBrokenMemo> cleared;
      t->Pack(DbfPackOptions{clear}, &cleared);
      t->SetActive(false);
      EXPECT_EQ(fs.ListFiles(), (std::vector<std::string>{"t.dbf", c.Of.Memo}));
      if (clear) {
        EXPECT_EQ(t->GetErrorCode(), 0) << t->GetErrorText();
        ASSERT_EQ(cleared.size(), 1u);
        EXPECT_EQ(std::to_string(cleared[0].Record) + cleared[0].Field, "5NOTE");
        EXPECT_EQ(cleared[0].Block, block);
        EXPECT_EQ(cleared[0].Fault, c.Fault);
        EXPECT_EQ(Contents(fs, c.Of.Memo), Live(Contents(unbroken, c.Of.Memo)));
      } else {
        EXPECT_EQ(t->GetErrorText(), "A memo reference cannot be read. Rec # 5, field NOTE: block " +
                                    std::to_string(block) + " " + DbfMemoFaultText(c.Fault));
        EXPECT_TRUE(cleared.empty());
        EXPECT_EQ(fs.GetFile("t.dbf"), table);
        EXPECT_EQ(fs.GetFile(c.Of.Memo), memo);
      }
    }
  }
}

TEST(PackTest, RemoveRecordTakesOutThatRecordOnly) {
  const Flavour& flavour = kFlavours[1];
  const Fixture f = MakeFixture(flavour);
  for (int n : {1, 2, 5, 6}) {
    SCOPED_TRACE(n);
    MemoryFileSystem fs;
    Load(fs, flavour, f);
    std::vector<std::string> expected = Contents(fs, flavour.Memo);
    expected.erase(expected.begin() + (n - 1));
    auto t = NewDbfTable("t.dbf", flavour.Memo, true, &fs);
    t->SetActive(true);
    t->RemoveRecord(n);
    EXPECT_EQ(t->GetErrorCode(), 0) << t->GetErrorText();
    t->SetActive(false);
    EXPECT_EQ(Contents(fs, flavour.Memo), expected);  // the marks of the others kept
    CheckEndsAfterRecords(fs.GetFile("t.dbf"));
    EXPECT_EQ(fs.GetFile("t.dbt"), f.Memo);
    EXPECT_EQ(fs.ListFiles(), (std::vector<std::string>{"t.dbf", "t.dbt"}));
  }
  MemoryFileSystem fs;
  Load(fs, flavour, f);
  auto t = NewDbfTable("t.dbf", flavour.Memo, true, &fs);
  t->SetActive(true);
  t->RemoveRecord(7);
  EXPECT_EQ(t->GetErrorCode(), DbfWriteRecordRangeError);
  t->SetActive(false);
  EXPECT_EQ(fs.GetFile("t.dbf"), f.Table);
}

// Journals found at open: a whole one written for this table puts the
// saved bytes back, into the memo file it names beside the table; one cut
// off while being written is removed; one whose memo file is not there
// keeps the table shut; any other is set aside untouched, after the ones
// set aside before.
TEST(PackTest, JournalsFoundAtOpen) {
  const Flavour& flavour = kFlavours[1];
  const Fixture f = MakeFixture(flavour);
  // Midway through a pass: records overwritten, the memo file cut.
  Bytes torn_table = f.Table;
  std::fill(torn_table.begin() + 120, torn_table.end() - 1, 'Z');
  const Bytes torn_memo(f.Memo.begin(), f.Memo.begin() + 1024);

  auto journal_of = [&](const std::string& memo_name, const Bytes& table, uint64_t region,
                        uint8_t kind = kPutBack) {
    MemoryFileSystem fs;
    fs.SetFile("t.dbf", table);
    fs.SetFile("t.dbt", f.Memo);
    auto data = DbfStream::Open(fs.Open("t.dbf", DbfOpenMode::ReadOnly));
    auto memo = DbfStream::Open(fs.Open("t.dbt", DbfOpenMode::ReadOnly));
    PackJournal j;
    j.DataSize = data->GetSize();
    std::copy(table.begin(), table.begin() + 32, j.Header);
    j.RegionOffset = region;
    j.Kind = kind;
    j.MemoName = memo_name;
    j.MemoSize = memo->GetSize();
    EXPECT_TRUE(UntouchedSum(*data, j.Header, region, &j.Untouched));
    auto out = fs.Open("j", DbfOpenMode::CreateNew);
    EXPECT_TRUE(WritePackJournal(*out, &j, *data, memo_name.empty() ? nullptr : memo.get()));
    out->Close();
    return fs.GetFile("j");
  };
  const uint64_t records_at = 32 * 3 + 1;
  const Bytes whole = journal_of("t.dbt", f.Table, records_at);
  Bytes flipped = whole;
  flipped[200] ^= 1;
  Bytes big_region = whole;
  big_region[56] += 1;
  Bytes first_layout = whole;
  first_layout[7] = '1';
  Bytes restored_backup = f.Table;  // an older state: fewer records, another date
  restored_backup[2] = 1;
  restored_backup[4] -= 1;
  restored_backup.resize(restored_backup.size() - restored_backup[10]);
  restored_backup.back() = 0x1A;
  Bytes grown = torn_table;
  grown.resize(grown.size() + 2, 'Z');
  const Bytes other_table = MakeFixture(kFlavours[3]).Table;
  const size_t record_size = f.Table[10];
  Bytes without_second = f.Table;  // a removal of record 2, finished
  without_second.erase(without_second.begin() + records_at + record_size,
                       without_second.begin() + records_at + 2 * record_size);
  without_second[4] -= 1;
  const std::string old_style = "/elsewhere/else.txt\nd/new.dbf\nd/new.dbt\nd/old.dbf\nd/old.dbt\n";
  enum Outcome { Restored, Removed, SetAside, Refused, Finished };
  const struct {
    const char* Name;
    Bytes Journal;
    Outcome Expected;
    const char* OpenedMemo = "t.dbt";
    const char* RestoredMemo = "t.dbt";
    Bytes Table = {};  // the torn table when empty
  } cases[] = {
      {"whole", whole, Restored},
      {"whole, data only", journal_of("", f.Table, records_at), Restored, "t.dbt", ""},
      {"whole, opened without a memo file", whole, Restored, ""},
      {"whole, opened with another memo file", whole, Restored, "x.dbt"},
      {"naming another memo file beside the table", journal_of("x.dbt", f.Table, records_at),
       Restored, "t.dbt", "x.dbt"},
      {"naming a memo file that is not there", journal_of("y.dbt", f.Table, records_at), Refused},
      {"a removal", journal_of("", f.Table, records_at + record_size, kRemoval), Finished,
       "t.dbt", "", f.Table},
      {"a removal of a record the table never had",
       journal_of("", f.Table, records_at + 6 * record_size, kRemoval), SetAside},
      {"cut before its marker", Bytes(whole.begin(), whole.end() - 8), Removed},
      {"cut in its magic", Bytes(whole.begin(), whole.begin() + 5), Removed},
      {"empty", Bytes(), Removed},
      {"a byte changed", flipped, SetAside},
      {"sizes that do not add up", big_region, SetAside},
      {"a region inside the header", journal_of("t.dbt", f.Table, 64), SetAside},
      {"the first layout", first_layout, SetAside},
      {"a memo file elsewhere", journal_of("../t.dbt", f.Table, records_at), SetAside},
      {"old text form", Bytes(old_style.begin(), old_style.end()), SetAside},
      {"another table's", journal_of("t.dbt", other_table, records_at), SetAside},
      {"the table restored from a backup since", whole, SetAside, "t.dbt", "t.dbt",
       restored_backup},
      {"the table grown past it", whole, SetAside, "t.dbt", "t.dbt", grown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const Bytes table = c.Table.empty() ? torn_table : c.Table;
    MemoryFileSystem fs;
    fs.SetFile("t.dbf", table);
    fs.SetFile("t.dbt", torn_memo);
    fs.SetFile("x.dbt", torn_memo);
    fs.SetFile("t.dbf~pack", c.Journal);
    fs.SetFile("t.dbf~pack-rejected", {1, 2, 3});
    auto t = NewDbfTable("t.dbf", c.OpenedMemo, true, &fs);
    t->SetActive(true);
    EXPECT_EQ(t->IsActive(), c.Expected != Refused);
    EXPECT_EQ(fs.HasFile("t.dbf~pack"), c.Expected == Refused);
    EXPECT_EQ(fs.GetFile("t.dbf~pack-rejected"), (Bytes{1, 2, 3}));
    if (c.Expected == Finished) {
      EXPECT_EQ(t->GetErrorCode(), 0) << t->GetErrorText();
      EXPECT_EQ(fs.GetFile("t.dbf"), without_second);
      continue;
    }
    if (c.Expected == Restored) {
      EXPECT_EQ(t->GetErrorCode(), 0) << t->GetErrorText();
      EXPECT_EQ(fs.GetFile("t.dbf"), f.Table);
      for (const char* memo : {"t.dbt", "x.dbt"})
        EXPECT_EQ(fs.GetFile(memo), std::string(memo) == c.RestoredMemo ? f.Memo : torn_memo) << memo;
      EXPECT_EQ(t->GetMemoFileName(), c.OpenedMemo);
    } else {
      EXPECT_EQ(fs.GetFile("t.dbf"), table);
      EXPECT_EQ(fs.GetFile("t.dbt"), torn_memo);
    }
    if (c.Expected == Refused) {
      EXPECT_EQ(t->GetErrorCode(), DbfJournalMemoMissing);
      EXPECT_EQ(t->GetErrorText(), std::string(DbfErrorMessage(DbfJournalMemoMissing)) + " y.dbt");
      t->SetReadingOnly(true);  // nor for reading
      t->SetActive(true);
      EXPECT_FALSE(t->IsActive());
    }
    if (c.Expected == SetAside) {
      EXPECT_EQ(t->GetErrorCode(), DbfPackJournalSetAside);
      EXPECT_EQ(t->GetErrorText(), std::string(DbfErrorMessage(30)) + " t.dbf~pack-rejected2");
      EXPECT_EQ(fs.GetFile("t.dbf~pack-rejected2"), c.Journal);
    } else {
      EXPECT_FALSE(fs.HasFile("t.dbf~pack-rejected2"));
    }
  }
}

}  // namespace
}  // namespace tabulon
