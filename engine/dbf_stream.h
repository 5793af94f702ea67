// DbfStream: the one wrapper through which the engine reads and writes a
// file (the data file or the memo file of an open table).
//
// It adds three things to DbfFile: 64-bit positioned access with a current
// position, read-ahead so that walking the records of a table costs one
// system call per window instead of one per record, and the file size kept
// up to date by its own writes. Writes go straight to the file before the
// call returns, unless gathered (SetGathering): then writes that continue
// or overlap one another are kept and reach the file in large pieces, in
// their order, before any read, resize, flush or close. The windows only
// ever serve reads and are patched by the writes that overlap them. There are two windows, the least recently used
// one refilled, because memo reads alternate between the memo header and
// the memo itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dbf_file.h"

namespace tabulon {

class DbfStream {
 public:
  // Takes the file over; false from Open when its size cannot be read.
  static std::unique_ptr<DbfStream> Open(std::unique_ptr<DbfFile> file);
  ~DbfStream();

  DbfStream(const DbfStream&) = delete;
  DbfStream& operator=(const DbfStream&) = delete;

  // Reads up to n bytes at position; *got is the count that arrived (fewer
  // only at the end of the file). False on a platform failure.
  bool ReadAt(uint64_t position, void* data, size_t n, size_t* got);
  // Reads exactly n bytes; a short read is a failure.
  bool ReadExactAt(uint64_t position, void* data, size_t n);
  bool WriteAt(uint64_t position, const void* data, size_t n);
  bool SetSize(uint64_t size);
  uint64_t GetSize() const { return size_; }
  // Flushes the file (DbfFile::Flush) whether or not anything was written.
  bool Flush();
  // True when a write or resize (even a failed one) came after the last
  // successful Flush: what it changed may not survive a power loss yet.
  bool HasUnflushedWrites() const { return unflushed_; }
  bool Close();
  // Gathering writes: a run of appends costs a system call per piece
  // rather than two per record. A write the file refused shows as a false
  // from the call that sent the gathered bytes on (a write, a read, Flush,
  // Close, or SetGathering(false)), and every Flush after it fails: the
  // writes gathered before it are lost. Off by default.
  bool SetGathering(bool on);
  // DbfFile's byte-range locks.
  bool TryLock(uint64_t offset, uint64_t length) { return file_ && file_->TryLock(offset, length); }
  bool Unlock(uint64_t offset, uint64_t length) { return file_ && file_->Unlock(offset, length); }

  // Sequential use, for the operations defined as "at the current position".
  uint64_t GetPosition() const { return position_; }
  void SetPosition(uint64_t position) { position_ = position; }
  bool Read(void* data, size_t n, size_t* got);
  bool Write(const void* data, size_t n);

 private:
  explicit DbfStream(std::unique_ptr<DbfFile> file, uint64_t size);
  struct Window {
    std::vector<uint8_t> bytes;
    uint64_t start = 0;
    size_t length = 0;
    uint64_t used = 0;
    bool Holds(uint64_t position, size_t n) const {
      return position >= start && position - start <= length && length - (position - start) >= n;
    }
  };
  bool Fill(Window& window, uint64_t position);
  void Forget();
  // The gathered bytes to the file; false when it refused them.
  bool SendGathered();

  std::unique_ptr<DbfFile> file_;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
  Window windows_[2];
  uint64_t clock_ = 0;
  bool unflushed_ = false;
  bool gathering_ = false;
  bool lost_ = false;
  std::vector<uint8_t> gathered_;
  uint64_t gathered_at_ = 0;
};

// Four bytes at the current position, most significant first (FoxPro memo
// numbers). False when the four bytes cannot be read or written whole.
bool ReadBigEndian32(DbfStream& stream, uint32_t* value);
bool WriteBigEndian32(DbfStream& stream, uint32_t value);

}  // namespace tabulon
