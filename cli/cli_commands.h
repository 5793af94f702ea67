// The commands of tabulon-cli, each on a table session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// Decimal digits only, within 64 bits.
bool ParseNumber(const std::string& text, int64_t* number);

}  // namespace tabulon::cli
