// What the readers of the index families share: reading checked pages of
// one file and walking a tree of decoded pages. Internal to index_*.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "index_file.h"
#include "index_layout.h"

namespace tabulon {

// An index file opened for reading, with its size: every read is checked
// to lie inside it.
class IndexBytes {
 public:
  explicit IndexBytes(std::unique_ptr<DbfFile> file);
  bool IsOpen() const { return file_ != nullptr; }
  uint64_t GetSize() const { return size_; }
  // Exactly n bytes at offset; false when they are not all in the file.
  bool Read(uint64_t offset, size_t n, std::vector<uint8_t>& out);

 private:
  std::unique_ptr<DbfFile> file_;
  uint64_t size_ = 0;
};

// Reads and decodes the page at a byte offset; false, with why set, when
// it cannot be read or is not a page of the tag.
using IndexNodeReader = std::function<bool(uint64_t offset, IndexNode* node, std::string* why)>;

// Walks the tree from its root in order, each page at most once and no
// deeper than any real index goes; each returns false to stop. False, with
// why set, on a page that cannot be read, is met twice, or lies too deep.
bool WalkIndexTree(uint64_t root, const IndexNodeReader& read, const std::function<bool(const IndexEntry&)>& each,
                   std::string* why);

// Decodes one page of a tag; false, with why set, when it is not one.
using IndexPageDecoder = std::function<bool(const uint8_t* page, IndexNode* node, std::string* why)>;
// A file of one tag whose pages are all page_size bytes, its tree rooted at
// byte offset root (Clipper's .ntx, dBase III's .ndx).
std::unique_ptr<IndexFile> NewOneTagIndex(IndexKind kind, const std::string& path, IndexBytes bytes,
                                          const IndexTagInfo& tag, uint64_t root, size_t page_size,
                                          IndexPageDecoder decode);

// The readers of each family.
std::unique_ptr<IndexFile> OpenFoxIndex(const std::string& path, IndexKind kind, IndexBytes bytes,
                                        const std::vector<IndexKeyField>& fields, std::string* error);
std::unique_ptr<IndexFile> OpenNtxIndex(const std::string& path, IndexBytes bytes,
                                        const std::vector<IndexKeyField>& fields, std::string* error);
std::unique_ptr<IndexFile> OpenNdxIndex(const std::string& path, IndexBytes bytes, std::string* error);
std::unique_ptr<IndexFile> OpenMdxIndex(const std::string& path, IndexBytes bytes, std::string* error);

// A file's name without its folder and extension.
std::string IndexBaseName(const std::string& path);

}  // namespace tabulon
