// Index files under faults: a power loss at any step of a write (the
// writes no flush made durable kept or lost in any part) leaves the table
// and its index files old together or new together, once the next load
// has put back or rebuilt what the journal names; so does any one file
// operation of the write failing.
#include <gtest/gtest.h>

#include <random>

#include "csv_import.h"
#include "file_memory.h"
#include "support/index_bytes.h"
#include "support/index_problems.h"
#include "support/table_bytes.h"
#include "table_session.h"
#include "write_journal.h"

namespace tabulon {
namespace {

using test::Bytes;

std::string Problems(MemoryFileSystem& fs) {
  return test::IndexProblems(fs, "d/t.dbf", {"d/t.cdx", "d/t.ntx", "d/t.mdx"}, {{"NAME", 'C'}, {"QTY", 'N'}});
}

std::vector<std::string> Records(MemoryFileSystem& fs) {
  DbfTable t("d/t.dbf", "", false, fs);
  t.SetActive(true);
  std::vector<std::string> records;
  for (uint32_t r = 1; t.IsActive() && r <= t.RecordCount(); ++r) {
    t.GoTo(int32_t(r));
    records.emplace_back(reinterpret_cast<const char*>(t.GetRecordBuffer()), t.RecordSize());
  }
  return records;
}

TEST(IndexFaults, APowerLossOrAFailureAtAnyStepLeavesTableAndIndexesOldOrNewTogether) {
  struct Case {
    const char* Name;
    bool Dbase7;  // a dBase 7 table with an autoincrement field and an MDX
    Outcome (*Write)(TableSession&);
  };
  const auto import = [](TableSession& s) {
    uint64_t rows = 0;
    return AppendCsv(s, "d/in.csv", ImportOptions{}, &rows);
  };
  const Case cases[] = {
      {"a key edited", false, [](TableSession& s) { return s.EditCell(3, 1, "Aaron"); }},
      {"a record appended", false, [](TableSession& s) { return s.AppendRecord(); }},
      {"a mark under a FOR condition", false, [](TableSession& s) { return s.ToggleDeleted(2); }},
      {"a record removed", false, [](TableSession& s) { return s.RemoveRecord(1); }},
      {"a pack", false, [](TableSession& s) { return s.Pack(); }},
      {"lines imported", false, import},
      {"lines imported, each numbered", true, import},
  };
  test::TableLayout layout;
  test::Dbase7Layout layout7;
  layout.Fields = {{"NAME", 'C', 8}, {"QTY", 'N', 4}};
  layout7.Fields = {{"NAME", 'C', 8}, {"QTY", 'N', 4}, {"ID", '+', 4}};
  layout7.NextAutoincrement = {0, 0, 41};
  for (int i = 0; i < 40; ++i) {
    std::string name = "N" + std::to_string((i * 13) % 40);
    layout.Records.push_back(std::string(i % 5 == 4 ? "*" : " ") + name + std::string(8 - name.size(), ' ') +
                             std::string(4 - std::to_string(i).size(), ' ') + std::to_string(i));
    layout7.Records.push_back(layout.Records.back() + std::string(1, char(i + 1)) + std::string(3, '\0'));
  }
  Bytes table = test::MakeTable(layout), table7 = test::MakeDbase7Table(layout7);
  table[28] = table7[28] = 0x01;
  const Bytes cdx = test::MakeCdx({{"NAME", "NAME", "", "", 8, false, false, {}},
                                   {"LIVE", "UPPER(NAME)", ".NOT. DELETED()", "", 8, false, false, {}},
                                   {"ONCE", "NAME", ".NOT. DELETED()", "", 8, true, false, {}},
                                   {"BACK", "QTY", "", "", 8, false, true, {}}});
  const Bytes ntx = test::MakeNtx("QTY", 4, {});
  const Bytes mdx = test::MakeMdx({{"NAME", "NAME", "", 8, false, false, {}}, {"BACK", "NAME", "", 8, false, true, {}}});
  std::mt19937 random(11);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem fs;
    fs.SetFile("d/t.dbf", c.Dbase7 ? table7 : table);
    if (c.Dbase7) {
      fs.SetFile("d/t.mdx", mdx);
    } else {
      fs.SetFile("d/t.cdx", cdx);
      fs.SetFile("d/t.ntx", ntx);
    }
    const std::string csv = "NAME,QTY\nAbe,7\nN3,8\nZoe,9\n";
    fs.SetFile("d/in.csv", Bytes(csv.begin(), csv.end()));
    {
      TableSession session(&fs);
      ASSERT_TRUE(session.Load("d/t.dbf").IsDone());
      const Outcome built = session.Reindex();
      ASSERT_TRUE(built.IsDone()) << built.EngineText << " " << int(built.Reason) << " " << built.Detail;
      ASSERT_FALSE(session.HasIndexesThatGoStale());
    }
    MemoryFileSystem::FileSet start;
    for (const std::string& file : fs.ListFiles()) start[file] = fs.GetFile(file);
    const std::vector<std::string> old_records = Records(fs);
    TableSession session(&fs);
    ASSERT_TRUE(session.Load("d/t.dbf").IsDone());
    fs.StartRecording();
    const Outcome wrote = c.Write(session);
    ASSERT_TRUE(wrote.IsDone()) << wrote.EngineText << " " << int(wrote.Reason);
    fs.StopRecording();
    const std::vector<std::string> new_records = Records(fs);
    ASSERT_NE(new_records, old_records);
    ASSERT_EQ(Problems(fs), "");
    const size_t steps = fs.GetStepCount();
    for (size_t k = 0; k <= steps; ++k) {
      const std::vector<size_t> unflushed = fs.GetUnflushedSteps(k);
      std::vector<size_t> some;
      for (size_t s : unflushed)
        if (random() % 2) some.push_back(s);
      for (const std::vector<size_t>& kept : {std::vector<size_t>{}, unflushed, some}) {
        SCOPED_TRACE("power lost at step " + std::to_string(k) + " of " + std::to_string(steps) + ", " +
                     std::to_string(kept.size()) + " unflushed writes kept");
        MemoryFileSystem after;
        after.SetFiles(fs.GetPowerLossFiles(k, kept));
        TableSession reopened(&after);
        ASSERT_TRUE(reopened.Load("d/t.dbf").IsDone());
        const std::vector<std::string> now = Records(after);
        ASSERT_TRUE(now == old_records || now == new_records);
        ASSERT_EQ(Problems(after), "");
      }
    }
    // Each operation of the write failing in turn, alone or with every
    // later one: the next load finds the table and its index files
    // agreeing, while the failed session still exists.
    for (DbfFaultMode mode : {DbfFaultMode::FailOnce, DbfFaultMode::FailPersistent}) {
      for (long n = 1;; ++n) {
        SCOPED_TRACE("operation " + std::to_string(n) + (mode == DbfFaultMode::FailOnce ? " failed" : " on failed"));
        MemoryFileSystem failing;
        failing.SetFiles(start);
        TableSession first(&failing);
        ASSERT_TRUE(first.Load("d/t.dbf").IsDone());
        failing.ArmFault(FaultAll, n, mode);
        c.Write(first);
        const bool fired = failing.FaultFired();
        failing.DisarmFault();
        TableSession reopened(&failing);
        const Outcome loaded = reopened.Load("d/t.dbf");
        ASSERT_TRUE(loaded.IsDone()) << loaded.EngineText;
        ASSERT_EQ(Problems(failing), "");
        if (!fired) break;
      }
    }
  }
}

// A journal left beside the table puts back only a table that can be a
// state of its write; another one (renamed field, fewer records) opens as
// it is, and the journal is set aside.
TEST(IndexFaults, AJournalPutsBackOnlyTheTableItWasWrittenFor) {
  test::TableLayout layout;
  layout.Fields = {{"NAME", 'C', 8}};
  layout.Records = {" Ann     ", " Bob     ", " Cy      "};
  const Bytes table = test::MakeTable(layout);
  layout.Fields[0].Name = "NICK";
  const Bytes renamed = test::MakeTable(layout);
  layout.Fields[0].Name = "NAME";
  layout.Records.pop_back();
  const Bytes shorter = test::MakeTable(layout);
  const struct {
    const char* Name;
    const Bytes& Now;
    bool PutBack;
  } cases[] = {{"the same table", table, true}, {"a field renamed", renamed, false}, {"a record fewer", shorter, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem fs;
    fs.SetFile("d/t.dbf", table);
    {
      auto data = DbfStream::Open(fs.Open("d/t.dbf", DbfOpenMode::ReadOnly));
      WriteJournal journal(fs, "d/t.dbf");
      const uint8_t old[] = " Old     ";
      ASSERT_TRUE(journal.Begin(WriteJournalKind::PutBack, *data, uint16_t(table.size() - 1 - 27)) &&
                  journal.SaveBytes(0, table.size() - 1 - 27, old, 9) && journal.Flush());
    }
    fs.SetFile("d/t.dbf", c.Now);
    TableSession session(&fs);
    ASSERT_TRUE(session.Load("d/t.dbf").IsDone());
    EXPECT_EQ(Records(fs)[0], c.PutBack ? " Old     " : " Ann     ");
    EXPECT_EQ(fs.HasFile("d/t.dbf~write-rejected"), !c.PutBack);
    EXPECT_FALSE(fs.HasFile("d/t.dbf~write"));
  }
}

}  // namespace
}  // namespace tabulon
