// Export and import on the in-memory file layer: the bytes each text
// format writes, what stays when an export is stopped, and the fields a
// CSV file's data gives a new table. Other readers check the formats
// against the table in the command line's tests.
#include <gtest/gtest.h>

#include "csv_import.h"
#include "export_file.h"
#include "export_formats.h"
#include "file_memory.h"
#include "support/table_bytes.h"
#include "table_session.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::Ref;

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
Bytes Of(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A DOS table: a name with the separator and a quote, a number stored
// without its leading zero, a date no calendar has, an unknown logic
// value, a memo of two lines, and a record marked deleted.
struct Dos {
  MemoryFileSystem fs;
  TableSession session{&fs};
  Dos() {
    test::TableLayout t;
    t.Version = 0x83;
    t.Fields = {{"\x88\x8c\x9f", 'C', 8}, {"N", 'N', 4, 1}, {"D", 'D', 8}, {"L", 'L', 1}, {"M", 'M', 10}};
    t.Records = {" \x8f\xa5\xe2\xe0;\"1\"  .520230231?" + Ref(1), "*x" + std::string(11, ' ') + "19991231T" + Ref(0)};
    Bytes table = test::MakeTable(t);
    table[29] = 0x26;
    fs.SetFile("t.dbf", table);
    fs.SetFile("t.dbt", test::MakeDbt({"a\r\n\x9f"}));
    session.Load("t.dbf");
  }
};

TEST(Export, EachTextFormatWritesTheValuesAsShownInItsOwnForm) {
  struct Case {
    const char* name;
    std::function<std::unique_ptr<ExportSink>(DbfFileSystem&)> sink;
    ExportOptions options;
    std::string written;
  };
  ExportOptions raw, deleted, marked;
  raw.TableCodePage = true;
  deleted.WithDeleted = true;
  marked.Records = {2, 1};
  const std::vector<Case> cases = {
      {"csv", [](DbfFileSystem& fs) { return NewCsvSink(fs, "o", CsvOptions{';', true}); }, {},
       "\xEF\xBB\xBFИМЯ;N;D;L;M\r\n\"Петр;\"\"1\"\"\";0.5;20230231;;\"a\r\nЯ\"\r\n"},
      {"csv in 866", [](DbfFileSystem& fs) { return NewCsvSink(fs, "o", CsvOptions{',', false}); }, raw,
       "\x88\x8c\x9f,N,D,L,M\r\n\"\x8f\xa5\xe2\xe0;\"\"1\"\"\",0.5,20230231,,\"a\r\n\x9f\"\r\n"},
      {"csv with deleted", [](DbfFileSystem& fs) { return NewCsvSink(fs, "o", CsvOptions{',', false}); }, deleted,
       "ИМЯ,N,D,L,M,_DELETED\r\n\"Петр;\"\"1\"\"\",0.5,20230231,,\"a\r\nЯ\",F\r\nx,,1999-12-31,T,,T\r\n"},
      {"json of marked rows", [](DbfFileSystem& fs) { return NewJsonSink(fs, "o"); }, marked,
       "[\n{\"ИМЯ\":\"Петр;\\\"1\\\"\",\"N\":0.5,\"D\":\"20230231\",\"L\":null,\"M\":\"a\\r\\nЯ\"}\n]\n"},
      {"sql", [](DbfFileSystem& fs) { return NewSqlSink(fs, "o", "t", SqlDialect::Postgres); }, deleted,
       "BEGIN;\nCREATE TABLE \"t\" (\n  \"ИМЯ\" VARCHAR(8),\n  \"N\" NUMERIC(4,1),\n  \"D\" DATE,\n  \"L\" BOOLEAN,\n"
       "  \"M\" TEXT,\n  \"_DELETED\" BOOLEAN\n);\n"
       "INSERT INTO \"t\" VALUES ('Петр;\"1\"', 0.5, '20230231', NULL, 'a\r\nЯ', FALSE);\n"
       "INSERT INTO \"t\" VALUES ('x', NULL, '1999-12-31', TRUE, '', TRUE);\nCOMMIT;\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Dos dos;
    auto sink = c.sink(dos.fs);
    EXPECT_TRUE(ExportTable(dos.session, c.options, *sink).IsDone());
    EXPECT_EQ(Text(dos.fs.GetFile("o")), c.written);
  }
}

TEST(Export, StoppedOrRefusedLeavesTheOldFileAndNothingBeside) {
  Dos dos;
  dos.fs.SetFile("o", Of("old"));
  ExportOptions stop;
  stop.OnProgress = [](uint64_t, uint64_t) { return false; };
  ExportOptions missing;
  missing.Records = {3};
  for (const ExportOptions& options : {stop, missing}) {
    auto sink = NewCsvSink(dos.fs, "o", CsvOptions{});
    EXPECT_FALSE(ExportTable(dos.session, options, *sink).IsDone());
    EXPECT_EQ(Text(dos.fs.GetFile("o")), "old");
    EXPECT_FALSE(dos.fs.Exists(PartFileName("o")));
  }
}

TEST(Import, FieldsOfANewTableFollowTheData) {
  MemoryFileSystem fs;
  const std::string long_text(255, 'x');
  fs.SetFile("in.csv", Of("\xEF\xBB\xBF" "flag\tday\tcode\tsum\tname\tnote\tempty\tvery long name\tvery long name2\r\n"
                          "T\t2024-02-29\t007\t-1.25\tЁж\t" + long_text + "\t\t1\t2\r\n"
                          "n\t\t12\t300\t\"a\"\"b\"\t\t\t\t\r\n"));
  ImportPlan plan;
  ASSERT_TRUE(PlanCsvTable(fs, "in.csv", ImportOptions{}, &plan).IsDone());
  EXPECT_EQ(plan.Separator, '\t');
  EXPECT_EQ(plan.Rows, 2u);
  const std::vector<std::string> expected = {"FLAG=L1", "DAY=D8", "CODE=C3", "SUM=N6,2", "NAME=C3",
                                             "NOTE=M", "EMPTY=C1", "VERYLONGNA=N1,0", "VERYLONGN2=N1,0"};
  EXPECT_EQ(plan.Definition.ShownLines, expected);
}

}  // namespace
}  // namespace tabulon
