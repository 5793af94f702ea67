// A CSV file read record by record (RFC 4180: quoted values, "" for a
// quote inside them, line breaks inside quotes; CRLF or LF line ends), its
// text decoded from UTF-8 (a byte-order mark skipped) or a code page into
// UTF-8. The file is read in pieces, never whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf_file.h"

namespace tabulon {

// CodePage: another single-byte page the program knows (code_pages.h),
// given as a number beside it.
enum class CsvEncoding { Utf8, Dos866, Windows1251, CodePage };

class CsvReader {
 public:
  // separator 0: the one of ',', ';' and tab that the first line holds
  // most of outside quotes (',' when it holds none).
  CsvReader(DbfFileSystem& fs, std::string path, CsvEncoding encoding, char separator = 0, int code_page = 0);
  ~CsvReader();
  CsvReader(const CsvReader&) = delete;
  CsvReader& operator=(const CsvReader&) = delete;

  // Opens the file (again: from its start); false when it cannot be read.
  bool Open();
  // The next record's values; false at the end of the file or on a read
  // failure (IsFailed). A quote left open at the end gives the record read
  // so far with IsUnclosed set.
  bool Next(std::vector<std::string>& values);
  // The line the last record started on (1-based).
  int64_t GetLine() const { return record_line_; }
  bool IsUnclosed() const { return unclosed_; }
  bool IsFailed() const { return failed_; }
  char GetSeparator() const { return separator_; }
  const std::string& GetPath() const { return path_; }
  // Bytes read so far and the file's size, for a progress bar.
  uint64_t GetPosition() const { return consumed_; }
  uint64_t GetSize() const { return size_; }

 private:
  // The byte at the read position, refilling; -1 at the end.
  int Peek();
  void DetectSeparator();
  void Decode(std::string& value) const;

  DbfFileSystem& fs_;
  std::string path_;
  CsvEncoding encoding_;
  int code_page_;
  char separator_;
  const char given_separator_;
  std::unique_ptr<DbfFile> file_;
  std::string piece_;
  size_t at_ = 0;
  uint64_t consumed_ = 0;
  uint64_t size_ = 0;
  int64_t line_ = 1;
  int64_t record_line_ = 0;
  bool unclosed_ = false;
  bool failed_ = false;
  bool ended_ = false;
};

}  // namespace tabulon
