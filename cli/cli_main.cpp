// tabulon-cli: the table commands of the program from a terminal or a
// script. Values go in and out in UTF-8; the table keeps its own code page.
// Exit status: 0 done, 1 refused or problems found, 2 bad usage.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli_commands.h"
#include "code_pages.h"

namespace tabulon::cli {

namespace {

struct CommandEntry {
  const char* Name;
  const char* Usage;
  const char* Help;
  size_t MinArgs;
  size_t MaxArgs;  // SIZE_MAX: any number
  int (*Run)(Invocation&);
};

const CommandEntry kCommands[] = {
    {"info", "info [--json] TABLE",
     "Prints the table's flavour, record count, last update, code page (and why), fields, memo file and "
     "index files (each tag with its key, FOR condition, order, collation, and whether it is kept up to "
     "date).",
     1, 1, RunInfo},
    {"check", "check TABLE",
     "Checks the header against the file size, the field descriptors, every record's deletion flag and "
     "memo references, and the end-of-data marker; prints one problem a line. Writes nothing.",
     1, 1, RunCheck},
    {"show", "show TABLE [--from N] [--count M]",
     "Prints records as the table view shows them: a line '#' and the field names, then a line per "
     "record (its number, '*' when marked deleted, and each field's text), separated by tabs; a tab, "
     "line break or backslash inside a value is written \\t, \\n (\\r), \\\\.",
     1, 1, RunShow},
    {"set", "set TABLE RECNO FIELD VALUE",
     "Stores VALUE in a field of a record, checked as a typed cell is.", 4, 4, RunSet},
    {"append", "append TABLE [FIELD=VALUE ...]",
     "Appends a record with the values given (the others blank) and prints its number; a value refused "
     "takes the record out again.",
     1, SIZE_MAX, RunAppend},
    {"delete", "delete TABLE RECNO", "Marks a record deleted.", 2, 2, RunDelete},
    {"undelete", "undelete TABLE RECNO", "Clears a record's deletion mark.", 2, 2, RunUndelete},
    {"remove", "remove TABLE RECNO", "Takes one record out of the table at once, whatever its mark.", 2, 2,
     RunRemove},
    {"pack", "pack TABLE [--drop-broken-memos]",
     "Drops the records marked deleted and rebuilds the memo file. A memo reference that cannot be read "
     "refuses the pack, unless --drop-broken-memos: then such references are cleared (their records "
     "kept) and named on standard error.",
     1, 1, RunPack},
    {"memo", "memo TABLE RECNO FIELD [FILE|-]",
     "Prints a memo text, or stores the text of FILE (or of standard input for '-').", 3, 4, RunMemo},
    {"walk", "walk TABLE INDEX [TAG]",
     "Prints the record numbers of an index file's tag (the first when none is named) in the order the "
     "file holds them, one a line. INDEX is the file's path, or its name among the table's indexes.",
     2, 3, RunWalk},
    {"set-flag", "set-flag --no-structural-index TABLE",
     "Clears the header's flag that announces a structural index file (.cdx or .mdx), so that programs "
     "which refuse a table whose announced index is missing open it again. Writes that one byte only.",
     1, 1, RunSetFlag},
    {"reindex", "reindex TABLE [INDEX]",
     "Builds the table's index files that have a tag kept up to date (or the one named, by path or name) "
     "anew from its records: each such tag from the table, the others as they are. Each file is written "
     "beside the old one and takes its place whole.",
     1, 2, RunReindex},
    {"export",
     "export TABLE OUT [--format csv|json|sqlite|sql|xlsx] [--encoding utf-8|utf-8-no-bom|table] "
     "[--separator ,|;|tab] [--dialect postgres|sqlite] [--deleted]",
     "Writes the table's records to OUT, the format chosen by OUT's extension (.csv, .json, .sqlite or .db, "
     ".sql, .xlsx) unless given, values decoded as the table view shows them. CSV: RFC 4180, a header line, "
     "CRLF, UTF-8 with a byte-order mark unless told otherwise ('table': the table's own code page), ',' "
     "unless another separator is given. JSON: an array of objects. sqlite: a table of typed columns "
     "(replaced in an existing database). sql: CREATE TABLE and INSERTs for PostgreSQL (the default) or "
     "SQLite. xlsx: typed cells, further sheets past 1048575 records. --deleted: records marked deleted "
     "too, with a last column _DELETED. OUT is replaced only once it is whole.",
     2, 2, RunExport},
    {"import", "import CSV TABLE [--append] [--dry-run] [--encoding utf-8|866|1251|PAGE] [--separator ,|;|tab]",
     "Reads a CSV file (UTF-8, or the code page given; the separator found in its header line unless "
     "given) into a new table TABLE, its fields inferred from the data (866 text with --code-page 866), or "
     "with --append adds its lines to TABLE, columns matched to fields by name. Every line is checked first; "
     "lines that do not fit are named with their reason on standard error and nothing is written. "
     "--dry-run checks and prints the fields (of a new table) without writing.",
     2, 2, RunImport},
};

constexpr const char* kCommonOptions =
    "Options of every command:\n"
    "  --code-page PAGE      the code page the table's text is read and stored in: 866, 1251, 1252,\n"
    "                        cp850, OEM 852, utf-8, ... (by default the table's own: its .cpg file,\n"
    "                        its text, its language-driver byte, else 1251)\n"
    "  --force               write even when the table has index tags the write leaves stale\n"
    "                        (tags the program does not keep up to date; writes are refused otherwise)\n"
    "  --help                this text\n";

void PrintCommandHelp(const CommandEntry& c) {
  std::printf("usage: tabulon-cli %s\n\n%s\n\n%s", c.Usage, c.Help, kCommonOptions);
}

void PrintHelp() {
  std::printf("usage: tabulon-cli COMMAND [OPTIONS] ARGUMENTS\n\nCommands:\n");
  for (const CommandEntry& c : kCommands) std::printf("  %s\n", c.Usage);
  std::printf("\n'tabulon-cli COMMAND --help' tells more of one command.\n%s", kCommonOptions);
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "tabulon-cli: %s (see 'tabulon-cli --help')\n", message.c_str());
  return 2;
}

}  // namespace

int Main(int argc, char** argv) {
  if (argc < 2) return Usage("no command");
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintHelp();
    return 0;
  }
  const CommandEntry* command = nullptr;
  for (const CommandEntry& c : kCommands)
    if (name == c.Name) command = &c;
  if (!command) return Usage("unknown command '" + name + "'");

  Invocation run;
  bool options_end = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_end || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
      run.Args.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_end = true;
    } else if (arg == "--help") {
      PrintCommandHelp(*command);
      return 0;
    } else if (arg == "--json") {
      run.Json = true;
    } else if (arg == "--drop-broken-memos") {
      run.DropBrokenMemos = true;
    } else if (arg == "--code-page") {
      if (i + 1 >= argc) return Usage(arg + " needs a value");
      const std::string value = argv[++i];
      run.CodePage = CodePageOfName(value);
      if (run.CodePage == 0)
        return Usage("--code-page takes a code page such as 866, 1251, 1252, cp850 or utf-8, not '" + value + "'");
    } else if (arg == "--force") {
      run.Force = true;
    } else if (arg == "--no-structural-index") {
      run.NoStructuralIndex = true;
    } else if (arg == "--deleted") {
      run.Deleted = true;
    } else if (arg == "--append") {
      run.Append = true;
    } else if (arg == "--dry-run") {
      run.DryRun = true;
    } else if (arg == "--format" || arg == "--encoding" || arg == "--separator" || arg == "--dialect") {
      if (i + 1 >= argc) return Usage(arg + " needs a value");
      const std::string value = argv[++i];
      if (arg == "--format") run.Format = value;
      if (arg == "--encoding") run.Encoding = value;
      if (arg == "--separator") run.Separator = value;
      if (arg == "--dialect") run.Dialect = value;
    } else if (arg == "--from" || arg == "--count") {
      if (i + 1 >= argc) return Usage(arg + " needs a value");
      const std::string value = argv[++i];
      int64_t number = 0;
      if (!ParseNumber(value, &number) || number < 0) return Usage(arg + " takes a number, not '" + value + "'");
      if (arg == "--from") run.From = number;
      if (arg == "--count") run.Count = number;
    } else {
      return Usage("unknown option " + arg + " for " + name);
    }
  }
  if (run.Args.size() < command->MinArgs || run.Args.size() > command->MaxArgs)
    return Usage(std::string("usage: tabulon-cli ") + command->Usage);
  return command->Run(run);
}

}  // namespace tabulon::cli

int main(int argc, char** argv) { return tabulon::cli::Main(argc, argv); }
