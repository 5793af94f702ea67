// The table session on the in-memory file layer: values typed in UTF-8
// and stored in the table's code page, outcomes instead of messages, one
// open per command, changes by other programs refused.
#include <gtest/gtest.h>

#include <cstring>

#include "file_memory.h"
#include "support/table_bytes.h"
#include "table_session.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::MakeTable;
using test::Ref;
using test::Slice;
using test::TableLayout;

// Counts the opens of the files it passes on to.
class CountingFileSystem final : public DbfFileSystem {
 public:
  explicit CountingFileSystem(DbfFileSystem& fs) : fs_(fs) {}
  std::unique_ptr<DbfFile> Open(const std::string& path, DbfOpenMode mode) override {
    ++opens;
    return fs_.Open(path, mode);
  }
  bool Exists(const std::string& path) override { return fs_.Exists(path); }
  bool GetInfo(const std::string& path, DbfFileInfo* info) override { return fs_.GetInfo(path, info); }
  bool Remove(const std::string& path) override { return fs_.Remove(path); }
  bool Rename(const std::string& from, const std::string& to) override { return fs_.Rename(from, to); }
  bool FlushFolder(const std::string& path) override { return fs_.FlushFolder(path); }
  bool GetIdentity(const std::string& path, DbfFileIdentity* identity) override {
    return fs_.GetIdentity(path, identity);
  }
  bool ListFolder(const std::string& path, std::vector<std::string>* names) override {
    return fs_.ListFolder(path, names);
  }
  DbfLocalTime Now() override { return fs_.Now(); }
  int opens = 0;

 private:
  DbfFileSystem& fs_;
};

// NAME C6, QTY N5.1, BORN D8, NOTE M10 (dBase III with memo), and the
// same record twice; DOS text when oem.
struct Staff {
  MemoryFileSystem fs;
  TableSession session{&fs};
  static constexpr size_t kRecord1 = 32 + 32 * 4 + 1;
  static constexpr size_t kRecordSize = 1 + 6 + 5 + 8 + 10;

  explicit Staff(uint8_t driver = 0) {
    TableLayout t;
    t.Version = 0x83;
    t.Fields = {{"NAME", 'C', 6}, {"QTY", 'N', 5, 1}, {"BORN", 'D', 8}, {"NOTE", 'M', 10}};
    t.Records = {" Ann     1.519990101" + Ref(1), " Bob     2.519990102" + Ref(0)};
    Bytes table = MakeTable(t);
    table[29] = driver;
    fs.SetFile("t.dbf", table);
    fs.SetFile("t.dbt", test::MakeDbt({"note"}));
  }
  std::string Field(int record, size_t offset, size_t length) const {
    return Slice(fs.GetFile("t.dbf"), kRecord1 + size_t(record - 1) * kRecordSize + offset, length);
  }
};

TEST(TableSession, TypedValuesAreCheckedAndStoredInTheTablesCodePage) {
  struct Case {
    const char* name;
    bool oem;
    int field;
    std::string typed;
    OutcomeKind kind;
    Refusal reason;
    std::string stored;  // NAME or QTY as the file then holds it
    std::string shown;  // or the character refused
  };
  const std::vector<Case> cases = {
      {"text", false, 1, "Zoe", OutcomeKind::Done, Refusal::None, "Zoe   ", "Zoe"},
      {"cut to the field", false, 1, "Abcdefgh", OutcomeKind::Done, Refusal::None, "Abcdef", "Abcdef"},
      {"Cyrillic in 1251", false, 1, "Ёлка", OutcomeKind::Done, Refusal::None, "\xA8\xEB\xEA\xE0  ", "Ёлка"},
      {"Cyrillic in 866", true, 1, "Ёлка", OutcomeKind::Done, Refusal::None, "\xF0\xAB\xAA\xA0  ", "Ёлка"},
      {"no twin in 866", true, 1, "Кот•", OutcomeKind::Refused, Refusal::NoCodePageTwin, "Ann   ", "•"},
      {"no twin in 1251", false, 1, "AäB", OutcomeKind::Refused, Refusal::NoCodePageTwin, "Ann   ", "ä"},
      {"no twin at all", false, 1, "Я日本", OutcomeKind::Refused, Refusal::NoCodePageTwin, "Ann   ", "日"},
      {"a tab", false, 1, "A\tB", OutcomeKind::Refused, Refusal::ControlCharacter, "Ann   ", ""},
      {"number", false, 2, "12.5", OutcomeKind::Done, Refusal::None, " 12.5", "12.5"},
      {"not a number", false, 2, "abc", OutcomeKind::Refused, Refusal::ValueRefused, "  1.5", ""},
      {"too many decimals", false, 2, "1.25", OutcomeKind::Refused, Refusal::ValueRefused, "  1.5", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Staff t;
    ASSERT_TRUE(t.session.Load("t.dbf").IsDone());
    t.session.SetShownOem(c.oem);
    const Outcome o = t.session.EditCell(1, c.field, c.typed);
    EXPECT_EQ(o.Kind, c.kind);
    EXPECT_EQ(o.Reason, c.reason);
    EXPECT_EQ(c.field == 1 ? t.Field(1, 1, 6) : t.Field(1, 7, 5), c.stored);
    EXPECT_EQ(o.IsDone() ? o.Text : o.Detail, c.shown);
    if (c.reason == Refusal::ValueRefused) {
      EXPECT_EQ(o.Field, 2);
    }
    EXPECT_FALSE(t.session.IsOpen());
  }
}

TEST(TableSession, ACommandOpensTheTableOnceAndTheValueUnchangedWritesNothing) {
  Staff t;
  CountingFileSystem counting(t.fs);
  TableSession session(&counting);
  ASSERT_TRUE(session.Load("t.dbf").IsDone());
  const Bytes before = t.fs.GetFile("t.dbf");
  counting.opens = 0;
  EXPECT_TRUE(session.EditCell(2, 1, "Bob").IsDone());
  EXPECT_EQ(t.fs.GetFile("t.dbf"), before);
  // The data file and its memo file, once each.
  EXPECT_EQ(counting.opens, 2);
  counting.opens = 0;
  EXPECT_TRUE(session.EditCell(2, 1, "Rob").IsDone());
  EXPECT_EQ(counting.opens, 2);
  EXPECT_EQ(t.Field(2, 1, 6), "Rob   ");
}

// What the user saw is the measure: a record another program changed
// since it was shown is not overwritten, nor marked, nor removed.
TEST(TableSession, ARecordChangedSinceItWasShownIsNotWritten) {
  Staff t;
  ASSERT_TRUE(t.session.Load("t.dbf").IsDone());
  ASSERT_EQ(t.session.GetShownRecord(1).Texts[0], "Ann");
  Bytes changed = t.fs.GetFile("t.dbf");
  changed[Staff::kRecord1 + 1] = 'E';  // same size, the same clock tick
  t.fs.SetFile("t.dbf", changed);
  t.session.Reload();  // the files' sizes and time are as seen again
  ShownRecord seen;
  seen.Read = true;
  seen.Texts = {"Ann", "1.5", "19990101", "note"};
  for (auto command : {+[](TableSession& s, const ShownRecord* r) { return s.EditCell(1, 1, "Zoe", r); },
                       +[](TableSession& s, const ShownRecord* r) { return s.WriteMemo(1, 4, "x", r); }}) {
    const Outcome o = command(t.session, &seen);
    EXPECT_EQ(o.Reason, Refusal::TableChanged);
    EXPECT_EQ(t.fs.GetFile("t.dbf"), changed);
  }
  // Shown afresh, the record is what the file holds, and takes the edit.
  EXPECT_EQ(t.session.GetShownRecord(1).Texts[0], "Enn");
  EXPECT_TRUE(t.session.EditCell(1, 1, "Zoe").IsDone());
  EXPECT_EQ(t.Field(1, 1, 6), "Zoe   ");
}

TEST(TableSession, RecordsAreShownAsTheViewShowsThemAndCommandsKeepThemTrue) {
  Staff t(0x26);  // DOS Russian by its language-driver byte
  ASSERT_TRUE(t.session.Load("t.dbf").IsDone());
  EXPECT_EQ(t.session.GetSuggestedCodePage(), ShownCodePage::Oem);
  EXPECT_EQ(t.session.GetCodePageReason(), CodePageReason::LanguageDriver);
  EXPECT_TRUE(t.session.IsShownOem());
  EXPECT_EQ(t.session.GetShownRecord(1).Texts, (std::vector<std::string>{"Ann", "1.5", "19990101", "note"}));

  int32_t added = 0;
  EXPECT_TRUE(t.session.AppendRecord(&added).IsDone());
  EXPECT_EQ(added, 3);
  EXPECT_TRUE(t.session.EditCell(3, 4, "Пёс спит").IsDone());
  EXPECT_TRUE(t.session.SetDeleted(1, true).IsDone());
  EXPECT_TRUE(t.session.ToggleDeleted(2).IsDone());
  std::vector<std::string> lines;
  t.session.EachShownRecord(1, 99, [&](int32_t n, const ShownRecord& r) {
    lines.push_back(std::to_string(n) + (r.Deleted ? "*" : "") + " " + r.Texts[0] + "|" + r.Texts[3]);
    return true;
  });
  EXPECT_EQ(lines, (std::vector<std::string>{"1* Ann|note", "2* Bob|", "3 |Пёс спит"}));
  std::string memo;
  EXPECT_TRUE(t.session.ReadMemoText(3, 4, memo).IsDone());
  EXPECT_EQ(memo, "Пёс спит");

  std::vector<SearchHit> hits;
  bool more = false;
  EXPECT_TRUE(t.session.Search(4, "*сп?т", 10, &hits, &more).IsDone());
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].Record, 3);
  EXPECT_EQ(hits[0].Text, "Пёс спит");

  EXPECT_TRUE(t.session.Pack().IsDone());
  EXPECT_EQ(t.session.GetRecordCount(), 1u);
  EXPECT_EQ(t.session.GetShownRecord(1).Texts[3], "Пёс спит");
  EXPECT_EQ(t.session.RemoveRecord(2).Reason, Refusal::NoSuchRecord);
  EXPECT_TRUE(t.session.RemoveRecord(1).IsDone());
  EXPECT_EQ(t.session.GetRecordCount(), 0u);
}

TEST(TableSession, ATableThatCannotBeWrittenRefusesEveryWrite) {
  Staff t;
  t.fs.SetWritable("t.dbf", false);
  ASSERT_TRUE(t.session.Load("t.dbf").IsDone());
  EXPECT_TRUE(t.session.IsReadOnly());
  const Bytes before = t.fs.GetFile("t.dbf");
  EXPECT_EQ(t.session.EditCell(1, 1, "Zoe").Reason, Refusal::ReadOnly);
  EXPECT_EQ(t.session.AppendRecord().Reason, Refusal::ReadOnly);
  EXPECT_EQ(t.session.SetDeleted(1, true).Reason, Refusal::ReadOnly);
  EXPECT_EQ(t.session.RemoveRecord(1).Reason, Refusal::ReadOnly);
  EXPECT_EQ(t.session.Pack().Reason, Refusal::ReadOnly);
  EXPECT_EQ(t.fs.GetFile("t.dbf"), before);
  // Rewriting a value unchanged is no write.
  EXPECT_TRUE(t.session.EditCell(1, 1, "Ann").IsDone());
}

// A table's page from its .cpg file or its driver byte; UTF-8 widths in
// bytes, cut at a whole character; the "OEM" box only between twins.
TEST(TableSession, TablesAreShownAndWrittenInThePageTheirFilesName) {
  struct Case {
    const char* what;
    uint8_t driver;
    const char* cpg;  // nullptr: no .cpg file
    std::string stored, typed;
    int page;
    std::string shown, written;  // NAME C6 before and after the edit
    const char* mask;            // finds the written value
    bool twin;
  };
  const Case cases[] = {
      {"UTF-8 by .cpg", 0xC9, "UTF-8\r\n", "\xD0\x96\xD1\x83\xD0\xBA", "Жучок", 65001, "Жук",
       "\xD0\x96\xD1\x83\xD1\x87", "*УЧ", false},
      {"1251 by .cpg beats the byte", 0x26, "ANSI 1251", "\xC6\xF3\xEA", "Жуки", 1251, "Жук",
       "\xC6\xF3\xEA\xE8  ", "жУКИ", true},
      {"Western by the byte", 0x03, nullptr, "caf\xE9", "Café!", 1252, "café", "Caf\xE9! ", "*É!", true},
      {"Central European DOS", 0x64, nullptr, "\x88\xA0" "d", "łód", 852, "łád", "\x88\xA2" "d   ", "ŁÓ*", true},
      {"Mac Cyrillic has no twin", 0x96, nullptr, "\x86", "Жё", 10007, "Ж", "\x86\xDE    ", "?Ё", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem fs;
    TableLayout layout;
    layout.Fields = {{"NAME", 'C', 6}};
    layout.Records = {" " + c.stored};
    Bytes table = MakeTable(layout);
    table[29] = c.driver;
    fs.SetFile("t.dbf", table);
    if (c.cpg) fs.SetFile("t.cpg", Bytes(c.cpg, c.cpg + std::strlen(c.cpg)));
    TableSession session(&fs);
    ASSERT_TRUE(session.Load("t.dbf").IsDone());
    EXPECT_EQ(session.GetCodePage(), c.page);
    EXPECT_EQ(session.GetCodePageReason(), c.cpg ? CodePageReason::CodePageFile : CodePageReason::LanguageDriver);
    EXPECT_EQ(session.GetShownRecord(1).Texts[0], c.shown);
    const Outcome o = session.EditCell(1, 1, c.typed);
    EXPECT_TRUE(o.IsDone()) << o.Detail;
    EXPECT_EQ(Slice(fs.GetFile("t.dbf"), 32 + 32 + 1 + 1, 6), c.written);
    std::vector<SearchHit> hits;
    bool more = false;
    EXPECT_TRUE(session.Search(1, c.mask, 5, &hits, &more).IsDone());
    EXPECT_EQ(hits.size(), 1u);
    EXPECT_EQ(session.SetShownOem(!session.IsShownOem()), c.twin);
    EXPECT_EQ(session.GetCodePage() != c.page, c.twin);
  }
}

}  // namespace
}  // namespace tabulon
