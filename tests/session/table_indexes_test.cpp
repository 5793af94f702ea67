// The index files a session finds beside a table, and the writes it
// refuses while they would go stale.
#include <gtest/gtest.h>

#include "file_memory.h"
#include "support/index_bytes.h"
#include "table_session.h"

namespace tabulon {
namespace {

using test::Bytes;

// NAME C8 and CITY C8, one record, in the flavour and flags given; index
// files beside it by name.
struct Folder {
  MemoryFileSystem fs;
  TableSession session{&fs};
  Folder(uint8_t version, uint8_t flags, const std::vector<std::pair<std::string, Bytes>>& files) {
    test::TableLayout t;
    t.Version = version;
    t.Fields = {{"NAME", 'C', 8}, {"CITY", 'C', 8}};
    t.Records = {" Ann     Oslo    "};
    Bytes table = test::MakeTable(t);
    table[28] = flags;
    fs.SetFile("d/t.dbf", table);
    for (const auto& f : files) fs.SetFile("d/" + f.first, f.second);
  }
};

std::string Describe(const std::vector<FoundIndex>& found) {
  std::string text;
  for (const FoundIndex& f : found)
    text += f.File + (f.Structural ? " structural" : "") + (f.Missing ? " missing" : "") +
            (!f.Missing && !f.Readable ? " unreadable" : "") + " " + std::to_string(f.Tags.size()) + ";";
  return text;
}

TEST(TableIndexes, StructuralAndLooseFilesAreFoundByNameAndKey) {
  test::FoxTag tag{"NAME", "UPPER(NAME)", "", "", 8, false, false, {{"ANN     ", 1}}};
  const Bytes cdx = test::MakeCdx({tag});
  const Bytes mdx = test::MakeMdx({{"NAME", "NAME", "", 8, false, false, {{"Ann     ", 1}}}});
  const Bytes by_name = test::MakeNtx("UPPER(NAME)+CITY", 16, {{"ANN     Oslo    ", 1}});
  const Bytes by_other = test::MakeNdx("ZIP", 8, {{"0150    ", 1}});
  struct Case {
    const char* name;
    uint8_t version, flags;
    std::vector<std::pair<std::string, Bytes>> files;
    std::string found;
  };
  const std::vector<Case> cases = {
      {"FoxPro: the .cdx in capitals; loose files by base name or by key", 0x30, 0x01,
       {{"T.CDX", cdx}, {"t.mdx", mdx}, {"names.ntx", by_name}, {"zip.ndx", by_other}, {"T.ndx", by_other}},
       "d/T.CDX structural 1;d/t.mdx 1;d/T.ndx 1;d/names.ntx 1;"},
      {"dBase IV: the .mdx", 0x8B, 0x01, {{"T.CDX", cdx}, {"t.MDX", mdx}}, "d/t.MDX structural 1;d/T.CDX 1;"},
      {"announced but missing", 0x8B, 0x01, {{"other.mdx", mdx}}, "d/t.mdx structural missing 0;"},
      {"not announced", 0x03, 0x00, {{"t.cdx", cdx}}, "d/t.cdx 1;"},
      {"unreadable", 0x03, 0x01, {{"t.cdx", Bytes(700, 0x41)}}, "d/t.cdx structural unreadable 0;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Folder folder(c.version, c.flags, c.files);
    ASSERT_TRUE(folder.session.Load("d/t.dbf").IsDone());
    EXPECT_EQ(Describe(folder.session.GetIndexes()), c.found);
  }
}

TEST(TableIndexes, WritesAreRefusedWhileIndexesWouldGoStaleUnlessAllowed) {
  // A key the program does not evaluate.
  Folder folder(0x03, 0x00, {{"t.ntx", test::MakeNtx("IIF(NAME='A',NAME,CITY)", 8, {{"Ann     ", 1}})}});
  TableSession& s = folder.session;
  ASSERT_TRUE(s.Load("d/t.dbf").IsDone());
  const Bytes before = folder.fs.GetFile("d/t.dbf");
  for (const Outcome& o : {s.EditCell(1, 1, "Bob"), s.AppendRecord(), s.SetDeleted(1, true), s.RemoveRecord(1),
                           s.Pack()}) {
    EXPECT_EQ(o.Reason, Refusal::StaleIndexes);
    EXPECT_EQ(o.Detail, "d/t.ntx");
  }
  EXPECT_EQ(folder.fs.GetFile("d/t.dbf"), before);
  s.SetIndexesMayGoStale(true);
  EXPECT_TRUE(s.EditCell(1, 1, "Bob").IsDone());
}

}  // namespace
}  // namespace tabulon
