// Index files of the xBase family, read only: FoxPro's compound .cdx and
// single-tag .idx (compact and the older uncompressed layout), Clipper's
// .ntx, dBase III's .ndx and dBase IV's multiple-tag .mdx.
//
// An IndexFile lists its tags and walks one tag in the order the file keeps
// it, giving each key's stored bytes and its record number. Every read is
// checked against the file's size and every page is visited at most once
// per walk, so a damaged file ends a walk with an error, never with a crash
// or an endless loop. Nothing is thrown and nothing is written.
//
// Sections of the implementation:
//   index_file.cpp   opening by kind, the page reader shared by the families
//   index_cdx.cpp    .cdx and .idx
//   index_ntx.cpp    .ntx
//   index_ndx.cpp    .ndx
//   index_mdx.cpp    .mdx
// The page layouts themselves are in index_layout.h, for the readers here
// and for a writer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbf_file.h"

namespace tabulon {

enum class IndexKind { Cdx, Idx, Ntx, Ndx, Mdx };

// "cdx", "idx", ...; and the kind a file name's extension names (any
// letter case); false for other extensions.
const char* IndexKindName(IndexKind kind);
bool IndexKindOfName(const std::string& file_name, IndexKind* kind);

struct IndexTagInfo {
  // The tag's name: stored in .cdx and .mdx, the file's base name otherwise.
  std::string Name;
  std::string Key;      // the key expression, as stored
  std::string ForExpr;  // the FOR condition; empty when none
  bool Unique = false;
  bool Descending = false;
  uint16_t KeyLength = 0;
  // 'C', 'N', 'D' where the file says (.mdx, .ndx); otherwise as the key
  // was resolved against the table's fields ('?' when unknown).
  char KeyType = '?';
  // FoxPro's collating sequence ("MACHINE", "GENERAL", "RUSSIAN" ...);
  // "MACHINE" (byte order) for the other families.
  std::string Collation = "MACHINE";
  // Where the tag's header starts in the file.
  uint64_t HeaderOffset = 0;
};

// One key of a walk: its bytes as the file holds them (FoxPro's trimmed
// trailing bytes restored) and the record it points at (from 1).
struct IndexEntry {
  std::string Key;
  uint32_t Record = 0;
};

// A table field, for resolving the type of a key that names one.
struct IndexKeyField {
  std::string Name;
  char Type = 'C';
};

class IndexFile {
 public:
  virtual ~IndexFile() = default;
  IndexKind GetKind() const { return kind_; }
  const std::string& GetFileName() const { return file_name_; }
  const std::vector<IndexTagInfo>& GetTags() const { return tags_; }
  // The first tag of that name (any letter case); -1 when none.
  int FindTag(const std::string& name) const;
  // Walks tag number tag (from 0) in order; each returns false to stop.
  // False, with the error set, when the file turns out damaged; the keys
  // given until then were read whole.
  virtual bool Walk(size_t tag, const std::function<bool(const IndexEntry&)>& each) = 0;
  const std::string& GetErrorText() const { return error_; }

 protected:
  IndexFile(IndexKind kind, std::string file_name) : kind_(kind), file_name_(std::move(file_name)) {}
  bool Fail(const std::string& why);

  std::vector<IndexTagInfo> tags_;

 private:
  IndexKind kind_;
  std::string file_name_;
  std::string error_;
};

// Opens an index file for reading and reads its tags. Null, with *error
// saying why, when the file cannot be opened or its header is not one of
// that kind. fields resolve the key type where the file does not store it.
std::unique_ptr<IndexFile> OpenIndexFile(const std::string& path, IndexKind kind, DbfFileSystem& fs,
                                         const std::vector<IndexKeyField>& fields, std::string* error);

// The type of a key expression that names one field (alone, or with an
// alias "X->"): that field's type; 'C' for any other expression of
// character functions; '?' otherwise.
char ResolveKeyType(const std::string& key, const std::vector<IndexKeyField>& fields);

}  // namespace tabulon
