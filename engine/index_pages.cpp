#include "index_pages.h"

#include <algorithm>
#include <cstring>

namespace tabulon {

IndexPages::IndexPages(DbfFile& file) : file_(file) {}

bool IndexPages::Open() {
  changed_.clear();
  if (!file_.GetSize(&original_size_)) return false;
  size_ = original_size_;
  return true;
}

bool IndexPages::Chunk(uint64_t at, std::vector<uint8_t>** chunk) {
  auto found = changed_.find(at);
  if (found == changed_.end()) {
    std::vector<uint8_t> bytes(kIndexChunk, 0);
    if (at < original_size_) {
      const size_t n = size_t(std::min<uint64_t>(kIndexChunk, original_size_ - at));
      size_t got = 0;
      if (!file_.ReadAt(at, bytes.data(), n, &got) || got != n) return false;
    }
    found = changed_.emplace(at, std::move(bytes)).first;
  }
  *chunk = &found->second;
  return true;
}

bool IndexPages::Read(uint64_t offset, size_t n, uint8_t* out) {
  if (offset > size_ || n > size_ - offset) return false;
  while (n > 0) {
    const uint64_t at = offset - offset % kIndexChunk;
    const size_t skip = size_t(offset - at);
    const size_t part = std::min(n, kIndexChunk - skip);
    const auto found = changed_.find(at);
    if (found != changed_.end()) {
      std::memcpy(out, found->second.data() + skip, part);
    } else if (offset >= original_size_) {
      std::memset(out, 0, part);
    } else {
      const size_t inside = size_t(std::min<uint64_t>(part, original_size_ - offset));
      size_t got = 0;
      if (!file_.ReadAt(offset, out, inside, &got) || got != inside) return false;
      std::memset(out + inside, 0, part - inside);
    }
    offset += part;
    out += part;
    n -= part;
  }
  return true;
}

bool IndexPages::Write(uint64_t offset, const uint8_t* bytes, size_t n) {
  size_ = std::max<uint64_t>(size_, offset + n);
  while (n > 0) {
    const uint64_t at = offset - offset % kIndexChunk;
    const size_t skip = size_t(offset - at);
    const size_t part = std::min(n, kIndexChunk - skip);
    std::vector<uint8_t>* chunk = nullptr;
    if (!Chunk(at, &chunk)) return false;
    std::memcpy(chunk->data() + skip, bytes, part);
    offset += part;
    bytes += part;
    n -= part;
  }
  return true;
}

uint64_t IndexPages::Append(size_t n, size_t align) {
  const uint64_t at = (size_ + align - 1) / align * align;
  size_ = at + n;
  return at;
}

bool IndexPages::WriteOut() {
  for (const auto& [at, chunk] : changed_) {
    if (at >= size_) continue;
    const size_t n = size_t(std::min<uint64_t>(kIndexChunk, size_ - at));
    if (!file_.WriteAt(at, chunk.data(), n)) return false;
  }
  uint64_t now = 0;
  if (!file_.GetSize(&now) || (now < size_ && !file_.SetSize(size_))) return false;
  changed_.clear();
  original_size_ = size_;
  return true;
}

void IndexPages::Drop() {
  changed_.clear();
  size_ = original_size_;
}

}  // namespace tabulon
