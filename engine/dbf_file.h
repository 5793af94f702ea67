// The engine's file layer: the only way the table engine reaches the disk.
//
// DbfTable never calls the operating system. It holds DbfFile objects made by
// a DbfFileSystem, and every byte moves through them. One implementation per
// platform (file_posix.cpp, file_win32.cpp, chosen when linking) and one in
// memory with fault injection for tests (file_memory.h).
//
// Every operation reports failure by returning false; nothing is thrown.
// Paths are UTF-8 and are converted to the platform's form only inside the
// implementations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tabulon {

class DbfFile {
 public:
  virtual ~DbfFile() = default;

  // Reads up to n bytes at the current position; *got receives the count
  // (0 at end of file). False when the platform reports an error.
  virtual bool Read(void* data, size_t n, size_t* got) = 0;
  // Writes n bytes at the current position. A short write is a failure.
  virtual bool Write(const void* data, size_t n) = 0;
  virtual bool Seek(uint64_t position) = 0;
  virtual bool Tell(uint64_t* position) = 0;
  virtual bool GetSize(uint64_t* size) = 0;
  // Truncates or extends; bytes added by extending read as zero.
  virtual bool SetSize(uint64_t size) = 0;
  // Pushes written bytes to the device: what was written before a Flush
  // survives a power loss, what was written after it may or may not, in
  // any part. A file's name is the folder's business (DbfFileSystem::
  // FlushFolder).
  virtual bool Flush() = 0;
  virtual bool Close() = 0;
  // Byte-range locks, the way other xBase programs keep writers apart: an
  // exclusive lock on length bytes from offset, taken without waiting
  // (false when another program holds any of them), and its release with
  // the same offset and length. The bytes need not exist.
  virtual bool TryLock(uint64_t offset, uint64_t length) = 0;
  virtual bool Unlock(uint64_t offset, uint64_t length) = 0;

  // Positioned forms; a platform with positioned calls saves the seek.
  // The current position afterwards is unspecified.
  virtual bool ReadAt(uint64_t position, void* data, size_t n, size_t* got) {
    *got = 0;
    return Seek(position) && Read(data, n, got);
  }
  virtual bool WriteAt(uint64_t position, const void* data, size_t n) {
    return Seek(position) && Write(data, n);
  }
};

// Date and time of the local clock, as the table headers and file stamps need.
struct DbfLocalTime {
  int Year = 0;
  int Month = 0;  // 1..12
  int Day = 0;    // 1..31
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};

// Size and modification time of a file, used to notice changes made by
// other programs between two opens.
struct DbfFileInfo {
  uint64_t Size = 0;
  int64_t ModifiedTime = 0;  // platform units; only compared for equality
};

enum class DbfOpenMode {
  // Existing file, read and write (tables, memo files). Other programs may
  // read and write it too, as the xBase programs sharing a table do: the
  // byte-range locks keep the writes apart. A second writer of this
  // program is refused.
  ReadWriteShared,
  // Created or replaced, read and write, no sharing.
  Create,
  // Existing file, read only, others may read and write (copies, checks).
  ReadOnly,
  // A new file, read and write, others may read; fails when anything of
  // that name exists already, a symbolic link included (journals).
  CreateNew,
  // As ReadOnly, but a symbolic link (or reparse point) at the name is
  // refused rather than followed, and a FIFO, device or folder there is
  // refused without waiting for a writer (journals found beside a table).
  ReadOnlyNoFollow,
  // Existing file, read and write; other programs may read but not write
  // (a journal being finished).
  ReadWriteExclusive,
};

// What makes a file the same file under any spelling of its name: device
// and inode on POSIX, volume serial number and file index on Windows.
struct DbfFileIdentity {
  uint64_t Device = 0;
  uint64_t Index = 0;
  bool operator==(const DbfFileIdentity& other) const {
    return Device == other.Device && Index == other.Index;
  }
  bool operator!=(const DbfFileIdentity& other) const { return !(*this == other); }
};

class DbfFileSystem {
 public:
  virtual ~DbfFileSystem() = default;

  // Null when the file cannot be opened in that mode.
  virtual std::unique_ptr<DbfFile> Open(const std::string& path, DbfOpenMode mode) = 0;
  // True for an existing file that is not a directory.
  virtual bool Exists(const std::string& path) = 0;
  virtual bool GetInfo(const std::string& path, DbfFileInfo* info) = 0;
  virtual bool Remove(const std::string& path) = 0;
  // Moves from over to, replacing an existing to in one step.
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  // Makes the names in the folder holding path_in_folder (a file's path,
  // not the folder's own) survive a power loss: a file created, removed or
  // renamed there is durable only once this returns true. A file's bytes
  // are not its name; they need DbfFile::Flush too.
  virtual bool FlushFolder(const std::string& path_in_folder) = 0;
  // The names (not paths) of the files in the folder holding
  // path_in_folder, as the folder spells them; false when it cannot be
  // read. For the files that belong to a table under another spelling of
  // its name (X.dbf beside X.CDX).
  virtual bool ListFolder(const std::string& path_in_folder, std::vector<std::string>* names) = 0;
  // The identity of the file at path, links followed; false when none.
  virtual bool GetIdentity(const std::string& path, DbfFileIdentity* identity) = 0;
  virtual DbfLocalTime Now() = 0;
};

// The file system of the platform the program runs on.
DbfFileSystem& PlatformFileSystem();

}  // namespace tabulon
