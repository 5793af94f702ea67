// A packing or removing process killed at random moments (POSIX only): the
// next open, whatever spelling of the memo file it is given, finds the old
// table or the new one, never a mixture, and nothing else in the folder.
// Also what sits at a journal's names on a real file system: folders,
// pipes, links.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "dbf_table.h"
#include "pack_journal.h"
#include "support/table_bytes.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

namespace stdfs = std::filesystem;
using test::Bytes;
using test::TableLayout;

class Folder {
 public:
  std::string Path(const std::string& name) const { return folder_.Path(name); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : stdfs::directory_iterator(stdfs::u8path(folder_.Path())))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  test::TempFolder folder_{"tabulon-kill"};
};

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every record as flag, fields and memo text (the memo reference itself
// changes in a pack).
std::vector<std::string> Records(const std::string& table_file, const std::string& memo_file,
                                 uint8_t* error) {
  auto t = NewDbfTable(table_file, memo_file, true);
  t->SetActive(true);
  *error = t->GetErrorCode();
  std::vector<std::string> out;
  for (uint32_t r = 1; t->IsActive() && r <= t->RecordCount(); ++r) {
    t->GoTo(static_cast<int32_t>(r));
    std::string record(reinterpret_cast<const char*>(t->GetRecordBuffer()), t->RecordSize());
    if (!memo_file.empty()) {
      record.resize(t->GetField(2).FieldPosition);
      std::string text;
      t->ReadMemo(2, text);
      record += "|" + text;
    }
    out.push_back(record);
  }
  t->SetActive(false);
  return out;
}

struct Child {
  pid_t Pid = -1;
  int Ready = -1;  // reads the byte the child writes when the pack begins
};

Child StartPack(const std::string& table_file, const std::string& memo_file, bool remove) {
  int pipe_ends[2];
  Child child;
  if (::pipe(pipe_ends) != 0) return child;
  child.Pid = ::fork();
  if (child.Pid == 0) {
    ::dup2(pipe_ends[1], 1);
    ::close(pipe_ends[0]);
    ::close(pipe_ends[1]);
    const char* args[] = {TABULON_PACK_CHILD, table_file.c_str(), memo_file.c_str(),
                          remove ? "remove" : nullptr, nullptr};
    ::execv(TABULON_PACK_CHILD, const_cast<char* const*>(args));
    ::_exit(127);
  }
  ::close(pipe_ends[1]);
  child.Ready = pipe_ends[0];
  return child;
}

bool WaitReady(const Child& child) {
  char byte = 0;
  return ::read(child.Ready, &byte, 1) == 1;
}

int Finish(Child& child) {
  int status = 0;
  ::waitpid(child.Pid, &status, 0);
  ::close(child.Ready);
  return status;
}

struct Case {
  const char* Name;
  uint8_t Version;
  const char* MemoExtension;  // "" for none
  int Records;
  bool Remove = false;  // record 1 removed instead of a pack
};

// Records of 100 bytes, every third marked deleted; memo flavours with a
// text of a few hundred bytes per record.
void WriteTable(const Case& c, const std::string& table_file, const std::string& memo_file) {
  TableLayout s;
  s.Version = c.Version;
  s.Fields = {{"NAME", 'C', 89}};
  std::vector<std::string> texts;
  for (int i = 0; i < c.Records; ++i) texts.push_back(std::string(50 + i % 400, 'a' + i % 26) + std::to_string(i));
  std::vector<uint32_t> blocks;
  Bytes memo;
  if (*c.MemoExtension) {
    if (c.Version == 0x8B) {
      memo = test::MakeDbt4(512, texts, &blocks);
    } else if (c.Version == 0xF5) {
      memo = test::MakeFpt(64, texts, &blocks);
    } else {
      memo = test::MakeDbt(texts);
      blocks = test::DbtBlocks(texts);
    }
    s.Fields.push_back({"NOTE", 'M', 10});
  } else {
    s.Fields.push_back({"N", 'N', 10});
  }
  for (int i = 0; i < c.Records; ++i) {
    std::string name = "record " + std::to_string(i);
    name.resize(89, '.');
    const std::string tail = *c.MemoExtension ? test::Ref(blocks[i]) : test::Ref(i);
    s.Records.push_back((i % 3 == 1 ? "*" : " ") + name + tail);
  }
  WriteFile(table_file, test::MakeTable(s));
  if (*c.MemoExtension) WriteFile(memo_file, memo);
}

TEST(PackKillTest, AKilledPackLeavesTheOldTableOrThePackedOne) {
  const Case cases[] = {
      {"plain", 0x03, "", 8000},
      {"dBase III memo", 0x83, ".dbt", 1500},
      {"dBase IV memo", 0x8B, ".dbt", 1500},
      {"FoxPro memo", 0xF5, ".fpt", 1500},
      {"removal of record 1", 0x03, "", 40000, true},
      {"removal of record 1, memo", 0x83, ".dbt", 1500, true},
  };
  const unsigned seed = static_cast<unsigned>(
      std::chrono::system_clock::now().time_since_epoch().count());
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  constexpr int kKills = 30;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Folder folder;
    const std::string table_file = folder.Path("T.DBF");
    const std::string memo_file = *c.MemoExtension ? folder.Path(std::string("T") + c.MemoExtension) : "";
    WriteTable(c, table_file, memo_file);
    const Bytes old_table = ReadFile(table_file);
    const Bytes old_memo = memo_file.empty() ? Bytes() : ReadFile(memo_file);
    const std::vector<std::string> names = folder.Names();
    uint8_t error = 0;
    const std::vector<std::string> old_records = Records(table_file, memo_file, &error);
    std::vector<std::string> packed;
    for (const auto& r : old_records)
      if (c.Remove ? &r != &old_records[0] : r[0] != '*') packed.push_back(r);

    // One pack to the end, timed, to spread the kills over its length.
    Child whole = StartPack(table_file, memo_file, c.Remove);
    ASSERT_TRUE(WaitReady(whole));
    const auto begun = std::chrono::steady_clock::now();
    const int status = Finish(whole);
    const auto length = std::chrono::steady_clock::now() - begun;
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ASSERT_EQ(Records(table_file, memo_file, &error), packed);

    int old_seen = 0, new_seen = 0;
    std::uniform_int_distribution<long long> delay(
        0, std::chrono::duration_cast<std::chrono::microseconds>(length).count() * 11 / 10);
    for (int kill = 0; kill < kKills; ++kill) {
      WriteFile(table_file, old_table);
      if (!memo_file.empty()) WriteFile(memo_file, old_memo);
      Child child = StartPack(table_file, memo_file, c.Remove);
      ASSERT_TRUE(WaitReady(child));
      const long long wait = delay(random);
      std::this_thread::sleep_for(std::chrono::microseconds(wait));
      ::kill(child.Pid, SIGKILL);
      Finish(child);
      SCOPED_TRACE("killed after " + std::to_string(wait) + " us");
      // The first open after the kill undoes it, given the memo file by
      // another name: none, through "./", in other letter case.
      if (!memo_file.empty() && kill % 4 != 0) {
        const std::string spellings[] = {"", folder.Path("./T") + c.MemoExtension,
                                         folder.Path("t") + c.MemoExtension};
        auto t = NewDbfTable(table_file, spellings[kill % 4 - 1], true);
        t->SetActive(true);
        EXPECT_TRUE(t->IsActive()) << t->GetErrorText();
        t->SetActive(false);
      }

      const std::vector<std::string> now = Records(table_file, memo_file, &error);
      EXPECT_EQ(error, 0);
      EXPECT_EQ(folder.Names(), names);
      if (now == old_records) {
        ++old_seen;
        EXPECT_EQ(ReadFile(table_file), old_table);
        if (!memo_file.empty()) {
          EXPECT_EQ(ReadFile(memo_file), old_memo);
        }
      } else {
        ++new_seen;
        ASSERT_EQ(now, packed);
        const Bytes table = ReadFile(table_file);
        const size_t end = (table[8] | (table[9] << 8)) + packed.size() * (table[10] | (table[11] << 8));
        EXPECT_EQ(table.size(), end + 1);
        EXPECT_EQ(table.back(), 0x1A);
      }
      if (::testing::Test::HasFailure()) return;
    }
    std::printf("%s: %lld ms; %d kills left the old table, %d the new one\n", c.Name,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(length).count()),
                old_seen, new_seen);
  }
}

// Folders and pipes at the names of journals set aside, and a pipe at the
// journal's own name: the table opens, a journal is set aside past them,
// and a pass that cannot write its journal says so, naming it. A link at
// the journal's name is set aside, never followed, even to a journal that
// would fit the table.
TEST(PackKillTest, FoldersPipesAndLinksAtAJournalsNames) {
  Folder folder;
  const std::string table_file = folder.Path("T.DBF");
  const Case c = {"plain", 0x03, "", 300};
  WriteTable(c, table_file, "");
  Bytes torn = ReadFile(table_file);
  const std::string journal = PackJournalName(table_file);
  {  // a whole journal of this table kept elsewhere, the table torn since
    PackJournal saved;
    saved.DataSize = torn.size();
    std::copy(torn.begin(), torn.begin() + 32, saved.Header);
    saved.RegionOffset = torn.size() - 1;
    auto data = DbfStream::Open(PlatformFileSystem().Open(table_file, DbfOpenMode::ReadOnly));
    ASSERT_TRUE(UntouchedSum(*data, saved.Header, saved.RegionOffset, &saved.Untouched));
    auto out = PlatformFileSystem().Open(folder.Path("kept"), DbfOpenMode::CreateNew);
    ASSERT_TRUE(WritePackJournal(*out, &saved, *data, nullptr));
  }
  torn.back() = 'Z';
  WriteFile(table_file, torn);
  ASSERT_EQ(::symlink(folder.Path("kept").c_str(), journal.c_str()), 0);
  ASSERT_EQ(::mkdir(RejectedJournalName(table_file, 1).c_str(), 0700), 0);
  ASSERT_EQ(::mkfifo(RejectedJournalName(table_file, 2).c_str(), 0600), 0);
  auto t = NewDbfTable(table_file, "", true);
  t->SetActive(true);
  EXPECT_TRUE(t->IsActive());
  EXPECT_EQ(t->GetErrorText(), std::string(DbfErrorMessage(DbfPackJournalSetAside)) + " " +
                              RejectedJournalName(table_file, 3));
  EXPECT_EQ(ReadFile(table_file), torn);
  t->SetActive(false);

  ASSERT_EQ(::mkfifo(journal.c_str(), 0600), 0);
  t->SetActive(true);
  ASSERT_TRUE(t->IsActive());
  const std::string taken = std::string(DbfErrorMessage(DbfJournalNameTaken)) + " " + journal;
  t->Pack();
  EXPECT_EQ(t->GetErrorText(), taken);
  t->ClearError();
  t->RemoveRecord(1);
  EXPECT_EQ(t->GetErrorText(), taken);
  t->SetActive(false);
  EXPECT_EQ(ReadFile(table_file), torn);
}

}  // namespace
}  // namespace tabulon
