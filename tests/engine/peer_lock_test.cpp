// Another program (a real second process, since fcntl locks belong to a
// process) holds the byte-range locks its family of xBase programs takes:
// every write of ours is refused and leaves both files byte for byte as
// they were, and goes through once the peer lets go.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "dbf_table.h"
#include "support/table_bytes.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

using test::Bytes;

struct Region {
  uint64_t Offset, Length;
};

// A child process holding write locks on regions of path until Release.
class Peer {
 public:
  Peer(const std::string& path, const std::vector<Region>& regions) {
    int ready[2], done[2];
    if (::pipe(ready) != 0 || ::pipe(done) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(done[1]);  // else the child never sees the parent let go
      int fd = ::open(path.c_str(), O_RDWR);
      char ok = fd >= 0 ? '1' : '0';
      for (const Region& r : regions) {
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = static_cast<off_t>(r.Offset);
        lock.l_len = static_cast<off_t>(r.Length);
        if (::fcntl(fd, F_SETLK, &lock) != 0) ok = '0';
      }
      if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
      char byte;
      while (::read(done[0], &byte, 1) > 0) {
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(done[0]);
    char ok = '0';
    locked_ = ::read(ready[0], &ok, 1) == 1 && ok == '1';
    ::close(ready[0]);
    done_ = done[1];
  }
  ~Peer() { Release(); }
  bool Locked() const { return locked_; }
  void Release() {
    if (pid_ <= 0) return;
    ::close(done_);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int done_ = -1;
  bool locked_ = false;
};

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

enum class Write { Post, Append, Memo, Mark, Remove, Pack };

void RunWrite(DbfTable& t, Write write) {
  t.GoTo(1);
  switch (write) {
    case Write::Post:
      t.PutFieldByNumber(1, "changed");
      t.PostRecord();
      break;
    case Write::Append: t.AppendBlank(); break;
    case Write::Memo:
      t.WriteMemo(2, "new memo text");
      t.PostRecord();
      break;
    case Write::Mark:
      t.SetDeleted(true);
      t.PostRecord();
      break;
    case Write::Remove: t.RemoveRecord(1); break;
    case Write::Pack: t.Pack(); break;
  }
}

struct Family {
  const char* Name;
  uint8_t Version;
  uint8_t Flags;  // header byte 28
  const char* Memo;
  Region RecordOne;  // the lock the family's programs take on record 1
  Region Table;      // their whole-file lock
};

// Two fields of 11 bytes and the descriptor terminator: records start at
// 97 and are 22 bytes long (a memo reference of 10 digits, or 4 bytes in
// Visual FoxPro with its 263-byte backlink area after the header).
TEST(PeerLocks, EveryWriteRefusedWhileAnotherProgramHoldsItsLocks) {
  const Family families[] = {
      {"Clipper / dBase III", 0x83, 0, "dbt", {1000000001, 1}, {1000000001, 1000000000}},
      {"dBase's own bytes", 0x83, 0, "dbt", {97, 22}, {0, 97 + 3 * 22}},
      {"FoxPro", 0xF5, 0, "fpt", {0x40000000 + 97, 1}, {0x40000001, 0x3FFFFFFD}},
      {"Visual FoxPro, indexed", 0x30, 0x03, "fpt", {0x7FFFFFFD, 1}, {0x77FFFFFF, 0x07FFFFFF}},
  };
  const Write writes[] = {Write::Post, Write::Append, Write::Memo,
                          Write::Mark, Write::Remove, Write::Pack};
  test::TempFolder folder("tabulon-locks");
  const std::string dbf = folder.Path("t.dbf");
  for (const Family& f : families) {
    SCOPED_TRACE(f.Name);
    const std::string memo = folder.Path(std::string("t.") + f.Memo);
    test::TableSpec spec;
    spec.Version = f.Version;
    const uint8_t memo_width = f.Version == 0x30 ? 4 : 10;
    spec.Fields = {{"NAME", 'C', 11}, {"NOTES", 'M', memo_width}};
    spec.HeaderSize = f.Version == 0x30 ? 97 + 263 : 97;
    spec.RecordSize = 1 + 11 + memo_width;
    spec.Records = {" first", "*second", " third"};
    if (f.Version == 0x30)
      for (auto& r : spec.Records) r.resize(spec.RecordSize, '\0');
    Bytes table = test::MakeTable(spec);
    table[28] = f.Flags;
    const Bytes memo_bytes = f.Version == 0x83 ? test::MakeDbt({}) : test::MakeFpt(64, {});
    for (bool whole_table : {false, true}) {
      const Region held = whole_table ? f.Table : f.RecordOne;
      for (Write write : writes) {
        // A record's lock keeps other records free for appending.
        if (!whole_table && write == Write::Append) continue;
        SCOPED_TRACE(testing::Message() << "table lock " << whole_table << ", write "
                                        << static_cast<int>(write));
        WriteFile(dbf, table);
        WriteFile(memo, memo_bytes);
        {
          Peer peer(dbf, {held});
          ASSERT_TRUE(peer.Locked());
          auto t = NewDbfTable(dbf, memo, false);
          t->SetActive(true);
          ASSERT_EQ(t->ErrorCode, 0) << t->ErrorText;
          RunWrite(*t, write);
          EXPECT_EQ(t->ErrorCode, DbfLockedElsewhere) << t->ErrorText;
          t->SetActive(false);
          EXPECT_EQ(ReadFile(dbf), table);
          EXPECT_EQ(ReadFile(memo), memo_bytes);
        }
        // Released, the same write goes through.
        auto t = NewDbfTable(dbf, memo, false);
        t->SetActive(true);
        RunWrite(*t, write);
        EXPECT_EQ(t->ErrorCode, 0) << t->ErrorText;
        t->SetActive(false);
        EXPECT_NE(ReadFile(dbf), table);
      }
    }
  }
}

}  // namespace
}  // namespace tabulon
