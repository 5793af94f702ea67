#include "dbf_stream.h"

#include <algorithm>
#include <cstring>

namespace tabulon {

namespace {

// Large enough that a full scan of a table is dominated by copying, small
// enough to be cheap to refill for the random reads of a memo file.
constexpr size_t kWindowSize = 64 * 1024;
// Gathered writes go on in pieces of about this size.
constexpr size_t kGatherSize = 1024 * 1024;

}  // namespace

std::unique_ptr<DbfStream> DbfStream::Open(std::unique_ptr<DbfFile> file) {
  if (!file) return nullptr;
  uint64_t size = 0;
  if (!file->GetSize(&size)) {
    file->Close();
    return nullptr;
  }
  return std::unique_ptr<DbfStream>(new DbfStream(std::move(file), size));
}

DbfStream::DbfStream(std::unique_ptr<DbfFile> file, uint64_t size)
    : file_(std::move(file)), size_(size) {}

DbfStream::~DbfStream() { Close(); }

void DbfStream::Forget() {
  for (Window& w : windows_) w.length = 0;
}

bool DbfStream::SendGathered() {
  if (gathered_.empty()) return true;
  const bool ok = file_->WriteAt(gathered_at_, gathered_.data(), gathered_.size());
  gathered_.clear();
  if (!ok) {
    // Writes that came before and reported success are lost: no flush may
    // say they are on disk, or a count written after it would cover them.
    lost_ = true;
    // What reached the file is unknown: read it afresh next time.
    Forget();
    uint64_t real = 0;
    if (file_->GetSize(&real)) size_ = real;
  }
  return ok;
}

bool DbfStream::SetGathering(bool on) {
  gathering_ = on;
  return !file_ || SendGathered();
}

bool DbfStream::Fill(Window& window, uint64_t position) {
  window.length = 0;
  if (!SendGathered()) return false;
  if (window.bytes.empty()) window.bytes.resize(kWindowSize);
  size_t total = 0;
  while (total < kWindowSize) {
    size_t got = 0;
    if (!file_->ReadAt(position + total, window.bytes.data() + total, kWindowSize - total, &got))
      return false;
    if (got == 0) break;
    total += got;
  }
  window.start = position;
  window.length = total;
  return true;
}

bool DbfStream::ReadAt(uint64_t position, void* data, size_t n, size_t* got) {
  *got = 0;
  if (!file_) return false;
  if (n == 0) return true;
  auto* out = static_cast<uint8_t*>(data);
  if (n > kWindowSize / 2) {
    // Large reads (long memos) bypass the windows.
    if (!SendGathered()) return false;
    while (*got < n) {
      size_t part = 0;
      if (!file_->ReadAt(position + *got, out + *got, n - *got, &part)) return false;
      if (part == 0) break;
      *got += part;
    }
    return true;
  }
  Window* window = nullptr;
  for (Window& w : windows_)
    if (w.Holds(position, n)) window = &w;
  if (!window) {
    window = windows_[0].used <= windows_[1].used ? &windows_[0] : &windows_[1];
    if (!Fill(*window, position)) return false;
  }
  window->used = ++clock_;
  size_t offset = static_cast<size_t>(position - window->start);
  size_t count = std::min(n, window->length - offset);
  if (count) std::memcpy(out, window->bytes.data() + offset, count);
  *got = count;
  return true;
}

bool DbfStream::ReadExactAt(uint64_t position, void* data, size_t n) {
  size_t got = 0;
  return ReadAt(position, data, n, &got) && got == n;
}

bool DbfStream::WriteAt(uint64_t position, const void* data, size_t n) {
  if (!file_) return false;
  if (n == 0) return true;
  unflushed_ = true;
  if (gathering_) {
    // A write that starts inside the gathered bytes or right after them
    // joins them; any other sends them on first.
    const bool joins = !gathered_.empty() && position >= gathered_at_ &&
                       position - gathered_at_ <= gathered_.size();
    if (!joins && !SendGathered()) return false;
    if (gathered_.empty()) gathered_at_ = position;
    const size_t at = static_cast<size_t>(position - gathered_at_);
    if (gathered_.size() < at + n) gathered_.resize(at + n);
    std::memcpy(gathered_.data() + at, data, n);
  } else if (!file_->WriteAt(position, data, n)) {
    // What reached the file is unknown: read it afresh next time.
    Forget();
    uint64_t real = 0;
    if (file_->GetSize(&real)) size_ = real;
    return false;
  }
  for (Window& w : windows_) {
    uint64_t begin = std::max(position, w.start);
    uint64_t end = std::min(position + n, w.start + w.length);
    if (begin < end)
      std::memcpy(w.bytes.data() + (begin - w.start),
                  static_cast<const uint8_t*>(data) + (begin - position),
                  static_cast<size_t>(end - begin));
  }
  size_ = std::max(size_, position + n);
  return gathered_.size() < kGatherSize || SendGathered();
}

bool DbfStream::SetSize(uint64_t size) {
  if (!file_) return false;
  if (!SendGathered()) return false;
  Forget();
  unflushed_ = true;
  if (!file_->SetSize(size)) {
    uint64_t real = 0;
    if (file_->GetSize(&real)) size_ = real;
    return false;
  }
  size_ = size;
  return true;
}

bool DbfStream::Flush() {
  if (!file_ || !SendGathered() || lost_ || !file_->Flush()) return false;
  unflushed_ = false;
  return true;
}

bool DbfStream::Close() {
  if (!file_) return true;
  const bool sent = SendGathered();
  gathering_ = false;
  bool ok = file_->Close() && sent;
  file_.reset();
  Forget();
  return ok;
}

bool DbfStream::Read(void* data, size_t n, size_t* got) {
  bool ok = ReadAt(position_, data, n, got);
  position_ += *got;
  return ok;
}

bool DbfStream::Write(const void* data, size_t n) {
  bool ok = WriteAt(position_, data, n);
  if (ok) position_ += n;
  return ok;
}

bool ReadBigEndian32(DbfStream& stream, uint32_t* value) {
  uint8_t b[4];
  size_t got = 0;
  if (!stream.Read(b, 4, &got) || got != 4) return false;
  *value = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
  return true;
}

bool WriteBigEndian32(DbfStream& stream, uint32_t value) {
  const uint8_t b[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                        static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  return stream.Write(b, 4);
}

}  // namespace tabulon
