// Index files kept true through the session's writes, judged by readers
// that share no code with the engine: after random edits, appends, marks,
// removals and packs, Perl's XBase::Index walks each tag in the order an
// independent sort of the table gives, and the engine's check finds no
// key that disagrees with its record.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <random>

#include "dbf_table.h"
#include "support/index_bytes.h"
#include "support/index_problems.h"
#include "support/perl_walk.h"
#include "support/temp_folder.h"
#include "table_session.h"

namespace tabulon {
namespace {

using test::Bytes;

struct Row {
  std::string Name;  // as stored, 10 bytes
  int Qty = 0;
  std::string Born;  // YYYYMMDD or 8 blanks
  bool Deleted = false;
};

// How the test itself sorts the table for a tag: by a key it makes from
// the row, then by record number.
struct TagCase {
  std::string File, Tag;
  char PerlType;
  std::string (*SortKey)(const Row&);
};

std::string ByName(const Row& r) { return r.Name; }
std::string ByUpperName(const Row& r) {
  std::string s = r.Name;
  for (char& c : s) c = char(std::toupper(uint8_t(c)));
  return s;
}
std::string ByQty(const Row& r) {
  char text[16];
  std::snprintf(text, sizeof text, "%012d", r.Qty + 1000000);
  return text;
}
std::string ByBorn(const Row& r) { return r.Born; }

struct KindCase {
  const char* Name;
  std::vector<std::pair<std::string, Bytes>> Files;
  std::vector<TagCase> Tags;
};

std::vector<uint32_t> Sorted(const std::vector<Row>& rows, const TagCase& tag) {
  std::vector<uint32_t> order;
  for (uint32_t r = 1; r <= rows.size(); ++r) order.push_back(r);
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return std::make_pair(tag.SortKey(rows[a - 1]), a) < std::make_pair(tag.SortKey(rows[b - 1]), b);
  });
  return order;
}

TEST(IndexKeeping, EveryFamilyFollowsRandomWritesAsIndependentReadersSee) {
  const std::vector<KindCase> kinds = {
      {"cdx",
       {{"t.cdx", test::MakeCdx({{"NAME", "UPPER(NAME)", "", "", 10, false, false, {}},
                                 {"QTY", "QTY", "", "", 8, false, false, {}},
                                 {"BORN", "DTOS(BORN)", "", "", 8, false, false, {}}})}},
       {{"t.cdx", "NAME", 'C', ByUpperName}, {"t.cdx", "QTY", 'N', ByQty}, {"t.cdx", "BORN", 'C', ByBorn}}},
      {"idx", {{"t.idx", test::MakeOldIdx("NAME", 10, {})}}, {{"t.idx", "", 'C', ByName}}},
      {"ntx", {{"t.ntx", test::MakeNtx("QTY", 6, {})}}, {{"t.ntx", "", 'C', ByQty}}},
      {"ndx", {{"t.ndx", test::MakeNdx("DTOS(BORN)", 8, {})}}, {{"t.ndx", "", 'C', ByBorn}}},
      {"mdx",
       {{"t.mdx", test::MakeMdx({{"NAME", "NAME", "", 10, false, false, {}},
                                 {"BORN", "DTOS(BORN)", "", 8, false, false, {}}})}},
       {{"t.mdx", "NAME", 'C', ByName}, {"t.mdx", "BORN", 'C', ByBorn}}},
  };
  const char* names[] = {"Ann", "bob", "Bob", "Cy", "dee", "Eve", "Al Bo", ""};
  for (const KindCase& kind : kinds) {
    SCOPED_TRACE(kind.Name);
    test::TempFolder folder;
    const std::string table = folder.Path() + "/t.dbf";
    test::TableLayout layout;
    layout.Fields = {{"NAME", 'C', 10}, {"QTY", 'N', 6}, {"BORN", 'D', 8}};
    std::vector<Row> rows;
    for (int i = 0; i < 30; ++i) {
      Row r{std::string(names[i % 7]) + std::string(10 - std::string(names[i % 7]).size(), ' '), (i * 37) % 41 - 20,
            "199" + std::to_string(i % 10) + "0" + std::to_string(1 + i % 9) + "15"};
      rows.push_back(r);
      char qty[8];
      std::snprintf(qty, sizeof qty, "%6d", r.Qty);
      layout.Records.push_back(" " + r.Name + qty + r.Born);
    }
    Bytes bytes = test::MakeTable(layout);
    bytes[28] = 0x01;  // a structural index, where there is one
    std::ofstream(table, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    for (const auto& f : kind.Files)
      std::ofstream(folder.Path() + "/" + f.first, std::ios::binary)
          .write(reinterpret_cast<const char*>(f.second.data()), long(f.second.size()));

    TableSession session;
    ASSERT_TRUE(session.Load(table).IsDone());
    ASSERT_FALSE(session.HasIndexesThatGoStale());
    ASSERT_TRUE(session.Reindex().IsDone());
    std::mt19937 random(7);
    for (int step = 0; step < 160; ++step) {
      const int32_t count = int32_t(rows.size());
      const int32_t r = int32_t(random() % uint32_t(count)) + 1;
      const int op = int(random() % 100);
      Outcome o;
      if (op < 50 || count < 5) {
        const int field = 1 + int(random() % 3);
        Row& row = rows[size_t(r - 1)];
        if (field == 1) {
          const std::string name = names[random() % 8];
          row.Name = name + std::string(10 - name.size(), ' ');
          o = session.EditCell(r, 1, name);
        } else if (field == 2) {
          row.Qty = int(random() % 200) - 100;
          o = session.EditCell(r, 2, std::to_string(row.Qty));
        } else {
          row.Born = random() % 5 ? "19" + std::to_string(50 + random() % 50) + "0" + std::to_string(1 + random() % 9) + "2" + std::to_string(random() % 9) : "        ";
          o = session.EditCell(r, 3, row.Born == "        " ? "" : row.Born);
        }
      } else if (op < 70) {
        int32_t added = 0;
        o = session.AppendRecord(&added);
        rows.push_back(Row{std::string(10, ' '), 0, "        ", false});
        if (o.IsDone()) o = session.EditCell(added, 1, "Zed");
        rows.back().Name = "Zed       ";
      } else if (op < 90) {
        rows[size_t(r - 1)].Deleted = !rows[size_t(r - 1)].Deleted;
        o = session.ToggleDeleted(r);
      } else if (op < 97) {
        rows.erase(rows.begin() + (r - 1));
        o = session.RemoveRecord(r);
      } else {
        rows.erase(std::remove_if(rows.begin(), rows.end(), [](const Row& x) { return x.Deleted; }), rows.end());
        o = session.Pack();
      }
      ASSERT_TRUE(o.IsDone()) << "step " << step << ": " << o.EngineText << " " << int(o.Reason);
    }
    std::vector<std::string> files;
    for (const auto& f : kind.Files) files.push_back(folder.Path() + "/" + f.first);
    EXPECT_EQ(test::IndexProblems(PlatformFileSystem(), table, files, {{"NAME", 'C'}, {"QTY", 'N'}, {"BORN", 'D'}}), "");
    for (const TagCase& tag : kind.Tags) {
      SCOPED_TRACE(tag.File + " " + tag.Tag);
      const std::string path = folder.Path() + "/" + tag.File;
      const std::vector<uint32_t> expected = Sorted(rows, tag);
      EXPECT_EQ(test::PerlWalk(path, tag.PerlType, tag.Tag), expected);
    }
  }
}

}  // namespace
}  // namespace tabulon

namespace tabulon {
namespace {

// The tables other programs indexed: rebuilt from their records, then
// after edits of every key field, an append and a mark, each kept tag
// holds the table's keys, in an order Perl's reader walks as the engine
// does.
TEST(IndexKeeping, TheSharedFixturesStayTrueAfterEdits) {
  const char* tables[] = {"go-dbase/employees.dbf", "go-dbase/expense details.dbf", "perl-xbase/rooms.dbf",
                          "perl-xbase/ndx-num.dbf", "perl-xbase/ndx-date.dbf", "perl-xbase/ntx-char.dbf",
                          "perl-xbase/ndx-char.dbf"};
  for (const char* name : tables) {
    SCOPED_TRACE(name);
    test::TempFolder folder;
    for (const char* sub : {"/go-dbase", "/perl-xbase"})
      std::filesystem::copy(TABULON_INDEX_FIXTURES + std::string(sub), folder.Path() + sub);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.Path()))
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add);
    const std::string table = folder.Path() + "/" + name;
    TableSession session;
    ASSERT_TRUE(session.Load(table).IsDone());
    session.SetIndexesMayGoStale(true);
    ASSERT_TRUE(session.Reindex().IsDone());
    for (int32_t r = 1; r <= 3 && r <= int32_t(session.GetRecordCount()); ++r)
      for (int f = 1; f <= session.GetFieldCount(); ++f) {
        const char type = char(session.GetField(f).Type);
        if (type == 'C') session.EditCell(r, f, "Zz" + std::to_string(4 - r));
        if (type == 'N') session.EditCell(r, f, std::to_string(7 * r));
        if (type == 'D') session.EditCell(r, f, "2001123" + std::to_string(r));
      }
    int32_t added = 0;
    ASSERT_TRUE(session.AppendRecord(&added).IsDone());
    session.EditCell(added, 1, "Aa");
    ASSERT_TRUE(session.ToggleDeleted(2).IsDone());

    std::vector<std::string> files;
    for (const FoundIndex& index : session.GetIndexes())
      if (!index.GetMaintainedTags().empty()) files.push_back(index.File);
    std::vector<IndexKeyField> fields;
    for (int f = 1; f <= session.GetFieldCount(); ++f)
      fields.push_back({session.GetFieldName(f), char(session.GetField(f).Type)});
    EXPECT_EQ(test::IndexProblems(PlatformFileSystem(), table, files, fields), "");
    for (const FoundIndex& index : session.GetIndexes()) {
      std::string error;
      std::unique_ptr<IndexFile> file = OpenIndexFile(index.File, index.Kind, PlatformFileSystem(), fields, &error);
      for (size_t tag : index.GetMaintainedTags()) {
        SCOPED_TRACE(index.File + " " + index.Tags[tag].Name);
        std::vector<uint32_t> walked;
        file->Walk(tag, [&](const IndexEntry& e) {
          walked.push_back(e.Record);
          return true;
        });
        const char type = index.Tags[tag].KeyType == 'N' || index.Tags[tag].KeyType == 'D' ? index.Tags[tag].KeyType : 'C';
        EXPECT_EQ(test::PerlWalk(index.File, type, index.Kind == IndexKind::Cdx ? index.Tags[tag].Name : ""), walked);
      }
    }
  }
}

}  // namespace
}  // namespace tabulon
