#include "memo_rebuild.h"

#include <algorithm>

namespace tabulon {

namespace {

constexpr size_t kWriteChunk = 256 * 1024;

}  // namespace

bool MemoRebuild::Start() {
  if (!ReadMemoHeader(old_, layout_, &header_) || header_.BlockSize == 0) return false;
  header_bytes_.resize(header_.HeaderBytes);
  if (!old_.ReadExactAt(0, header_bytes_.data(), header_bytes_.size())) return false;
  // The first block after the header, as the layout's own writers place it.
  const uint64_t b = header_.BlockSize;
  next_free_ = std::max<uint64_t>(1, (uint64_t{header_.HeaderBytes} + b - 1) / b);
  pending_at_ = next_free_ * b;
  return true;
}

MemoRebuild::Outcome MemoRebuild::Carry(uint64_t old_block, uint64_t* new_block,
                                        DbfMemoFault* fault) {
  auto known = carried_.find(old_block);
  if (known != carried_.end()) {
    *new_block = known->second;
    return Outcome::Carried;
  }
  switch (ReadReferencedMemo(old_, header_, old_block, &block_, fault)) {
    case MemoReferenceRead::Broken: return Outcome::Broken;
    case MemoReferenceRead::Failed: return Outcome::Failed;
    case MemoReferenceRead::Read: break;
  }
  const uint64_t b = header_.BlockSize;
  const std::string bytes = EncodeMemoBlock(header_, block_);
  const uint64_t blocks = std::max<uint64_t>(1, (bytes.size() + b - 1) / b);
  if (next_free_ + blocks > UINT32_MAX) return Outcome::Failed;
  pending_ += bytes;
  pending_.resize(static_cast<size_t>(pending_.size() + (blocks * b - bytes.size())), '\0');
  *new_block = next_free_;
  carried_.emplace(old_block, next_free_);
  next_free_ += blocks;
  return pending_.size() < kWriteChunk || Drain() ? Outcome::Carried : Outcome::Failed;
}

bool MemoRebuild::Drain() {
  if (!pending_.empty() && !out_.WriteAt(pending_at_, pending_.data(), pending_.size()))
    return false;
  pending_at_ += pending_.size();
  pending_.clear();
  return true;
}

bool MemoRebuild::Finish() {
  PutNextFree(header_, header_bytes_.data(), static_cast<uint32_t>(next_free_));
  return Drain() && out_.WriteAt(0, header_bytes_.data(), header_bytes_.size()) &&
         out_.SetSize(next_free_ * header_.BlockSize);
}

}  // namespace tabulon
