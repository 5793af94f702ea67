// Files kept beside a table that follow its records, such as its index
// files: told of every change of a record before the table writes it, they
// keep their own changes in memory until the table's writes are flushed,
// and then write them under the same journal, so that a kill or a power
// loss leaves the table and them old together or new together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tabulon {

class DbfTable;
class WriteJournal;

class DbfRecordFollower {
 public:
  virtual ~DbfRecordFollower() = default;
  // Record's bytes change from old (null for a record being appended) to
  // now, RecordSize() bytes each. False refuses the write (GetErrorText).
  virtual bool OnRecordChange(DbfTable& table, uint32_t record, const uint8_t* old, const uint8_t* now) = 0;
  virtual bool HasChanges() const = 0;
  // Adds to journal the bytes the changes will overwrite.
  virtual bool SaveChanges(WriteJournal& journal) = 0;
  // Writes the changes and flushes them.
  virtual bool WriteChanges() = 0;
  virtual void DropChanges() = 0;
  // The files a renumbering of the records (a pack, a removal) builds
  // anew, and building them from the table as it now is.
  virtual std::vector<std::string> GetFiles() const = 0;
  virtual bool Rebuild(DbfTable& table) = 0;
  virtual const std::string& GetErrorText() const = 0;
};

}  // namespace tabulon
