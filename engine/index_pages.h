// The bytes of one index file while a write changes it: reads see the
// changes made so far, and nothing reaches the file until the caller has
// the old bytes of every changed part saved (a journal) and writes the
// changes out. Kept in 512-byte chunks, the page size every index family
// uses or a multiple of it, so that a page rewritten twice costs one write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "dbf_file.h"

namespace tabulon {

constexpr size_t kIndexChunk = 512;

class IndexPages {
 public:
  // file: the index file, open for reading (for writing too when the
  // changes are to be written out).
  explicit IndexPages(DbfFile& file);
  // Reads the file's size; false when it cannot.
  bool Open();
  // The size before any change, and with the changes (pages added).
  uint64_t GetOriginalSize() const { return original_size_; }
  uint64_t GetSize() const { return size_; }
  // Exactly n bytes at offset, as changed so far; false when not all of
  // them lie inside GetSize() or a read fails.
  bool Read(uint64_t offset, size_t n, uint8_t* out);
  // Replaces n bytes at offset; the file grows when they reach past its
  // end (the bytes between read as zero). False when a chunk to be patched
  // cannot be read.
  bool Write(uint64_t offset, const uint8_t* bytes, size_t n);
  // n zero bytes added at the end, at the next multiple of align; their
  // offset.
  uint64_t Append(size_t n, size_t align = kIndexChunk);
  bool HasChanges() const { return !changed_.empty() || size_ != original_size_; }
  // The changed chunks by offset, each kIndexChunk bytes (the last may
  // reach past GetSize(): only the part inside is written).
  const std::map<uint64_t, std::vector<uint8_t>>& GetChanges() const { return changed_; }
  // Writes the changes into the file (not flushed) and forgets them.
  bool WriteOut();
  // Forgets the changes.
  void Drop();

 private:
  bool Chunk(uint64_t at, std::vector<uint8_t>** chunk);

  DbfFile& file_;
  uint64_t original_size_ = 0;
  uint64_t size_ = 0;
  std::map<uint64_t, std::vector<uint8_t>> changed_;
};

}  // namespace tabulon
