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
//
// Power loss: once recording starts, every change (a write, a resize, the
// creation, removal or renaming of a file) and every flush is a step. A
// power loss at step k keeps each change before k that a flush made
// durable before k: a file's bytes by a Flush of that file, a name by a
// FlushFolder of its folder (both folders for a rename), the strict POSIX
// rules. Of the other changes before k any subset may have reached the
// disk; a test chooses which and reopens the table on what is left.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
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
  // Another program holds length bytes from offset of the file locked (a
  // length of 0 releases every range it holds); TryLock of an overlapping
  // range fails.
  void SetPeerLock(const std::string& path, uint64_t offset, uint64_t length);

  // Faults.
  void ArmFault(unsigned kinds, long n, DbfFaultMode mode);
  void DisarmFault();
  bool FaultFired() const { return fired_; }
  // The number of matching operations since arming (to size a fault loop).
  long OperationCount() const { return counter_; }

  // Power loss. The files at StartRecording count as durable.
  using FileSet = std::map<std::string, std::vector<uint8_t>>;
  void StartRecording();
  void StopRecording() { recording_ = false; }
  size_t GetStepCount() const { return steps_.size(); }
  // The changes before step k that no flush before k made durable.
  std::vector<size_t> GetUnflushedSteps(size_t k) const;
  // The files after a power loss at step k: the durable changes before k
  // and, of the unflushed ones, those listed in kept.
  FileSet GetPowerLossFiles(size_t k, const std::vector<size_t>& kept) const;
  // Replaces every file (to reopen a table on a power-loss state).
  void SetFiles(const FileSet& files);

  // DbfFileSystem.
  std::unique_ptr<DbfFile> Open(const std::string& path, DbfOpenMode mode) override;
  bool Exists(const std::string& path) override;
  bool GetInfo(const std::string& path, DbfFileInfo* info) override;
  bool Remove(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool FlushFolder(const std::string& path_in_folder) override;
  bool GetIdentity(const std::string& path, DbfFileIdentity* identity) override;
  bool ListFolder(const std::string& path_in_folder, std::vector<std::string>* names) override;
  DbfLocalTime Now() override { return now_; }

  // What a file operation asks before it runs: Pass, Fail or Short.
  enum class Verdict { Pass, Fail, Short };
  Verdict Check(DbfFaultKind kind);

  struct Node {
    std::vector<uint8_t> bytes;
    int writers = 0;
    bool writable = true;
    int64_t modified = 0;
    uint64_t id = 0;
    // Byte ranges (offset, length) another program holds locked.
    std::vector<std::pair<uint64_t, uint64_t>> peer_locks;
  };
  int64_t Tick() { return ++clock_; }

  // What the files call to record their steps.
  void OnWrite(const Node& node, uint64_t position, const uint8_t* data, size_t n);
  void OnResize(const Node& node, uint64_t size);
  void OnFlush(const Node& node);

 private:
  struct Step {
    enum Kind { Write, Resize, Create, Remove, Rename, FlushFile, FlushFolder } kind;
    uint64_t node = 0;
    std::string path, to;  // the name changed; the folder of a FlushFolder
    uint64_t position = 0;  // where a write goes; a resize's new size
    std::vector<uint8_t> bytes;
  };
  std::shared_ptr<Node> NewNode();
  void Record(Step step);
  std::vector<size_t> DurableAt() const;

  std::vector<Step> steps_;
  bool recording_ = false;
  std::map<std::string, uint64_t> start_names_;
  std::map<uint64_t, std::vector<uint8_t>> start_nodes_;
  uint64_t next_id_ = 0;

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
