// The index tags the engine keeps true as its table's records change: for
// every record written, each kept tag loses the record's old key and gains
// its new one (where its FOR condition lets the record in), in pages held
// in memory until the table's writes are flushed; then the pages go under
// the table's journal (DbfRecordFollower). A pack or a removal, which
// renumbers the records, builds the files anew.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dbf_table.h"
#include "index_expression.h"
#include "index_file.h"
#include "index_keys.h"
#include "index_pages.h"
#include "index_writer.h"

namespace tabulon {

class IndexKeeper final : public DbfRecordFollower {
 public:
  explicit IndexKeeper(DbfFileSystem& fs);
  ~IndexKeeper() override;

  // Keeps tags (numbers as the file's IndexFile lists them) of the index
  // file at path true for a table of this shape. False, with the error
  // set, when the file cannot be opened for writing or a tag's header not
  // read; nothing of the file is kept then.
  bool AddFile(const std::string& path, IndexKind kind, const std::vector<size_t>& tags,
               const IndexTableShape& shape);
  // After AddFile failed for it: the file cannot be kept now, so every
  // change of a record is refused (why: AddFile's error); a renumbering
  // still builds it anew, and keeps it from then on if it opens.
  void RefuseFile(const std::string& path, IndexKind kind, const std::vector<size_t>& tags);
  bool IsEmpty() const { return files_.empty(); }

  bool OnRecordChange(DbfTable& table, uint32_t record, const uint8_t* old, const uint8_t* now) override;
  bool HasChanges() const override;
  bool SaveChanges(WriteJournal& journal) override;
  bool WriteChanges() override;
  void DropChanges() override;
  std::vector<std::string> GetFiles() const override;
  bool Rebuild(DbfTable& table) override;
  const std::string& GetErrorText() const override { return error_; }

 private:
  struct Tag;
  struct File;
  bool Fail(const std::string& why);
  bool OpenFile(File& file);
  bool ChangeTag(DbfTable& table, Tag& tag, uint32_t record, const uint8_t* old, const uint8_t* now);

  DbfFileSystem& fs_;
  IndexTableShape shape_;
  std::vector<std::unique_ptr<File>> files_;
  std::string error_;
};

// Builds the index file at path anew from the open table: the tags
// numbered keep from its records, every other tag from the entries it
// holds now. Written beside it, flushed, and put in its place by one
// rename. False, with *error set, when the file is not readable or the
// new one cannot be written; the old file is then left as it was.
bool RebuildIndexFile(DbfTable& table, const std::string& path, IndexKind kind, const std::vector<size_t>& keep,
                      DbfFileSystem& fs, std::string* error);

}  // namespace tabulon
