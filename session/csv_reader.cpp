#include "csv_reader.h"

#include "code_pages.h"
#include "text.h"

namespace tabulon {

namespace {

constexpr size_t kPiece = size_t{1} << 20;

bool IsAscii(const std::string& text) {
  for (char c : text)
    if (uint8_t(c) >= 0x80) return false;
  return true;
}

}  // namespace

CsvReader::CsvReader(DbfFileSystem& fs, std::string path, CsvEncoding encoding, char separator, int code_page)
    : fs_(fs),
      path_(std::move(path)),
      encoding_(encoding),
      code_page_(code_page),
      separator_(separator),
      given_separator_(separator) {}

CsvReader::~CsvReader() {
  if (file_) file_->Close();
}

bool CsvReader::Open() {
  if (file_) file_->Close();
  file_ = fs_.Open(path_, DbfOpenMode::ReadOnly);
  piece_.clear();
  at_ = 0;
  consumed_ = 0;
  line_ = 1;
  record_line_ = 0;
  unclosed_ = failed_ = ended_ = false;
  if (!file_ || !file_->GetSize(&size_)) {
    file_.reset();
    return false;
  }
  if (encoding_ == CsvEncoding::Utf8 && Peek() == 0xEF && piece_.compare(at_, 3, "\xEF\xBB\xBF") == 0) {
    at_ += 3;
    consumed_ += 3;
  }
  separator_ = given_separator_;
  if (separator_ == 0) {
    Peek();
    DetectSeparator();
  }
  return !failed_;
}

int CsvReader::Peek() {
  if (at_ < piece_.size()) return uint8_t(piece_[at_]);
  if (ended_ || failed_ || !file_) return -1;
  // Bytes not yet taken are kept, so that a look ahead may span pieces.
  piece_.erase(0, at_);
  at_ = 0;
  const size_t kept = piece_.size();
  piece_.resize(kept + kPiece);
  size_t got = 0;
  if (!file_->Read(&piece_[kept], kPiece, &got)) failed_ = true;
  piece_.resize(kept + got);
  if (got == 0) ended_ = true;
  return at_ < piece_.size() ? uint8_t(piece_[at_]) : -1;
}

void CsvReader::DetectSeparator() {
  // The first line, looked at in the first piece read (Open peeked).
  size_t counts[3] = {};
  const char kCandidates[3] = {',', ';', '\t'};
  bool quoted = false;
  for (size_t i = at_; i < piece_.size(); ++i) {
    const char c = piece_[i];
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == '\n' || c == '\r')) break;
    for (int k = 0; k < 3; ++k) counts[k] += !quoted && c == kCandidates[k];
  }
  separator_ = ',';
  size_t most = 0;
  for (int k = 0; k < 3; ++k) {
    if (counts[k] > most) {
      most = counts[k];
      separator_ = kCandidates[k];
    }
  }
}

void CsvReader::Decode(std::string& value) const {
  if (encoding_ == CsvEncoding::Utf8 || IsAscii(value)) return;
  if (encoding_ == CsvEncoding::CodePage) {
    value = DecodeText(code_page_, value);
    return;
  }
  value = AnsiToUtf8(encoding_ == CsvEncoding::Dos866 ? OemToAnsi(value) : value);
}

bool CsvReader::Next(std::vector<std::string>& values) {
  values.clear();
  if (Peek() < 0) return false;
  record_line_ = line_;
  std::string value;
  bool quoted = false;
  for (;;) {
    const int c = Peek();
    if (c < 0) {
      unclosed_ = quoted;
      break;
    }
    ++at_;
    ++consumed_;
    if (quoted) {
      if (c == '"') {
        if (Peek() == '"') {
          ++at_;
          ++consumed_;
          value += '"';
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++line_;
        value += char(c);
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
    } else if (c == separator_) {
      Decode(value);
      values.push_back(std::move(value));
      value.clear();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && Peek() == '\n') {
        ++at_;
        ++consumed_;
      }
      ++line_;
      break;
    } else {
      value += char(c);
    }
  }
  Decode(value);
  values.push_back(std::move(value));
  return !failed_;
}

}  // namespace tabulon
