// The commands of tabulon-cli, each on a table session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tabulon {
class TableSession;
struct Outcome;
}  // namespace tabulon

namespace tabulon::cli {

// One run of a command: its arguments (options removed) and options.
struct Invocation {
  std::vector<std::string> Args;
  bool Json = false;
  bool DropBrokenMemos = false;
  // Writes even when they leave the table's index files stale.
  bool Force = false;
  bool NoStructuralIndex = false;
  int64_t From = 1;
  int64_t Count = -1;  // all
  int CodePage = 0;    // 0: the table's own
  // Export and import (empty: the command's default).
  std::string Format;
  std::string Encoding;
  std::string Separator;
  std::string Dialect;
  bool Deleted = false;
  bool Append = false;
  bool DryRun = false;
};

int RunInfo(Invocation& run);
int RunCheck(Invocation& run);
int RunShow(Invocation& run);
int RunSet(Invocation& run);
int RunAppend(Invocation& run);
int RunDelete(Invocation& run);
int RunUndelete(Invocation& run);
int RunRemove(Invocation& run);
int RunPack(Invocation& run);
int RunMemo(Invocation& run);
int RunWalk(Invocation& run);
int RunSetFlag(Invocation& run);
int RunReindex(Invocation& run);
int RunExport(Invocation& run);
int RunImport(Invocation& run);

// Shared by the commands. A line on standard error after the program's name.
void Complain(const std::string& line);
// Ends a command with its outcome: 0 when done, 1 (with the reason on
// standard error) otherwise.
int Finish(const TableSession& session, const Outcome& outcome);
// Loads the table of the command (Args[0]); false (told) when it cannot be.
bool LoadTable(TableSession& session, const Invocation& run);

// Decimal digits only, within 64 bits.
bool ParseNumber(const std::string& text, int64_t* number);

}  // namespace tabulon::cli
