#include "file_memory.h"

#include <algorithm>
#include <cstring>

namespace tabulon {

namespace {

using Verdict = MemoryFileSystem::Verdict;

class MemoryFile final : public DbfFile {
 public:
  MemoryFile(MemoryFileSystem& fs, std::shared_ptr<MemoryFileSystem::Node> node, bool writer)
      : fs_(fs), node_(std::move(node)), writer_(writer) {
    if (writer_) ++node_->writers;
  }
  ~MemoryFile() override { Close(); }

  bool Read(void* data, size_t n, size_t* got) override {
    *got = 0;
    Verdict v = fs_.Check(FaultRead);
    if (v == Verdict::Fail || !node_) return false;
    const auto& bytes = node_->bytes;
    if (position_ < bytes.size()) {
      size_t count = std::min<uint64_t>(n, bytes.size() - position_);
      if (v == Verdict::Short) count /= 2;
      std::memcpy(data, bytes.data() + position_, count);
      *got = count;
      position_ += count;
    }
    return true;
  }

  bool Write(const void* data, size_t n) override {
    Verdict v = fs_.Check(FaultWrite);
    if (v == Verdict::Fail || !node_ || !writer_) return false;
    size_t count = v == Verdict::Short ? n / 2 : n;
    auto& bytes = node_->bytes;
    if (bytes.size() < position_ + count) bytes.resize(position_ + count);
    if (count) std::memcpy(bytes.data() + position_, data, count);
    position_ += count;
    node_->modified = fs_.Tick();
    return v == Verdict::Pass;
  }

  bool Seek(uint64_t position) override {
    if (fs_.Check(FaultSeek) != Verdict::Pass || !node_) return false;
    position_ = position;
    return true;
  }

  bool Tell(uint64_t* position) override {
    *position = position_;
    return node_ != nullptr;
  }

  bool GetSize(uint64_t* size) override {
    if (fs_.Check(FaultSize) != Verdict::Pass || !node_) return false;
    *size = node_->bytes.size();
    return true;
  }

  bool SetSize(uint64_t size) override {
    if (fs_.Check(FaultResize) != Verdict::Pass || !node_ || !writer_) return false;
    node_->bytes.resize(static_cast<size_t>(size), 0);
    node_->modified = fs_.Tick();
    return true;
  }

  bool Flush() override { return fs_.Check(FaultFlush) == Verdict::Pass && node_ != nullptr; }

  bool Close() override {
    if (node_ && writer_) --node_->writers;
    node_.reset();
    return true;
  }

 private:
  MemoryFileSystem& fs_;
  std::shared_ptr<MemoryFileSystem::Node> node_;
  bool writer_;
  uint64_t position_ = 0;
};

}  // namespace

MemoryFileSystem::MemoryFileSystem() {
  now_.Year = 2024;
  now_.Month = 3;
  now_.Day = 7;
  now_.Hour = 12;
}

void MemoryFileSystem::SetFile(const std::string& path, std::vector<uint8_t> bytes) {
  auto node = std::make_shared<Node>();
  node->bytes = std::move(bytes);
  node->modified = Tick();
  files_[path] = node;
}

std::vector<uint8_t> MemoryFileSystem::GetFile(const std::string& path) const {
  auto it = files_.find(path);
  return it == files_.end() ? std::vector<uint8_t>() : it->second->bytes;
}

std::vector<std::string> MemoryFileSystem::ListFiles() const {
  std::vector<std::string> names;
  for (const auto& entry : files_) names.push_back(entry.first);
  return names;
}

void MemoryFileSystem::SetWritable(const std::string& path, bool writable) {
  auto it = files_.find(path);
  if (it != files_.end()) it->second->writable = writable;
}

void MemoryFileSystem::ArmFault(unsigned kinds, long n, DbfFaultMode mode) {
  kinds_ = kinds;
  target_ = n;
  mode_ = mode;
  counter_ = 0;
  fired_ = false;
}

void MemoryFileSystem::DisarmFault() { kinds_ = 0; }

MemoryFileSystem::Verdict MemoryFileSystem::Check(DbfFaultKind kind) {
  if (!(kinds_ & kind)) return Verdict::Pass;
  ++counter_;
  bool hit = counter_ == target_ || (mode_ == DbfFaultMode::FailPersistent && counter_ > target_);
  if (!hit) return Verdict::Pass;
  fired_ = true;
  return mode_ == DbfFaultMode::Short ? Verdict::Short : Verdict::Fail;
}

std::unique_ptr<DbfFile> MemoryFileSystem::Open(const std::string& path, DbfOpenMode mode) {
  if (Check(FaultOpen) != Verdict::Pass) return nullptr;
  auto it = files_.find(path);
  if (mode == DbfOpenMode::ReadOnly) {
    if (it == files_.end()) return nullptr;
    return std::make_unique<MemoryFile>(*this, it->second, false);
  }
  if (path.empty()) return nullptr;
  if (it != files_.end() && (it->second->writers > 0 || !it->second->writable)) return nullptr;
  if (mode == DbfOpenMode::CreateNew) {
    if (it != files_.end()) return nullptr;
    it = files_.emplace(path, std::make_shared<Node>()).first;
    it->second->modified = Tick();
  } else if (mode == DbfOpenMode::Create) {
    if (it == files_.end()) it = files_.emplace(path, std::make_shared<Node>()).first;
    it->second->bytes.clear();
    it->second->modified = Tick();
  } else if (it == files_.end()) {
    return nullptr;
  }
  return std::make_unique<MemoryFile>(*this, it->second, true);
}

bool MemoryFileSystem::Exists(const std::string& path) { return files_.count(path) != 0; }

bool MemoryFileSystem::GetInfo(const std::string& path, DbfFileInfo* info) {
  auto it = files_.find(path);
  if (it == files_.end()) return false;
  info->Size = it->second->bytes.size();
  info->ModifiedTime = it->second->modified;
  return true;
}

bool MemoryFileSystem::Remove(const std::string& path) {
  if (Check(FaultRemove) != Verdict::Pass) return false;
  auto it = files_.find(path);
  if (it == files_.end() || it->second->writers > 0) return false;
  files_.erase(it);
  return true;
}

bool MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  if (Check(FaultRename) != Verdict::Pass) return false;
  auto it = files_.find(from);
  if (it == files_.end() || it->second->writers > 0) return false;
  auto target = files_.find(to);
  if (target != files_.end() && (target->second->writers > 0 || !target->second->writable))
    return false;
  auto node = it->second;
  files_.erase(it);
  files_[to] = node;
  return true;
}

}  // namespace tabulon
