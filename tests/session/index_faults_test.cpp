// Index files under faults: a power loss at any step of a write (the
// writes no flush made durable kept or lost in any part) leaves the table
// and its index files old together or new together, once the next load
// has put back or rebuilt what the journal names.
#include <gtest/gtest.h>

#include <random>

#include "file_memory.h"
#include "index_check.h"
#include "support/index_bytes.h"
#include "table_session.h"

namespace tabulon {
namespace {

using test::Bytes;

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

// Every problem of every tag of the table's index files, one a line.
std::string Problems(MemoryFileSystem& fs) {
  DbfTable t("d/t.dbf", "", false, fs);
  t.SetActive(true);
  std::string text;
  for (const char* file : {"d/t.cdx", "d/t.ntx"}) {
    IndexKind kind;
    IndexKindOfName(file, &kind);
    std::string error;
    std::unique_ptr<IndexFile> index = OpenIndexFile(file, kind, fs, {{"NAME", 'C'}, {"QTY", 'N'}}, &error);
    if (!index) {
      text += std::string(file) + ": " + error + "\n";
      continue;
    }
    for (size_t tag = 0; tag < index->GetTags().size(); ++tag)
      for (const IndexTagProblem& p : CheckIndexTag(*index, tag, t))
        text += std::string(file) + " " + index->GetTags()[tag].Name + " " + std::to_string(p.Record) + ": " + p.Text + "\n";
  }
  return text;
}

TEST(IndexFaults, APowerLossAtAnyStepLeavesTableAndIndexesOldOrNewTogether) {
  struct Case {
    const char* Name;
    Outcome (*Write)(TableSession&);
  };
  const Case cases[] = {
      {"a key edited", [](TableSession& s) { return s.EditCell(3, 1, "Aaron"); }},
      {"a record appended", [](TableSession& s) { return s.AppendRecord(); }},
      {"a mark under a FOR condition", [](TableSession& s) { return s.ToggleDeleted(2); }},
      {"a record removed", [](TableSession& s) { return s.RemoveRecord(1); }},
      {"a pack", [](TableSession& s) { return s.Pack(); }},
  };
  test::TableLayout layout;
  layout.Fields = {{"NAME", 'C', 8}, {"QTY", 'N', 4}};
  for (int i = 0; i < 40; ++i) {
    std::string name = "N" + std::to_string((i * 13) % 40);
    layout.Records.push_back(std::string(i % 5 == 4 ? "*" : " ") + name + std::string(8 - name.size(), ' ') +
                             std::string(4 - std::to_string(i).size(), ' ') + std::to_string(i));
  }
  Bytes table = test::MakeTable(layout);
  table[28] = 0x01;
  const Bytes cdx = test::MakeCdx({{"NAME", "NAME", "", "", 8, false, false, {}},
                                   {"LIVE", "UPPER(NAME)", ".NOT. DELETED()", "", 8, false, false, {}}});
  const Bytes ntx = test::MakeNtx("QTY", 4, {});
  std::mt19937 random(11);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem fs;
    fs.SetFile("d/t.dbf", table);
    fs.SetFile("d/t.cdx", cdx);
    fs.SetFile("d/t.ntx", ntx);
    {
      TableSession session(&fs);
      ASSERT_TRUE(session.Load("d/t.dbf").IsDone());
      const Outcome built = session.Reindex();
      ASSERT_TRUE(built.IsDone()) << built.EngineText << " " << int(built.Reason) << " " << built.Detail;
    }
    const MemoryFileSystem::FileSet before = {
        {"d/t.dbf", fs.GetFile("d/t.dbf")}, {"d/t.cdx", fs.GetFile("d/t.cdx")}, {"d/t.ntx", fs.GetFile("d/t.ntx")}};
    const std::vector<std::string> old_records = Records(fs);
    TableSession session(&fs);
    ASSERT_TRUE(session.Load("d/t.dbf").IsDone());
    fs.StartRecording();
    ASSERT_TRUE(c.Write(session).IsDone());
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
    fs.SetFiles(before);
  }
}

}  // namespace
}  // namespace tabulon
