#include "pack_journal.h"

#include "dbf_header.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace tabulon {

namespace {

constexpr uint8_t kMagic[8] = {'D', 'B', 'F', 'P', 'A', 'C', 'K', '2'};
constexpr uint8_t kMarker[8] = {'C', 'O', 'M', 'P', 'L', 'E', 'T', 'E'};
constexpr uint64_t kPrefixSize = 96;
constexpr uint64_t kUntouchedTail = 64 * 1024;

constexpr uint64_t kTrailerSize = 16;
constexpr uint64_t kSlotsAt = kPrefixSize + kTrailerSize;  // a removal saves no bytes
constexpr uint64_t kSlotSize = 32;
static_assert(kRemovalPieceAt == kSlotsAt + 2 * kSlotSize, "the piece follows the progress slots");
constexpr uint64_t kPieceBase = 0x9E3779B97F4A7C15ull;
constexpr uint32_t kMaxNameLength = 255;
constexpr size_t kChunk = 256 * 1024;

class Fnv64 {
 public:
  void Add(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) hash_ = (hash_ ^ p[i]) * 0x100000001b3ull;
  }
  uint64_t Value() const { return hash_; }

 private:
  uint64_t hash_ = 0xcbf29ce484222325ull;
};

void Put(uint8_t* p, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t Get(const uint8_t* p, int width) {
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

// Appends to the journal, summing what it writes.
class JournalWriter {
 public:
  explicit JournalWriter(DbfFile& out) : out_(out) {}
  bool Add(const void* data, size_t n) {
    sum_.Add(static_cast<const uint8_t*>(data), n);
    if (n && !out_.WriteAt(at_, data, n)) return false;
    at_ += n;
    return true;
  }
  bool CopyFrom(DbfStream& from, uint64_t position, uint64_t length) {
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(length, kChunk)));
    for (uint64_t done = 0; done < length;) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(length - done, chunk.size()));
      if (!from.ReadExactAt(position + done, chunk.data(), n) || !Add(chunk.data(), n)) return false;
      done += n;
    }
    return true;
  }
  uint64_t Sum() const { return sum_.Value(); }
  uint64_t Size() const { return at_; }

 private:
  DbfFile& out_;
  Fnv64 sum_;
  uint64_t at_ = 0;
};

bool IsPlainBaseName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '/' || c == '\\' || c == ':' || c == '\0') return false;
  return true;
}

class FileView final : public DbfFile {
 public:
  FileView(std::unique_ptr<DbfFile> file, uint64_t offset, uint64_t length)
      : file_(std::move(file)), offset_(offset), length_(length) {}
  ~FileView() override { Close(); }

  bool Read(void* data, size_t n, size_t* got) override {
    bool ok = ReadAt(position_, data, n, got);
    position_ += *got;
    return ok;
  }
  bool ReadAt(uint64_t position, void* data, size_t n, size_t* got) override {
    *got = 0;
    if (!file_) return false;
    if (position >= length_) return true;
    n = static_cast<size_t>(std::min<uint64_t>(n, length_ - position));
    return file_->ReadAt(offset_ + position, data, n, got);
  }
  bool Write(const void*, size_t) override { return false; }
  bool WriteAt(uint64_t, const void*, size_t) override { return false; }
  bool SetSize(uint64_t) override { return false; }
  bool Seek(uint64_t position) override {
    position_ = position;
    return file_ != nullptr;
  }
  bool Tell(uint64_t* position) override {
    *position = position_;
    return file_ != nullptr;
  }
  bool GetSize(uint64_t* size) override {
    *size = length_;
    return file_ != nullptr;
  }
  bool Flush() override { return file_ != nullptr; }
  bool TryLock(uint64_t, uint64_t) override { return false; }
  bool Unlock(uint64_t, uint64_t) override { return false; }
  bool Close() override {
    if (!file_) return true;
    bool ok = file_->Close();
    file_.reset();
    return ok;
  }

 private:
  std::unique_ptr<DbfFile> file_;
  uint64_t offset_;
  uint64_t length_;
  uint64_t position_ = 0;
};

}  // namespace

std::string PackJournalName(const std::string& table_file) { return table_file + "~pack"; }

std::string RejectedJournalName(const std::string& table_file, int number) {
  return table_file + "~pack-rejected" + (number > 1 ? std::to_string(number) : std::string());
}

bool UntouchedSum(DbfStream& data, const uint8_t header[32], uint64_t region_offset,
                  uint64_t* sum) {
  const uint64_t header_size = DecodeDbfHeader(header).HeaderSize;
  const uint64_t descriptors_end = std::min(header_size, region_offset);
  const uint64_t tail_start = std::max(descriptors_end, region_offset > kUntouchedTail
                                                            ? region_offset - kUntouchedTail
                                                            : uint64_t{0});
  Fnv64 fnv;
  std::vector<uint8_t> bytes;
  for (const auto& span : {std::make_pair(uint64_t{32}, descriptors_end),
                           std::make_pair(tail_start, region_offset)}) {
    if (span.second <= span.first) continue;
    bytes.resize(static_cast<size_t>(span.second - span.first));
    if (!data.ReadExactAt(span.first, bytes.data(), bytes.size())) return false;
    fnv.Add(bytes.data(), bytes.size());
  }
  *sum = fnv.Value();
  return true;
}

JournalState CheckJournalFitsTable(DbfStream& data, const PackJournal& journal) {
  const uint64_t size = data.GetSize();
  if (size < journal.RegionOffset || size > journal.DataSize + 1) return JournalState::Malformed;
  uint8_t now[32];
  if (!data.ReadExactAt(0, now, sizeof now)) return JournalState::Unreadable;
  const uint8_t* then = journal.Header;
  if (!SameDbfHeaderButDateAndCount(now, then)) return JournalState::Malformed;
  uint8_t date_now[3], date_then[3];
  GetDbfDateBytes(now, date_now);
  GetDbfDateBytes(then, date_then);
  const bool date_kept = std::memcmp(date_now, date_then, 3) == 0;
  const bool date_stamped = std::memcmp(date_now, journal.PassDate, 3) == 0;
  if ((!date_kept && !date_stamped) || GetDbfRecordCount(now) > GetDbfRecordCount(then))
    return JournalState::Malformed;
  uint64_t sum = 0;
  if (!UntouchedSum(data, then, journal.RegionOffset, &sum)) return JournalState::Unreadable;
  return sum == journal.Untouched ? JournalState::Complete : JournalState::Malformed;
}

bool WritePackJournal(DbfFile& out, PackJournal* journal, DbfStream& data, DbfStream* memo) {
  const bool with_memo = !journal->MemoName.empty();
  if (journal->RegionOffset > journal->DataSize || (with_memo && !memo) ||
      journal->MemoName.size() > kMaxNameLength)
    return false;
  const uint64_t region =
      journal->Kind == kRemoval ? 0 : journal->DataSize - journal->RegionOffset;
  if (!with_memo) journal->MemoSize = 0;
  if (journal->Kind == kRemoval && with_memo) return false;
  journal->RegionAt = kPrefixSize;
  journal->MemoAt = kPrefixSize + region + journal->MemoName.size();
  uint8_t prefix[kPrefixSize] = {};
  std::memcpy(prefix, kMagic, 8);
  Put(prefix + 8, journal->DataSize, 8);
  std::memcpy(prefix + 16, journal->Header, 32);
  Put(prefix + 48, journal->RegionOffset, 8);
  Put(prefix + 56, region, 8);
  Put(prefix + 64, journal->MemoSize, 8);
  Put(prefix + 72, journal->MemoName.size(), 4);
  Put(prefix + 80, journal->Untouched, 8);
  std::memcpy(prefix + 88, journal->PassDate, 3);
  prefix[91] = journal->Kind;
  JournalWriter writer(out);
  if (!writer.Add(prefix, sizeof prefix) || !writer.CopyFrom(data, journal->RegionOffset, region))
    return false;
  if (with_memo && (!writer.Add(journal->MemoName.data(), journal->MemoName.size()) ||
                    !writer.CopyFrom(*memo, 0, journal->MemoSize)))
    return false;
  uint8_t sum[8];
  Put(sum, writer.Sum(), 8);
  const uint64_t at = writer.Size();
  // The marker goes down only after the rest is on the disk, so a marked
  // journal is a whole one.
  return out.WriteAt(at, sum, 8) && out.Flush() && out.WriteAt(at + 8, kMarker, 8) && out.Flush();
}

JournalState ReadPackJournal(DbfStream& in, PackJournal* journal) {
  const uint64_t size = in.GetSize();
  uint8_t prefix[kPrefixSize] = {};
  size_t got = 0;
  if (!in.ReadAt(0, prefix, sizeof prefix, &got) || got < std::min<uint64_t>(size, kPrefixSize))
    return JournalState::Unreadable;
  // Cut off while being written, a journal still starts with (a part of)
  // the magic, and lacks the marker that is written last.
  if (std::memcmp(prefix, kMagic, std::min<size_t>(got, 8)) != 0) return JournalState::Malformed;
  // A removal's progress slots follow its marker: its end is where its
  // saved bytes (none) end.
  const bool removal = got > 91 && prefix[91] == kRemoval;
  const uint64_t end = removal ? std::min<uint64_t>(size, kSlotsAt) : size;
  uint8_t trailer[kTrailerSize];
  if (end < kTrailerSize + 8) return JournalState::Incomplete;
  if (!in.ReadExactAt(end - kTrailerSize, trailer, kTrailerSize)) return JournalState::Unreadable;
  if (std::memcmp(trailer + 8, kMarker, 8) != 0) return JournalState::Incomplete;
  if (end < kPrefixSize + kTrailerSize || prefix[91] > kRemoval) return JournalState::Malformed;
  journal->Kind = prefix[91];

  journal->DataSize = Get(prefix + 8, 8);
  std::memcpy(journal->Header, prefix + 16, 32);
  journal->RegionOffset = Get(prefix + 48, 8);
  const uint64_t region = Get(prefix + 56, 8);
  journal->MemoSize = Get(prefix + 64, 8);
  const uint64_t name_length = Get(prefix + 72, 4);
  journal->Untouched = Get(prefix + 80, 8);
  std::memcpy(journal->PassDate, prefix + 88, 3);
  const uint64_t body = end - kPrefixSize - kTrailerSize;
  // The sizes the saved header names: the old table held its header and
  // every record it counted, and the region never starts inside the header.
  const DbfHeaderFields old_header = DecodeDbfHeader(journal->Header);
  const uint64_t header_size = old_header.HeaderSize;
  const uint64_t records_end = header_size + uint64_t{old_header.RecordCount} * old_header.RecordSize;
  // Each length within the body before they are added, so no sum overflows.
  const uint64_t record_size = old_header.RecordSize;
  // A removal takes out a whole record that the old table held.
  if (removal && (region != 0 || name_length != 0 || record_size == 0 ||
                  journal->RegionOffset < header_size || journal->RegionOffset >= records_end ||
                  (journal->RegionOffset - header_size) % record_size != 0))
    return JournalState::Malformed;
  if (Get(prefix + 76, 4) != 0 || Get(prefix + 92, 4) != 0 || name_length > kMaxNameLength ||
      region > body || journal->MemoSize > body || region + name_length + journal->MemoSize != body ||
      (name_length == 0 && journal->MemoSize != 0) || header_size <= 32 ||
      journal->DataSize < records_end || journal->RegionOffset < header_size ||
      journal->RegionOffset > journal->DataSize ||
      (!removal && journal->DataSize - journal->RegionOffset != region))
    return JournalState::Malformed;
  journal->RegionAt = kPrefixSize;
  journal->MemoName.assign(static_cast<size_t>(name_length), '\0');
  if (!in.ReadExactAt(kPrefixSize + region, &journal->MemoName[0], journal->MemoName.size()))
    return JournalState::Unreadable;
  journal->MemoAt = kPrefixSize + region + name_length;
  if (name_length != 0 && !IsPlainBaseName(journal->MemoName)) return JournalState::Malformed;

  Fnv64 sum;
  std::vector<uint8_t> chunk(kChunk);
  const uint64_t summed = end - kTrailerSize;
  for (uint64_t done = 0; done < summed;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(summed - done, chunk.size()));
    if (!in.ReadExactAt(done, chunk.data(), n)) return JournalState::Unreadable;
    sum.Add(chunk.data(), n);
    done += n;
  }
  return sum.Value() == Get(trailer, 8) ? JournalState::Complete : JournalState::Malformed;
}

bool WriteRemovalProgress(DbfFile& journal, const RemovalProgress& progress) {
  uint8_t slot[kSlotSize];
  Put(slot, progress.Sequence, 8);
  Put(slot + 8, progress.Done, 8);
  Put(slot + 16, progress.Sum, 8);
  Fnv64 check;
  check.Add(slot, 24);
  Put(slot + 24, check.Value(), 8);
  return journal.WriteAt(kSlotsAt + (progress.Sequence % 2) * kSlotSize, slot, sizeof slot);
}

bool ReadRemovalProgress(DbfStream& journal, RemovalProgress* progress) {
  *progress = RemovalProgress();
  uint8_t slots[2 * kSlotSize] = {};
  size_t got = 0;
  if (!journal.ReadAt(kSlotsAt, slots, sizeof slots, &got)) return false;
  for (size_t at = 0; at + kSlotSize <= got; at += kSlotSize) {
    const uint8_t* slot = slots + at;
    Fnv64 check;
    check.Add(slot, 24);
    const uint64_t sequence = Get(slot, 8);
    // A slot holds the sequence numbers of its parity only.
    if (check.Value() != Get(slot + 24, 8) || sequence % 2 != at / kSlotSize ||
        sequence <= progress->Sequence)
      continue;
    progress->Sequence = sequence;
    progress->Done = Get(slot + 8, 8);
    progress->Sum = Get(slot + 16, 8);
  }
  return true;
}

namespace {

// Eight bytes from p as a little-endian number (compilers make it one load).
uint64_t PieceWord8(const uint8_t* p) {
  return uint64_t{p[0]} | (uint64_t{p[1]} << 8) | (uint64_t{p[2]} << 16) | (uint64_t{p[3]} << 24) |
         (uint64_t{p[4]} << 32) | (uint64_t{p[5]} << 40) | (uint64_t{p[6]} << 48) |
         (uint64_t{p[7]} << 56);
}

// Up to eight bytes from p as a little-endian number, zeros after them.
uint64_t PieceWord(const uint8_t* p, size_t n) {
  if (n >= 8) return PieceWord8(p);
  uint64_t word = 0;
  for (size_t i = std::min<size_t>(n, 8); i-- > 0;) word = (word << 8) | p[i];
  return word;
}

}  // namespace

// Taken over eight-byte words (the last one padded), each counted plus one
// so that zeros weigh too: sum of (word_k + 1) * base^(words - 1 - k).
uint64_t PieceSum(const uint8_t* bytes, size_t n) {
  uint64_t sum = 0;
  size_t at = 0;
  // Four words at a time: their products do not wait on each other.
  const uint64_t b2 = kPieceBase * kPieceBase, b3 = b2 * kPieceBase, b4 = b3 * kPieceBase;
  for (; at + 32 <= n; at += 32)
    sum = sum * b4 + (PieceWord8(bytes + at) + 1) * b3 + (PieceWord8(bytes + at + 8) + 1) * b2 +
          (PieceWord8(bytes + at + 16) + 1) * kPieceBase + PieceWord8(bytes + at + 24) + 1;
  for (; at < n; at += 8) sum = sum * kPieceBase + PieceWord(bytes + at, n - at) + 1;
  return sum;
}

bool CopyStreamBytes(DbfStream& from, uint64_t from_at, DbfStream& to, uint64_t to_at,
                     uint64_t length) {
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(length, kChunk)));
  for (uint64_t done = 0; done < length;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(length - done, chunk.size()));
    if (!from.ReadExactAt(from_at + done, chunk.data(), n) ||
        !to.WriteAt(to_at + done, chunk.data(), n))
      return false;
    done += n;
  }
  return true;
}

std::unique_ptr<DbfFile> NewFileView(std::unique_ptr<DbfFile> file, uint64_t offset,
                                     uint64_t length) {
  return std::make_unique<FileView>(std::move(file), offset, length);
}

}  // namespace tabulon
