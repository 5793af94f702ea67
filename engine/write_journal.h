// The undo journal of a write that changes a table together with the
// files kept beside it (its index files): written beside the table as its
// file name + "~write" before a byte of the table or of those files
// changes, added to before each later change, and removed once every
// change is on the disk. Removing it is the commit; finding it at the
// next open means the write was cut off, and the saved bytes put the table
// and its files back as they were before it, together.
//
// A journal of the other kind, Rebuild, saves no bytes: it names the
// index files a pack or a removal renumbers, and at the next open they
// are built anew from the table, whichever state the table's own journal
// left it in.
//
// Layout (integers little-endian):
//    0   8  "DBFWRIT1"
//    8   1  kind: 0 put back, 1 rebuild
//    9   7  zero
//   16   8  the data file's size when the journal began
//   24  32  the data file's first 32 bytes then
//   56   8  FNV-1a 64 of the field descriptors (bytes 32 to the header's
//           size), which no write changes but for dBase 7's next
//           autoincrement values, summed as zero
//   64      entries, each: length n (LE4), n bytes, FNV-1a 64 of the
//           length and the bytes (LE8); a journal ends at its first entry
//           that is not whole. An entry's first byte says what it is:
//     'F'  a file: its size then (LE8), its base name (the rest). File 0
//          is the table.
//     'B'  saved bytes: the file's number (LE2), the offset (LE8), the
//          bytes as they were (the rest); only bytes inside the file's
//          size then are saved, what lies past it goes with the size.
// Entries are flushed before the bytes they save are overwritten.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf_file.h"
#include "dbf_stream.h"

namespace tabulon {

enum class WriteJournalKind : uint8_t { PutBack = 0, Rebuild = 1 };

std::string WriteJournalName(const std::string& table_file);
// Where an untrusted journal is set aside (numbered as the pack's).
std::string RejectedWriteJournalName(const std::string& table_file, int number);

class WriteJournal {
 public:
  WriteJournal(DbfFileSystem& fs, std::string table_file);
  ~WriteJournal();
  WriteJournal(const WriteJournal&) = delete;
  WriteJournal& operator=(const WriteJournal&) = delete;

  // Creates the journal (nothing may be at its name) naming the table as
  // data holds it now (header_size bytes of header); its name and head
  // reach the disk before it returns true.
  bool Begin(WriteJournalKind kind, DbfStream& data, uint16_t header_size);
  bool IsOpen() const { return file_ != nullptr; }
  // A file beside the table with its size now; its number (-1 on failure).
  int AddFile(const std::string& path, uint64_t size);
  int GetFileCount() const { return int(sizes_.size()); }
  uint64_t GetFileSize(int file) const { return sizes_[size_t(file)]; }
  // The bytes of file at offset as they are before being overwritten;
  // those past the file's size as declared are not saved.
  bool SaveBytes(int file, uint64_t offset, const uint8_t* bytes, size_t n);
  // Pushes what was added to the disk.
  bool Flush();
  // Every change is on the disk: the journal is removed.
  bool Commit();
  // Closes the journal and leaves it for the next open (a write that
  // could not be finished nor undone).
  void Abandon();

 private:
  bool AddEntry(const std::vector<uint8_t>& body);

  DbfFileSystem& fs_;
  std::string table_file_;
  std::string name_;
  std::unique_ptr<DbfFile> file_;
  uint64_t at_ = 0;
  std::vector<uint64_t> sizes_;
};

// What an open found beside the table.
enum class WriteJournalFound {
  None,
  Undone,    // a put-back journal applied and removed
  Rebuild,   // a rebuild journal: the files named in *rebuild are to be
             // built anew, then the journal removed (RemoveWriteJournal)
  SetAside,  // not this table's: renamed to *detail
  Failed,    // could not be read or applied (*detail: the file)
};

// Applies a journal left beside the table whose data file is open as
// data: every file's saved bytes back, in the reverse order of saving,
// then each file's size, all flushed. A journal whose head does not name
// this table as it can be after the write (another table, or this one
// restored from a backup with another structure) is set aside.
WriteJournalFound RecoverWriteJournal(DbfFileSystem& fs, const std::string& table_file, DbfStream& data,
                                      std::vector<std::string>* rebuild, std::string* detail);
bool RemoveWriteJournal(DbfFileSystem& fs, const std::string& table_file);

}  // namespace tabulon
