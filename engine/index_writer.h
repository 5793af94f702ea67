// Writing index files: a tag changed one key at a time as the table's
// records change (through IndexPages, so that the caller journals the
// pages before they are written), and a whole file written anew from each
// tag's entries (a rebuild).
//
// The order of a tag: keys as CompareIndexKeys orders them for the tag's
// format and key type, equal keys by record number; a descending tag in
// the order its format keeps descending tags (SortIndexEntries). A unique
// tag holds one entry of each key: the first that reached it.
//
// Sections of the implementation:
//   index_writer.cpp     choosing the family, the order of entries
//   index_write_fox.cpp  .cdx and .idx
//   index_write_ntx.cpp  .ntx
//   index_write_ndx.cpp  .ndx
//   index_write_mdx.cpp  .mdx
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "index_expression.h"
#include "index_file.h"
#include "index_keys.h"
#include "index_pages.h"

namespace tabulon {

IndexKeyFormat IndexKeyFormatOf(IndexKind kind);

// One tag of a file open for changing. Keys are exactly the tag's key
// length, encoded as EvaluateIndexKey gives them.
class IndexTagWriter {
 public:
  virtual ~IndexTagWriter() = default;
  // Adds record's key. A unique tag that holds the key already is left as
  // it is, *added false. False, with the error set, when the file turns
  // out damaged or cannot grow.
  virtual bool Insert(const std::string& key, uint32_t record, bool* added = nullptr) = 0;
  // Takes out record's entry under key; *found false (and true returned)
  // when the tag holds no such entry.
  virtual bool Remove(const std::string& key, uint32_t record, bool* found = nullptr) = 0;
  const std::string& GetErrorText() const { return error_; }

 protected:
  bool Fail(const std::string& why) {
    error_ = why;
    return false;
  }

 private:
  std::string error_;
};

// Opens tag (as IndexFile::GetTags() gives it, its HeaderOffset found
// there) of an index file of kind whose bytes are pages. type: the key's
// type (the tag's KeyType where the file does not store it). Null, with
// *error set, when the tag's header cannot be read.
std::unique_ptr<IndexTagWriter> OpenIndexTagWriter(IndexKind kind, IndexPages& pages, const IndexTagInfo& tag,
                                                   IndexValueType type, std::string* error);

// Whether the family keeps a descending tag's keys in descending order;
// and the order of two keys in the tag (negative: a first).
bool IsStoredDescending(IndexKind kind, const IndexTagInfo& tag);
int CompareIndexEntryKeys(const std::string& a, const std::string& b, IndexKind kind, const IndexTagInfo& tag,
                          IndexValueType type);
// Puts entries in tag's order.
void SortIndexEntries(std::vector<IndexEntry>& entries, IndexKind kind, const IndexTagInfo& tag,
                      IndexValueType type);

// Writes anew the index file old of kind into out (empty, open for
// writing): every tag of old (tags as its IndexFile gives them, in that
// order) with its header kept byte for byte except the tree's pointers,
// and its tree made of entries[i] (in the tag's order, unique tags already
// holding one entry of a key, each key the tag's key length). Unused
// pages are left out. False, with *error set, when old cannot be read, a
// key is not of its tag's length, or out cannot be written.
bool BuildIndexFile(IndexKind kind, DbfFile& old, const std::vector<IndexTagInfo>& tags,
                    const std::vector<std::vector<IndexEntry>>& entries, DbfFile& out, std::string* error);

// The same for one family; BuildIndexFile and OpenIndexTagWriter choose.
std::unique_ptr<IndexTagWriter> OpenFoxTagWriter(IndexKind kind, IndexPages& pages, const IndexTagInfo& tag,
                                                 IndexValueType type, std::string* error);
std::unique_ptr<IndexTagWriter> OpenNtxTagWriter(IndexPages& pages, const IndexTagInfo& tag, IndexValueType type,
                                                 std::string* error);
std::unique_ptr<IndexTagWriter> OpenNdxTagWriter(IndexPages& pages, const IndexTagInfo& tag, IndexValueType type,
                                                 std::string* error);
std::unique_ptr<IndexTagWriter> OpenMdxTagWriter(IndexPages& pages, const IndexTagInfo& tag, IndexValueType type,
                                                 std::string* error);
bool BuildFoxIndexFile(IndexKind kind, DbfFile& old, const std::vector<IndexTagInfo>& tags,
                       const std::vector<std::vector<IndexEntry>>& entries, DbfFile& out, std::string* error);
bool BuildNtxIndexFile(DbfFile& old, const std::vector<IndexTagInfo>& tags,
                       const std::vector<std::vector<IndexEntry>>& entries, DbfFile& out, std::string* error);
bool BuildNdxIndexFile(DbfFile& old, const std::vector<IndexTagInfo>& tags,
                       const std::vector<std::vector<IndexEntry>>& entries, DbfFile& out, std::string* error);
bool BuildMdxIndexFile(DbfFile& old, const std::vector<IndexTagInfo>& tags,
                       const std::vector<std::vector<IndexEntry>>& entries, DbfFile& out, std::string* error);

}  // namespace tabulon
