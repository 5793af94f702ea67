// tabulon-cli as a script runs it: arguments, standard input and output,
// exit status, on tables in a folder of the test's own. What the commands
// write is the session's, tested with it; here, what the command line adds.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

#include "support/index_bytes.h"
#include "support/table_bytes.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::MakeTable;
using test::Ref;
using test::TableSpec;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.Path().empty());
    TableSpec t;
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
    const std::string err = Path("stderr.txt"), in = Path("stdin.txt");
    std::ofstream(in, std::ios::binary) << input;
    const std::string command = std::string(TABULON_CLI) + " " + args + " <" + in + " 2>" + err;
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

  test::TempFolder folder_{"tabulon-cli"};
};

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
TEST_F(CliTest, IndexesAreListedWalkedAndKeepWritesBackUnlessForced) {
  Write("t.ntx", test::MakeNtx("NAME", 8, {{"Ann\tx   ", 1}, {"Bob     ", 2}}));
  const CliRun json = Cli("info --json " + Table());
  const std::string index = "\"indexes\":[{\"file\":\"" + Path("t.ntx") +
                            "\",\"kind\":\"ntx\",\"structural\":false,\"missing\":false,\"tags\":[{\"name\":\"t\","
                            "\"key\":\"NAME\",\"for\":\"\",\"unique\":false,\"descending\":false,\"key_length\":8,"
                            "\"key_type\":\"C\",\"collation\":\"MACHINE\",\"maintained\":false,"
                            "\"reason\":\"index files are not kept up to date yet\"}]}]}";
  EXPECT_NE(json.out.find(index), std::string::npos) << json.out;
  EXPECT_EQ(Cli("walk " + Table() + " t.ntx").out, "1\n2\n");
  const CliRun refused = Cli("set " + Table() + " 1 NAME Cy");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("stale (" + Path("t.ntx") + ")"), std::string::npos) << refused.err;
  EXPECT_EQ(Cli("set --force " + Table() + " 1 NAME Cy").status, 0);

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
  TableSpec t;
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
