// A process writing a table with index files, killed at random moments:
// the next load finds the table as it was after some whole write, and
// every index tag agreeing with it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "support/index_bytes.h"
#include "support/index_problems.h"
#include "support/temp_folder.h"
#include "table_session.h"

namespace tabulon {
namespace {

using test::Bytes;

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The names of the table's records, marked ones with a '*' in front.
std::vector<std::string> Names(const std::string& table) {
  DbfTable t(table, "", false, PlatformFileSystem());
  t.SetActive(true);
  std::vector<std::string> names;
  for (uint32_t r = 1; t.IsActive() && r <= t.RecordCount(); ++r) {
    t.GoTo(int32_t(r));
    std::string name = t.GetFieldText(1);
    names.push_back((t.IsDeleted() ? "*" : "") + name.substr(0, name.find_last_not_of(' ') + 1));
  }
  return names;
}

pid_t Start(const std::string& table, const char* mode, int* ready) {
  int ends[2];
  if (::pipe(ends) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(ends[1], 1);
    ::close(ends[0]);
    ::close(ends[1]);
    const char* args[] = {TABULON_INDEX_CHILD, table.c_str(), mode, nullptr};
    ::execv(TABULON_INDEX_CHILD, const_cast<char* const*>(args));
    ::_exit(127);
  }
  ::close(ends[1]);
  char byte = 0;
  *ready = ::read(ends[0], &byte, 1) == 1;
  ::close(ends[0]);
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST(IndexKill, AKilledWriterLeavesTableAndIndexesOfOneWholeWrite) {
  test::TempFolder folder("tabulon-index-kill");
  const std::string table = folder.Path() + "/t.dbf";
  test::TableLayout layout;
  layout.Fields = {{"NAME", 'C', 10}};
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) {
    names.push_back("R" + std::to_string(i));
    layout.Records.push_back(std::string(i % 4 == 3 ? "*" : " ") + names.back() +
                             std::string(10 - names.back().size(), ' '));
    if (i % 4 == 3) names.back() = "*" + names.back();
  }
  Bytes bytes = test::MakeTable(layout);
  bytes[28] = 0x01;
  WriteFile(table, bytes);
  WriteFile(folder.Path() + "/t.cdx", test::MakeCdx({{"NAME", "NAME", "", "", 10, false, false, {}},
                                                     {"LIVE", "UPPER(NAME)", "!DELETED()", "", 10, false, false, {}}}));
  WriteFile(folder.Path() + "/t.ntx", test::MakeNtx("NAME", 10, {}));
  {
    TableSession session;
    ASSERT_TRUE(session.Load(table).IsDone());
    ASSERT_TRUE(session.Reindex().IsDone());
  }
  // Every state the edits pass through, as the child makes them.
  std::vector<std::vector<std::string>> states{names};
  for (int i = 0; i < 200; ++i) {
    std::vector<std::string> next = states.back();
    if (i % 10 == 9) {
      next.push_back("");
      states.push_back(next);
      next.back() = "N" + std::to_string(i);
    } else {
      std::string& name = next[size_t((7 * i) % next.size())];
      name = (name[0] == '*' ? "*N" : "N") + std::to_string(i);
    }
    states.push_back(next);
  }
  std::vector<std::string> packed;
  for (const std::string& n : names)
    if (n[0] != '*') packed.push_back(n);

  for (const char* file : {"/t.cdx", "/t.ntx"})
    std::filesystem::copy_file(folder.Path() + file, folder.Path() + file + "-kept");
  const unsigned seed = unsigned(std::chrono::system_clock::now().time_since_epoch().count());
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  for (const char* mode : {"edits", "pack"}) {
    SCOPED_TRACE(mode);
    int ready = 0;
    const auto begun = std::chrono::steady_clock::now();
    ASSERT_EQ(Wait(Start(table, mode, &ready)), 0);
    const long long length =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begun).count();
    int middle = 0;
    for (int kill = 0; kill < 20; ++kill) {
      WriteFile(table, bytes);
      for (const char* file : {"/t.cdx", "/t.ntx"})
        std::filesystem::copy_file(folder.Path() + file + "-kept", folder.Path() + file,
                                   std::filesystem::copy_options::overwrite_existing);
      const pid_t pid = Start(table, mode, &ready);
      ASSERT_TRUE(ready);
      std::this_thread::sleep_for(std::chrono::microseconds(random() % uint64_t(length + 1)));
      ::kill(pid, SIGKILL);
      Wait(pid);
      ASSERT_TRUE(TableSession().Load(table).IsDone());
      const std::vector<std::string> now = Names(table);
      const bool whole = std::string(mode) == "pack"
                             ? now == names || now == packed
                             : std::find(states.begin(), states.end(), now) != states.end();
      ASSERT_TRUE(whole) << "killed at write " << now.size();
      // Kills that left a state other than the first.
      middle += now != names;
      ASSERT_EQ(test::IndexProblems(PlatformFileSystem(), table, {folder.Path() + "/t.cdx", folder.Path() + "/t.ntx"}, {{"NAME", 'C'}}), "");
    }
    std::printf("%s: %lld ms; %d of 20 kills left a later state than the first\n", mode, length / 1000, middle);
  }
}

}  // namespace
}  // namespace tabulon
