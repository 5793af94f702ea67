// The file a text writer (CSV, JSON, SQL) fills: written beside its
// target in large pieces and put in its place by a rename once whole, so
// that an export cut off leaves no half file and the old one intact.
#pragma once

#include <memory>
#include <string>

#include "dbf_file.h"

namespace tabulon {

class ExportFile {
 public:
  ExportFile(DbfFileSystem& fs, std::string path);
  ~ExportFile();
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  // Creates the file beside the target; false when it cannot be.
  bool Open();
  // Text is appended here, then Written() says so (it writes a full buffer).
  std::string& Buffer() { return buffer_; }
  bool Written() { return buffer_.size() < kPiece || Drain(); }
  // The rest written, the file closed and renamed over the target.
  bool Commit();
  // The file beside removed; the target untouched.
  void Abandon();
  const std::string& GetPath() const { return path_; }

 private:
  static constexpr size_t kPiece = size_t{1} << 20;
  bool Drain();

  DbfFileSystem& fs_;
  std::string path_;
  std::string part_;
  std::unique_ptr<DbfFile> file_;
  std::string buffer_;
  bool failed_ = false;
};

// The name an output is written under until it is whole.
std::string PartFileName(const std::string& path);

}  // namespace tabulon
