// Another program (a real second process) holds the byte-range locks its
// family of xBase programs takes: every write of ours is refused and leaves
// both files byte for byte as they were, and goes through once it lets go.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "dbf_table.h"
#include "support/peer_lock.h"
#include "support/table_bytes.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

using test::Bytes;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// Post, append, memo, mark, remove, pack; on record 1.
void RunWrite(DbfTable& t, int write) {
  t.GoTo(1);
  if (write == 0) t.PutFieldByNumber(1, "changed");
  if (write == 1) t.AppendBlank();
  if (write == 2) t.WriteMemo(2, "new memo text");
  if (write == 3) t.SetDeleted(true);
  if (write == 4) t.RemoveRecord(1);
  if (write == 5) t.Pack();
  t.PostRecord();
}

// Records start at 97 (two fields) and are 22 bytes long (a reference of
// 10 digits, or of 4 bytes after Visual FoxPro's 263-byte backlink area).
TEST(PeerLocks, EveryWriteRefusedWhileAnotherProgramHoldsItsLocks) {
  struct Family {
    const char* Name;
    uint8_t Version, Flags;  // header bytes 0 and 28
    uint64_t Record[2], Table[2];  // the family's locks: record 1, whole file
  } const families[] = {
      {"Clipper, dBase III", 0x83, 0, {1000000001, 1}, {1000000001, 1000000000}},
      {"dBase, the bytes", 0x83, 0, {97, 22}, {0, 97 + 3 * 22}},
      {"FoxPro", 0xF5, 0, {0x40000000 + 97, 1}, {0x40000001, 0x3FFFFFFD}},
      {"Visual FoxPro, .cdx", 0x30, 0x03, {0x7FFFFFFD, 1}, {0x77FFFFFF, 0x07FFFFFF}},
  };
  test::TempFolder folder("tabulon-locks");
  const std::string dbf = folder.Path("t.dbf");
  for (const Family& f : families) {
    const bool vfp = f.Version == 0x30;
    const std::string memo = folder.Path(f.Version == 0x83 ? "t.dbt" : "t.fpt");
    test::TableLayout layout;
    layout.Version = f.Version;
    layout.Fields = {{"NAME", 'C', 11}, {"NOTES", 'M', uint8_t(vfp ? 4 : 10)}};
    layout.HeaderSize = vfp ? 97 + 263 : 97;
    layout.Records = {" first", "*second", " third"};
    for (auto& r : layout.Records) r.resize(vfp ? 16 : 22, vfp ? '\0' : ' ');
    Bytes table = test::MakeTable(layout);
    table[28] = f.Flags;
    const Bytes memo_bytes = f.Version == 0x83 ? test::MakeDbt({}) : test::MakeFpt(64, {});
    for (bool whole : {false, true}) {
      for (int write = 0; write < 6; ++write) {
        // A record's lock leaves appending free.
        if (!whole && write == 1) continue;
        SCOPED_TRACE(testing::Message() << f.Name << ", table " << whole << ", write " << write);
        WriteFile(dbf, table);
        WriteFile(memo, memo_bytes);
        for (bool held : {true, false}) {
          test::Peer peer(dbf, whole ? f.Table[0] : f.Record[0], whole ? f.Table[1] : f.Record[1]);
          ASSERT_TRUE(peer.Locked());
          if (!held) peer.Release();
          auto t = NewDbfTable(dbf, memo, false);
          t->SetActive(true);
          RunWrite(*t, write);
          EXPECT_EQ(t->GetErrorCode(), held ? DbfLockedElsewhere : 0) << t->GetErrorText();
          t->SetActive(false);
          EXPECT_EQ(ReadFile(dbf) == table && ReadFile(memo) == memo_bytes, held);
        }
      }
    }
    // A journal left beside the table is dealt with (here: set aside) only
    // under the table's lock; until then the open is refused.
    WriteFile(dbf, table);
    for (bool held : {true, false}) {
      SCOPED_TRACE(testing::Message() << f.Name << ", journal, held " << held);
      WriteFile(dbf + "~write", Bytes(100, 'x'));
      test::Peer peer(dbf, f.Table[0], f.Table[1]);
      if (!held) peer.Release();
      auto t = NewDbfTable(dbf, memo, false);
      t->SetActive(true);
      EXPECT_EQ(t->GetErrorCode(), held ? DbfLockedElsewhere : DbfPackJournalSetAside) << t->GetErrorText();
      EXPECT_EQ(t->IsActive(), !held);
      EXPECT_EQ(std::ifstream(dbf + "~write").good(), held);
      t->SetActive(false);
      std::remove((dbf + "~write-rejected").c_str());
    }
  }
}

}  // namespace
}  // namespace tabulon
