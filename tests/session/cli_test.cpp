// tabulon-cli as a script runs it: arguments, standard input and output,
// exit status, on tables in a folder of the test's own. What the commands
// write is the session's, tested with it; here, what the command line adds,
// and the workbook writer's sheets, read back as another program reads them.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

#include "export_formats.h"
#include "support/index_bytes.h"
#include "support/peer_lock.h"
#include "support/table_bytes.h"
#include "support/temp_folder.h"
#include "table_session.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::MakeTable;
using test::Ref;
using test::TableLayout;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.Path().empty());
    TableLayout t;
    t.Version = 0x83;
    t.Fields = {{"NAME", 'C', 8}, {"QTY", 'N', 5, 1}, {"NOTE", 'M', 10}};
    t.Records = {" Ann\tx     1.5" + Ref(1), "*Bob       2.5" + Ref(0)};
    Bytes table = MakeTable(t);
    table[29] = 0xC9;  // Windows Russian
    Write("t.dbf", table);
    Write("t.dbt", test::MakeDbt({"line 1\r\nback\\slash"}));
  }

  std::string Path(const std::string& name) const { return folder_.Path() + "/" + name; }
  void Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      std::streamsize(bytes.size()));
  }

  // Runs the command line with args (shell-quoted here) and input on its
  // standard input.
  CliRun Cli(const std::string& args, const std::string& input = "") const {
    return Run(std::string(TABULON_CLI) + " " + args, input);
  }
  CliRun Run(const std::string& program, const std::string& input = "") const {
    const std::string err = Path("stderr.txt"), in = Path("stdin.txt");
    std::ofstream(in, std::ios::binary) << input;
    const std::string command = program + " <" + in + " 2>" + err;
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream e(err);
    run.err.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
    return run;
  }
  std::string Table() const { return "'" + Path("t.dbf") + "'"; }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void WriteTransferTables() const;

  test::TempFolder folder_{"tabulon-cli"};
};

// Tables of each code page and of the binary field layouts, for export and
// import: oem (866, with a memo), ansi (1251), vfp (Visual FoxPro: Integer,
// Currency, Double, DateTime, a memo of text and one of binary data).
const std::vector<std::pair<std::string, std::string>> kTransferTables = {
    {"oem", "866"}, {"ansi", "1251"}, {"vfp", "1251"}};

void CliTest::WriteTransferTables() const {
  TableLayout oem;
  oem.Version = 0x83;
  oem.Fields = {{"NAME", 'C', 12}, {"SUM", 'N', 8, 2}, {"DAY", 'D', 8}, {"OK", 'L', 1}, {"NOTE", 'M', 10}};
  oem.Records = {" \x88\xa2\xa0\xad\xae\xa2" + std::string(6, ' ') + "  123.4519991231T" + Ref(1),
                 "*gone" + std::string(25, ' ') + Ref(0),
                 " \x8f\xf1\xe2\xe0; \"\xf0\"" + std::string(19, ' ') + "?" + Ref(2)};
  Bytes table = MakeTable(oem);
  table[29] = 0x65;
  Write("oem.dbf", table);
  Write("oem.dbt", test::MakeDbt({"\x87\xa0\xac\xa5\xe2\xaa\xa0, \"\xe1\xe2\xe0\xae\xaa\xa0\"\r\n\xa2\xe2\xae\xe0\xa0\xef"}));
  TableLayout ansi;
  ansi.Fields = {{"NAME", 'C', 12}, {"QTY", 'N', 5}, {"OK", 'L', 1}};
  ansi.Records = {" \xcc\xe0\xf0\xe8\xff, \"\xcc\"" + std::string(5, ' ') + "-7F", " ;x" + std::string(16, ' ')};
  table = MakeTable(ansi);
  table[29] = 0xC9;
  Write("ansi.dbf", table);
  TableLayout vfp;
  vfp.Version = 0x30;
  vfp.HeaderSize = 32 * 5 + 33 + 263;
  vfp.Fields = {{"ID", 'I', 4}, {"PRICE", 'Y', 8}, {"RATE", 'B', 8}, {"AT", 'T', 8}, {"NOTE", 'M', 4}};
  std::vector<uint32_t> blocks;
  Write("vfp.fpt", test::MakeFpt(64, {"plain text", std::string("PNG\0\x01\x02", 6)}, &blocks));
  for (int r = 0; r < 2; ++r) {
    Bytes record(1 + 32, 0);
    record[0] = ' ';
    test::PutLittle(record, 1, r == 0 ? 0xFFFFFFF9u : 42u, 4);            // -7, 42
    test::PutLittle(record, 5, r == 0 ? 123450000u : 1u, 8);               // 12345.0000, 0.0001
    test::PutLittle(record, 13, r == 0 ? 0x3FF8000000000000u : 0xC059000000000000u, 8);  // 1.5, -100
    test::PutLittle(record, 21, 2460370, 4);                               // 2024-02-29
    test::PutLittle(record, 25, r == 0 ? 49510000u : 0u, 4);               // 13:45:10, midnight
    test::PutLittle(record, 29, blocks[size_t(r)], 4);
    vfp.Records.emplace_back(record.begin(), record.end());
  }
  Write("vfp.dbf", MakeTable(vfp));
}

// Every test table in every format, read back by other readers: the table
// by dbfread, the output by Python's csv and json, SQLite, the sheet's XML.
TEST_F(CliTest, ExportsEveryFormatAsDbfreadDecodesTheTable) {
  WriteTransferTables();
  for (const auto& [table, code_page] : kTransferTables) {
    for (const std::string format : {"csv", "json", "sqlite", "sql", "xlsx"}) {
      SCOPED_TRACE(table + " to " + format);
      const std::string out = "'" + Path(table + "." + format) + "'";
      const CliRun r = Cli("export '" + Path(table + ".dbf") + "' " + out + (format == "sql" ? " --dialect sqlite" : ""));
      EXPECT_EQ(r.status, 0) << r.err;
      const CliRun checked = Run(std::string("/usr/bin/python3 ") + CHECK_EXPORT + " '" + Path(table + ".dbf") + "' " +
                                 code_page + " " + format + " " + out);
      EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
    }
  }
  // Binary values as values, dates and times in ISO 8601, binary data in Base64.
  EXPECT_EQ(Read("vfp.json"),
            "[\n{\"ID\":-7,\"PRICE\":12345.0000,\"RATE\":1.5,\"AT\":\"2024-02-29 13:45:10\",\"NOTE\":\"plain text\"},\n"
            "{\"ID\":42,\"PRICE\":0.0001,\"RATE\":-1e+02,\"AT\":\"2024-02-29 00:00:00\",\"NOTE\":\"UE5HAAEC\"}\n]\n");
}

// CSV to a new table and back gives the same text; lines that do not fit
// are named, and then nothing is written.
// More records than a sheet holds (the sheet made small) go on over further
// sheets, each with its header row frozen: per sheet its name, rows, first cells.
TEST_F(CliTest, WorkbookRecordsPastASheetsRowsGoOnOverFurtherSheets) {
  TableLayout t;
  t.Fields = {{"N", 'N', 3}};
  for (int r = 1; r <= 7; ++r) t.Records.push_back("   " + std::to_string(r));
  Write("n.dbf", MakeTable(t));
  std::ofstream(Path("sheets.py")) << R"py(import re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
for n, name in enumerate(re.findall(r'<sheet name="([^"]+)"', z.read('xl/workbook.xml').decode()), 1):
    sheet = z.read('xl/worksheets/sheet%d.xml' % n).decode()
    cells = re.findall(r'<row [^>]*><c r="A\d+"[^>]*>(?:<v>([^<]*)|<is><t>([^<]*))', sheet)
    print(name, sheet.count('<row '), ','.join(a + b for a, b in cells), 'state="frozen"' in sheet))py";
  TableSession session;
  ASSERT_TRUE(session.Load(Path("n.dbf")).IsDone());
  for (const auto& [rows, sheets] : std::vector<std::pair<uint32_t, std::string>>{
           {4, "Sheet1 4 N,1,2,3 True\nSheet2 4 N,4,5,6 True\nSheet3 2 N,7 True\n"},
           {kXlsxSheetRows, "Sheet1 8 N,1,2,3,4,5,6,7 True\n"}}) {
    auto sink = NewXlsxSink(Path("n.xlsx"), rows);
    ASSERT_TRUE(sink && ExportTable(session, ExportOptions{}, *sink).IsDone());
    EXPECT_EQ(Run("/usr/bin/python3 " + Path("sheets.py") + " " + Path("n.xlsx")).out, sheets);
  }
}

TEST_F(CliTest, CsvComesBackThroughANewTableAndRefusedLinesWriteNothing) {
  WriteTransferTables();
  for (const auto& [table, code_page] : kTransferTables) {
    SCOPED_TRACE(table);
    const std::string csv = "'" + Path(table + ".csv") + "'", copy = "'" + Path(table + "2.dbf") + "'";
    EXPECT_EQ(Cli("export --deleted '" + Path(table + ".dbf") + "' " + csv).status, 0);
    const CliRun imported = Cli("import --code-page " + code_page + " " + csv + " " + copy);
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(Cli("export --deleted " + copy + " '" + Path(table + "2.csv") + "'").status, 0);
    EXPECT_EQ(Read(table + "2.csv"), Read(table + ".csv"));
  }
  EXPECT_EQ(Cli("import --dry-run '" + Path("ansi.csv") + "' '" + Path("new.dbf") + "'").out,
            "NAME=C10\nQTY=N2,0\nOK=L1\n2 lines checked; nothing written\n");
  EXPECT_EQ(Cli("import '" + Path("ansi.csv") + "' '" + Path("ansi.dbf") + "'").status, 1);  // exists

  const std::string before = Read("ansi.dbf");
  std::ofstream(Path("in.csv"), std::ios::binary)
      << "qty;name\r\n5;ok\r\n6;far too long a name\r\nabc;x\r\n\"7\";\"Ω\"\r\n8\r\n";
  const CliRun refused = Cli("import --append '" + Path("in.csv") + "' '" + Path("ansi.dbf") + "'");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "tabulon-cli: line 3: field NAME: 19 characters, the field holds 12\n"
            "tabulon-cli: line 4: field QTY: expects a number of up to 5 characters without decimals, or blank\n"
            "tabulon-cli: line 5: field NAME: the character \"Ω\" has no place in the table's code page (1251); "
            "nothing written\n"
            "tabulon-cli: line 6: 1 values where the header names 2\n"
            "tabulon-cli: 4 lines refused; nothing written\n");
  EXPECT_EQ(Read("ansi.dbf"), before);
  std::ofstream(Path("in.csv"), std::ios::binary) << "qty;name\r\n5;ok\r\n";
  {
    // Another program holding a record of the table (Clipper's lock of record 1).
    test::Peer peer(Path("ansi.dbf"), 1000000001, 1);
    ASSERT_TRUE(peer.Locked());
    EXPECT_EQ(Cli("import --append '" + Path("in.csv") + "' '" + Path("ansi.dbf") + "'").err,
              "tabulon-cli: the table is locked by another program; nothing written\n");
    EXPECT_EQ(Read("ansi.dbf"), before);
  }
  EXPECT_EQ(Cli("import --append '" + Path("in.csv") + "' '" + Path("ansi.dbf") + "'").out, "1 lines appended\n");
  EXPECT_EQ(Cli("show --from 3 '" + Path("ansi.dbf") + "'").out, "#\tNAME\tQTY\tOK\n3\tok\t5\t\n");
}

TEST_F(CliTest, ShowsRecordsOneALineWithTheirMarksAndEscapes) {
  const CliRun r = Cli("show " + Table());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "#\tNAME\tQTY\tNOTE\n"
            "1\tAnn\\tx\t1.5\tline 1\\r\\nback\\\\slash\n"
            "2*\tBob\t2.5\t\n");
  EXPECT_EQ(Cli("show --from 2 --count 5 " + Table()).out, "#\tNAME\tQTY\tNOTE\n2*\tBob\t2.5\t\n");
}

TEST_F(CliTest, InfoTellsTheTableInTextAndJson) {
  const CliRun text = Cli("info " + Table());
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("Records:     2\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Code page:   1251 (its language-driver byte 0xC9)"), std::string::npos);
  const CliRun given = Cli("info --code-page 'UTF 8' " + Table());
  EXPECT_NE(given.out.find("Code page:   65001 (given on the command line)"), std::string::npos) << given.out;
  const CliRun json = Cli("info --json " + Table());
  for (const char* part : {"\"version\":131", "\"records\":2", "\"code_page\":1251",
                           "{\"name\":\"QTY\",\"type\":\"N\",\"length\":5,\"decimals\":1",
                           "\"layout\":\"dbt3\"", "\"indexes\":[]}"})
    EXPECT_NE(json.out.find(part), std::string::npos) << part << " in " << json.out;
}

// A table with a Clipper index beside it: listed, walked, and written only
// with --force; a structural index announced but missing is reported and
// its flag cleared.
TEST_F(CliTest, IndexesAreListedWalkedKeptAndOthersHoldWritesBackUnlessForced) {
  Write("t.ntx", test::MakeNtx("NAME", 8, {{"Ann\tx   ", 1}, {"Bob     ", 2}}));
  const CliRun json = Cli("info --json " + Table());
  const std::string index = "\"indexes\":[{\"file\":\"" + Path("t.ntx") +
                            "\",\"kind\":\"ntx\",\"structural\":false,\"missing\":false,\"tags\":[{\"name\":\"t\","
                            "\"key\":\"NAME\",\"for\":\"\",\"unique\":false,\"descending\":false,\"key_length\":8,"
                            "\"key_type\":\"C\",\"collation\":\"MACHINE\",\"maintained\":true,\"reason\":\"\"}]}]}";
  EXPECT_NE(json.out.find(index), std::string::npos) << json.out;
  EXPECT_EQ(Cli("walk " + Table() + " t.ntx").out, "1\n2\n");
  // A kept tag follows the write: record 1 now sorts after Bob.
  EXPECT_EQ(Cli("set " + Table() + " 1 NAME Cy").status, 0);
  EXPECT_EQ(Cli("walk " + Table() + " t.ntx").out, "2\n1\n");
  EXPECT_EQ(Cli("check " + Table()).out, "");

  // A tag whose key the program does not evaluate holds writes back.
  Write("u.ntx", test::MakeNtx("IIF(NAME='A',NAME,NAME)", 8, {{"Cy      ", 1}}));
  EXPECT_NE(Cli("info --json " + Table()).out.find("\"reason\":\"key: function IIF is not supported\""),
            std::string::npos);
  const CliRun refused = Cli("set " + Table() + " 1 NAME Al");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("stale (" + Path("u.ntx") + ")"), std::string::npos) << refused.err;
  EXPECT_EQ(Cli("set --force " + Table() + " 1 NAME Al").status, 0);
  EXPECT_EQ(Cli("walk " + Table() + " t.ntx").out, "1\n2\n");
  std::remove(Path("u.ntx").c_str());
  // Rebuilt from the table, the kept tag is as the writes left it.
  EXPECT_EQ(Cli("reindex " + Table() + " t.ntx").status, 0);
  EXPECT_EQ(Cli("walk " + Table() + " t.ntx").out, "1\n2\n");
  EXPECT_EQ(Cli("check " + Table()).out, "");
  std::remove(Path("t.ntx").c_str());
  std::fstream table(Path("t.dbf"), std::ios::in | std::ios::out | std::ios::binary);
  table.seekp(28).put('\x01');
  table.close();
  EXPECT_NE(Cli("info --json " + Table()).out.find("\"kind\":\"cdx\",\"structural\":true,\"missing\":true"),
            std::string::npos);
  EXPECT_EQ(Cli("set-flag " + Table()).status, 2);
  EXPECT_EQ(Cli("set-flag --no-structural-index " + Table()).status, 0);
  std::ifstream cleared(Path("t.dbf"), std::ios::binary);
  cleared.seekg(28);
  EXPECT_EQ(cleared.get(), 0);
}

// Each command with what it prints and its exit status: 0 done, 1 refused
// (one line on standard error naming record and field), 2 bad usage.
TEST_F(CliTest, CommandsAnswerWithTheirStatusAndOneLineWhenRefused) {
  struct Case {
    std::string args;
    std::string input;
    int status;
    std::string out;
    std::string err;  // the start of its first line
  };
  const std::vector<Case> cases = {
      {"set T 1 QTY abc", "", 1, "", "tabulon-cli: record 1, field QTY: expects a number of up to 5"},
      {"set T 1 qty 12.5", "", 0, "", ""},
      {"set T 1 NAME Ёжик", "", 0, "", ""},
      {"set T 3 NAME x", "", 1, "", "tabulon-cli: no record 3 (the table has 2)"},
      {"set T 1 NOPE x", "", 1, "", "tabulon-cli: no field NOPE"},
      {"append T NAME=Cy QTY=7", "", 0, "3\n", ""},
      {"append T QTY=x", "", 1, "", "tabulon-cli: record 4, field QTY: expects"},
      {"undelete T 2", "", 0, "", ""},
      {"delete T 1", "", 0, "", ""},
      {"memo T 3 NOTE -", "новая\nзаметка", 0, "", ""},
      {"memo T 3 NOTE", "", 0, "новая\nзаметка", ""},
      {"pack T", "", 0, "2 records kept, 1 dropped\n", ""},
      {"remove T 1", "", 0, "", ""},
      {"show T", "", 0, "#\tNAME\tQTY\tNOTE\n1\tCy\t7.0\tновая\\nзаметка\n", ""},
      {"check T", "", 0, "", ""},
      {"frobnicate T", "", 2, "", "tabulon-cli: unknown command"},
      {"set T 1", "", 2, "", "tabulon-cli: usage: tabulon-cli set TABLE RECNO FIELD VALUE"},
      {"show --count x T", "", 2, "", "tabulon-cli: --count takes a number"},
      {"set --code-page cp1252 T 1 NAME Ёж", "", 1, "",
       "tabulon-cli: record 1, field NAME: the character \"Ё\" has no place in the table's code page (1252)"},
      {"info --code-page cp9 T", "", 2, "", "tabulon-cli: --code-page takes a code page"},
      {"show T --help", "", 0, "usage: tabulon-cli show", ""},
      {"info missing.dbf", "", 1, "", "tabulon-cli: missing.dbf: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    std::string args = c.args;
    if (args.find(" T") != std::string::npos) args.replace(args.find(" T"), 2, " " + Table());
    const CliRun r = Cli(args, c.input);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out.substr(0, c.out.empty() ? r.out.size() : c.out.size()), c.out);
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    if (c.err.empty()) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1);
    }
  }
}

TEST_F(CliTest, CheckListsEveryProblemAndChangesNothing) {
  TableLayout t;
  t.Version = 0x83;
  t.Fields = {{"NOTE", 'M', 10}};
  t.Records = {" " + Ref(1), "X" + Ref(0), " " + Ref(9)};
  t.EndMarker = false;
  Bytes table = MakeTable(t);
  Write("bad.dbf", table);
  const Bytes memo = test::MakeDbt({"ok"});
  Write("bad.dbt", memo);
  const CliRun r = Cli("check '" + Path("bad.dbf") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "no end-of-data marker (0x1A) after the last record\n"
            "record 2: deletion flag 0x58 (neither blank nor '*')\n"
            "record 3: field NOTE: memo block 9 lies beyond the end of the memo file\n");
  std::ifstream in(Path("bad.dbf"), std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), table);

  // A pack refuses the broken reference, naming it, or clears it when told.
  const CliRun refused = Cli("pack '" + Path("bad.dbf") + "'");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("field NOTE"), std::string::npos) << refused.err;
  const CliRun cleared = Cli("pack --drop-broken-memos '" + Path("bad.dbf") + "'");
  EXPECT_EQ(cleared.status, 0);
  EXPECT_EQ(cleared.err,
            "tabulon-cli: record 3, field NOTE: memo block 9 lies past the end of the memo file; reference "
            "cleared\n");
  EXPECT_EQ(Cli("check '" + Path("bad.dbf") + "'").out.find("memo block"), std::string::npos);
}

}  // namespace
}  // namespace tabulon
