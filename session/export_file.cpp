#include "export_file.h"

namespace tabulon {

std::string PartFileName(const std::string& path) { return path + ".part"; }

ExportFile::ExportFile(DbfFileSystem& fs, std::string path)
    : fs_(fs), path_(std::move(path)), part_(PartFileName(path_)) {}

ExportFile::~ExportFile() {
  if (file_) Abandon();
}

bool ExportFile::Open() {
  buffer_.reserve(kPiece + kPiece / 4);
  file_ = fs_.Open(part_, DbfOpenMode::Create);
  return file_ != nullptr;
}

bool ExportFile::Drain() {
  if (!failed_ && !buffer_.empty()) failed_ = !file_ || !file_->Write(buffer_.data(), buffer_.size());
  buffer_.clear();
  return !failed_;
}

bool ExportFile::Commit() {
  if (!Drain() || !file_->Flush() || !file_->Close()) {
    Abandon();
    return false;
  }
  file_.reset();
  if (!fs_.Rename(part_, path_)) {
    fs_.Remove(part_);
    return false;
  }
  return true;
}

void ExportFile::Abandon() {
  if (file_) file_->Close();
  file_.reset();
  buffer_.clear();
  fs_.Remove(part_);
}

}  // namespace tabulon
