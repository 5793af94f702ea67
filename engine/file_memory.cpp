#include "file_memory.h"

#include <algorithm>
#include <cstring>

namespace tabulon {

namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

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
    fs_.OnWrite(*node_, position_, static_cast<const uint8_t*>(data), count);
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
    fs_.OnResize(*node_, size);
    return true;
  }

  bool Flush() override {
    if (fs_.Check(FaultFlush) != Verdict::Pass || !node_) return false;
    fs_.OnFlush(*node_);
    return true;
  }

  bool TryLock(uint64_t offset, uint64_t length) override {
    if (!node_) return false;
    for (const auto& held : node_->peer_locks)
      if (offset < held.first + held.second && held.first < offset + length) return false;
    return true;
  }

  bool Unlock(uint64_t, uint64_t) override { return node_ != nullptr; }

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

std::shared_ptr<MemoryFileSystem::Node> MemoryFileSystem::NewNode() {
  auto node = std::make_shared<Node>();
  node->id = ++next_id_;
  node->modified = Tick();
  return node;
}

void MemoryFileSystem::SetFile(const std::string& path, std::vector<uint8_t> bytes) {
  auto node = NewNode();
  node->bytes = std::move(bytes);
  node->modified = Tick();
  files_[path] = node;
}

std::vector<uint8_t> MemoryFileSystem::GetFile(const std::string& path) const {
  auto it = files_.find(path);
  return it == files_.end() ? std::vector<uint8_t>() : it->second->bytes;
}

bool MemoryFileSystem::ListFolder(const std::string& path_in_folder, std::vector<std::string>* names) {
  const size_t slash = path_in_folder.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path_in_folder.substr(0, slash + 1);
  names->clear();
  for (const auto& entry : files_) {
    const std::string& path = entry.first;
    if (path.compare(0, folder.size(), folder) == 0 && path.find('/', folder.size()) == std::string::npos)
      names->push_back(path.substr(folder.size()));
  }
  return true;
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

void MemoryFileSystem::SetPeerLock(const std::string& path, uint64_t offset, uint64_t length) {
  auto it = files_.find(path);
  if (it == files_.end()) return;
  if (length == 0)
    it->second->peer_locks.clear();
  else
    it->second->peer_locks.emplace_back(offset, length);
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
  if (mode == DbfOpenMode::ReadOnly || mode == DbfOpenMode::ReadOnlyNoFollow) {
    if (it == files_.end()) return nullptr;
    return std::make_unique<MemoryFile>(*this, it->second, false);
  }
  if (path.empty()) return nullptr;
  if (it != files_.end() && (it->second->writers > 0 || !it->second->writable)) return nullptr;
  if (mode == DbfOpenMode::CreateNew) {
    if (it != files_.end()) return nullptr;
    it = files_.emplace(path, NewNode()).first;
    Record({Step::Create, it->second->id, path, {}, 0, {}});
  } else if (mode == DbfOpenMode::Create) {
    if (it == files_.end()) {
      it = files_.emplace(path, NewNode()).first;
      Record({Step::Create, it->second->id, path, {}, 0, {}});
    } else {
      it->second->bytes.clear();
      it->second->modified = Tick();
      OnResize(*it->second, 0);
    }
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
  Record({Step::Remove, it->second->id, path, {}, 0, {}});
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
  Record({Step::Rename, node->id, from, to, 0, {}});
  return true;
}

bool MemoryFileSystem::FlushFolder(const std::string& path_in_folder) {
  if (Check(FaultFlush) != Verdict::Pass) return false;
  Record({Step::FlushFolder, 0, FolderOf(path_in_folder), {}, 0, {}});
  return true;
}

bool MemoryFileSystem::GetIdentity(const std::string& path, DbfFileIdentity* identity) {
  auto it = files_.find(path);
  if (it == files_.end()) return false;
  identity->Device = 1;
  identity->Index = it->second->id;
  return true;
}

void MemoryFileSystem::Record(Step step) {
  if (recording_) steps_.push_back(std::move(step));
}

void MemoryFileSystem::OnWrite(const Node& node, uint64_t position, const uint8_t* data,
                               size_t n) {
  if (recording_ && n) Record({Step::Write, node.id, {}, {}, position, {data, data + n}});
}

void MemoryFileSystem::OnResize(const Node& node, uint64_t size) {
  Record({Step::Resize, node.id, {}, {}, size, {}});
}

void MemoryFileSystem::OnFlush(const Node& node) { Record({Step::FlushFile, node.id, {}, {}, 0, {}}); }

void MemoryFileSystem::StartRecording() {
  steps_.clear();
  start_names_.clear();
  start_nodes_.clear();
  for (const auto& entry : files_) {
    start_names_[entry.first] = entry.second->id;
    start_nodes_[entry.second->id] = entry.second->bytes;
  }
  recording_ = true;
}

// For each step, the first step that makes it durable (steps_.size() when
// none does); flushes are durable at once.
std::vector<size_t> MemoryFileSystem::DurableAt() const {
  const size_t never = steps_.size();
  std::vector<size_t> at(steps_.size(), never);
  std::map<uint64_t, size_t> file_flush;
  std::map<std::string, size_t> folder_flush;
  auto next = [never](const auto& flushes, const auto& key) {
    auto it = flushes.find(key);
    return it == flushes.end() ? never : it->second;
  };
  for (size_t i = steps_.size(); i-- > 0;) {
    const Step& s = steps_[i];
    switch (s.kind) {
      case Step::FlushFile:
        file_flush[s.node] = i;
        at[i] = i;
        break;
      case Step::FlushFolder:
        folder_flush[s.path] = i;
        at[i] = i;
        break;
      case Step::Write:
      case Step::Resize:
        at[i] = next(file_flush, s.node);
        break;
      case Step::Create:
      case Step::Remove:
        at[i] = next(folder_flush, FolderOf(s.path));
        break;
      case Step::Rename:
        at[i] = std::max(next(folder_flush, FolderOf(s.path)), next(folder_flush, FolderOf(s.to)));
        break;
    }
  }
  return at;
}

std::vector<size_t> MemoryFileSystem::GetUnflushedSteps(size_t k) const {
  std::vector<size_t> at = DurableAt(), unflushed;
  for (size_t i = 0; i < k && i < steps_.size(); ++i)
    if (at[i] >= k) unflushed.push_back(i);
  return unflushed;
}

MemoryFileSystem::FileSet MemoryFileSystem::GetPowerLossFiles(
    size_t k, const std::vector<size_t>& kept) const {
  std::vector<size_t> at = DurableAt();
  std::map<std::string, uint64_t> names = start_names_;
  std::map<uint64_t, std::vector<uint8_t>> nodes = start_nodes_;
  for (size_t i = 0; i < k && i < steps_.size(); ++i) {
    if (at[i] >= k && std::find(kept.begin(), kept.end(), i) == kept.end()) continue;
    const Step& s = steps_[i];
    std::vector<uint8_t>& bytes = nodes[s.node];
    switch (s.kind) {
      case Step::Write:
        if (bytes.size() < s.position + s.bytes.size()) bytes.resize(s.position + s.bytes.size());
        std::copy(s.bytes.begin(), s.bytes.end(), bytes.begin() + static_cast<long>(s.position));
        break;
      case Step::Resize:
        bytes.resize(static_cast<size_t>(s.position), 0);
        break;
      case Step::Create:
        names[s.path] = s.node;
        break;
      case Step::Remove:
        if (names.count(s.path) && names[s.path] == s.node) names.erase(s.path);
        break;
      case Step::Rename:
        if (names.count(s.path) && names[s.path] == s.node) names.erase(s.path);
        names[s.to] = s.node;
        break;
      case Step::FlushFile:
      case Step::FlushFolder:
        break;
    }
  }
  FileSet files;
  for (const auto& entry : names) files[entry.first] = nodes[entry.second];
  return files;
}

void MemoryFileSystem::SetFiles(const FileSet& files) {
  files_.clear();
  for (const auto& entry : files) SetFile(entry.first, entry.second);
}

}  // namespace tabulon
