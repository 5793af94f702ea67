// A file system held in memory, with fault injection, for tests and fuzzing.
//
// Files are byte vectors keyed by path. Share modes are kept as on Windows:
// while a file is open for writing, a second open for writing fails.
//
// Faults follow SQLite's test VFS: arm a fault for a set of operation kinds
// and a number n; the n-th matching call (counted from arming) fails, once or
// from then on, or comes up short (a read returns half the bytes, a write
// stores half of them and fails). A test loops n = 1, 2, 3 ... until an
// armed fault no longer fires, and checks what must hold after each try.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbf_file.h"

namespace tabulon {

enum DbfFaultKind : unsigned {
  FaultRead = 1u << 0,
  FaultWrite = 1u << 1,
  FaultSeek = 1u << 2,
  FaultResize = 1u << 3,
  FaultOpen = 1u << 4,
  FaultRename = 1u << 5,
  FaultRemove = 1u << 6,
  FaultFlush = 1u << 7,
  FaultSize = 1u << 8,
  FaultAll = 0x1FF,
};

enum class DbfFaultMode { FailOnce, FailPersistent, Short };

class MemoryFileSystem final : public DbfFileSystem {
 public:
  MemoryFileSystem();

  // Files.
  void SetFile(const std::string& path, std::vector<uint8_t> bytes);
  std::vector<uint8_t> GetFile(const std::string& path) const;
  bool HasFile(const std::string& path) const { return files_.count(path) != 0; }
  std::vector<std::string> ListFiles() const;
  // Makes the file refuse opens for writing (read-only or locked elsewhere).
  void SetWritable(const std::string& path, bool writable);
  void SetNow(const DbfLocalTime& now) { now_ = now; }

  // Faults.
  void ArmFault(unsigned kinds, long n, DbfFaultMode mode);
  void DisarmFault();
  bool FaultFired() const { return fired_; }
  // The number of matching operations since arming (to size a fault loop).
  long OperationCount() const { return counter_; }

  // DbfFileSystem.
  std::unique_ptr<DbfFile> Open(const std::string& path, DbfOpenMode mode) override;
  bool Exists(const std::string& path) override;
  bool GetInfo(const std::string& path, DbfFileInfo* info) override;
  bool Remove(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  DbfLocalTime Now() override { return now_; }

  // What a file operation asks before it runs: Pass, Fail or Short.
  enum class Verdict { Pass, Fail, Short };
  Verdict Check(DbfFaultKind kind);

  struct Node {
    std::vector<uint8_t> bytes;
    int writers = 0;
    bool writable = true;
    int64_t modified = 0;
  };
  int64_t Tick() { return ++clock_; }

 private:
  std::map<std::string, std::shared_ptr<Node>> files_;
  DbfLocalTime now_;
  unsigned kinds_ = 0;
  long target_ = 0;
  long counter_ = 0;
  DbfFaultMode mode_ = DbfFaultMode::FailOnce;
  bool fired_ = false;
  int64_t clock_ = 0;
};

}  // namespace tabulon
