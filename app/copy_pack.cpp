#include "copy_pack.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tabulon {

namespace {

constexpr uint8_t kDbtTerminator = 0x1A;
constexpr uint64_t kFptHeaderSize = 512;

uint64_t RoundUp(uint64_t value, uint64_t unit) { return (value + unit - 1) / unit * unit; }

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char a = text[text.size() - tail.size() + i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != tail[i]) return false;
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Appends bytes to a new file through a buffer, so that a copy of many
// small records costs few system calls.
class Appender {
 public:
  explicit Appender(std::unique_ptr<DbfStream> stream) : stream_(std::move(stream)) {}
  bool IsOpen() const { return stream_ != nullptr; }
  uint64_t GetSize() const { return written_ + buffer_.size(); }
  void Append(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    buffer_.insert(buffer_.end(), p, p + n);
    if (buffer_.size() >= 256 * 1024) Drain();
  }
  void Pad(uint64_t to) {
    if (GetSize() < to) buffer_.resize(buffer_.size() + static_cast<size_t>(to - GetSize()), 0);
  }
  bool Patch(uint64_t position, const void* data, size_t n) {
    return Drain() && (ok_ = stream_->WriteAt(position, data, n) && ok_);
  }
  // Writes what is buffered, flushes and closes; false if anything failed.
  bool Finish() {
    if (!stream_) return false;
    bool ok = Drain() && stream_->Flush();
    ok = stream_->Close() && ok;
    stream_.reset();
    return ok;
  }

 private:
  bool Drain() {
    if (!buffer_.empty()) {
      ok_ = stream_->WriteAt(written_, buffer_.data(), buffer_.size()) && ok_;
      written_ += buffer_.size();
      buffer_.clear();
    }
    return ok_;
  }
  std::unique_ptr<DbfStream> stream_;
  std::vector<uint8_t> buffer_;
  uint64_t written_ = 0;
  bool ok_ = true;
};

// The new memo file: the old header block with a new next-free number, then
// each text in the layout of its kind.
class MemoCopy {
 public:
  MemoCopy(Appender& out, MemoKind kind, const std::vector<uint8_t>& old_header)
      : out_(out), kind_(kind) {
    block_ = 512;
    if (kind == MemoKind::Fpt && old_header.size() >= 8)
      block_ = (uint32_t{old_header[4]} << 24) | (uint32_t{old_header[5]} << 16) |
               (uint32_t{old_header[6]} << 8) | old_header[7];
    if (!Valid()) return;
    uint64_t header_size = kind == MemoKind::Fpt ? RoundUp(kFptHeaderSize, block_) : 512;
    std::vector<uint8_t> header = old_header;
    header.resize(static_cast<size_t>(header_size), 0);
    out_.Append(header.data(), header.size());
  }
  bool Valid() const { return block_ > 0 && block_ <= 0xFFFF; }

  // Writes text and returns its first block.
  uint64_t Add(const std::string& text) {
    uint64_t block = out_.GetSize() / block_;
    if (kind_ == MemoKind::Dbt) {
      out_.Append(text.data(), text.size());
      const uint8_t end[2] = {kDbtTerminator, kDbtTerminator};
      out_.Append(end, 2);
    } else {
      const uint32_t length = static_cast<uint32_t>(text.size());
      const uint8_t head[8] = {0, 0, 0, 1,
                               static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
                               static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
      out_.Append(head, 8);
      out_.Append(text.data(), text.size());
    }
    out_.Pad(RoundUp(out_.GetSize(), block_));
    return block;
  }

  bool WriteNextFree() {
    uint64_t next = out_.GetSize() / block_;
    if (next > UINT32_MAX) return false;
    uint32_t v = static_cast<uint32_t>(next);
    uint8_t b[4];
    for (int i = 0; i < 4; ++i)
      b[i] = kind_ == MemoKind::Dbt ? static_cast<uint8_t>(v >> (8 * i))
                                    : static_cast<uint8_t>(v >> (8 * (3 - i)));
    return out_.Patch(0, b, 4);
  }

 private:
  Appender& out_;
  MemoKind kind_;
  uint32_t block_;
};

// Stores a memo reference in the record, as the flavour keeps it. False when
// the field cannot hold the number whole.
bool StoreReference(uint8_t* record, const DbfField& field, bool four_bytes, uint64_t block) {
  uint8_t* at = record + field.FieldPosition;
  if (four_bytes) {
    if (field.Length < 4 || block > UINT32_MAX) return false;
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(block >> (8 * i));
    return true;
  }
  std::string digits = block ? std::to_string(block) : std::string();
  if (digits.size() > field.Length) return false;
  std::string text = PadLeft(digits, field.Length);
  std::memcpy(at, text.data(), text.size());
  return true;
}

struct PackNames {
  std::string NewTable, NewMemo, OldTable, OldMemo;
};

std::string JournalOf(const std::string& table_file) { return table_file + "~pack"; }

PackNames ChooseNames(const std::string& table_file, const std::string& memo_ext,
                      DbfFileSystem& fs) {
  const std::string base = FolderOf(table_file) + TimeStamp(fs.Now());
  for (int k = 0;; ++k) {
    std::string b = k ? base + "_" + std::to_string(k) : base;
    PackNames n{b + ".dbf", b + memo_ext, b + ".dbf~", b + memo_ext + "~"};
    if (!fs.Exists(n.NewTable) && !fs.Exists(n.NewMemo) && !fs.Exists(n.OldTable) &&
        !fs.Exists(n.OldMemo))
      return n;
  }
}

bool CanReplace(const std::string& path, DbfFileSystem& fs) {
  auto file = fs.Open(path, DbfOpenMode::ReadWriteShared);
  return file && file->Close();
}

bool WriteJournal(const std::string& table_file, const std::string& memo_file,
                  const PackNames& n, DbfFileSystem& fs) {
  std::string text = memo_file + "\n" + n.NewTable + "\n" + n.NewMemo + "\n" + n.OldTable + "\n" +
                     n.OldMemo + "\n";
  auto file = fs.Open(JournalOf(table_file), DbfOpenMode::Create);
  if (!file) return false;
  bool ok = file->Write(text.data(), text.size()) && file->Flush();
  return file->Close() && ok;
}

bool ReadJournal(const std::string& table_file, std::string* memo_file, PackNames* n,
                 DbfFileSystem& fs) {
  auto file = fs.Open(JournalOf(table_file), DbfOpenMode::ReadOnly);
  if (!file) return false;
  std::string text;
  char chunk[4096];
  size_t got = 0;
  while (file->Read(chunk, sizeof chunk, &got) && got > 0) text.append(chunk, got);
  file->Close();
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (lines.size() != 5) return false;
  *memo_file = lines[0];
  *n = PackNames{lines[1], lines[2], lines[3], lines[4]};
  return true;
}

// Copies the live records of the open table and their memo texts.
bool BuildCopy(DbfTable& table, MemoKind kind, const PackNames& names, DbfFileSystem& fs,
               CopyPackOutcome* outcome) {
  const uint16_t header_size = table.HeaderSize();
  const uint16_t record_size = table.RecordSize();
  const uint32_t count = table.RecordCount();
  std::vector<uint8_t> header(header_size);
  uint8_t end_marker = 0;
  if (!table.DataStream->ReadExactAt(0, header.data(), header.size())) return false;
  table.DataStream->ReadExactAt(header_size + uint64_t{count} * record_size, &end_marker, 1);

  std::vector<uint8_t> memo_header(512, 0);
  size_t got = 0;
  if (!table.MemoStream->ReadAt(0, memo_header.data(), memo_header.size(), &got)) return false;
  memo_header.resize(got);

  Appender data(DbfStream::Open(fs.Open(names.NewTable, DbfOpenMode::Create)));
  Appender memo(DbfStream::Open(fs.Open(names.NewMemo, DbfOpenMode::Create)));
  if (!data.IsOpen() || !memo.IsOpen()) {
    data.Finish();
    memo.Finish();
    return false;
  }
  MemoCopy memos(memo, kind, memo_header);
  bool ok = memos.Valid();
  const bool four_bytes = table.GetVersion() == static_cast<uint8_t>(DbfVersion::VisFoxProMemo);
  data.Append(header.data(), header.size());
  uint32_t kept = 0;
  std::string text;
  table.ErrorCode = 0;
  for (uint32_t r = 1; ok && r <= count; ++r) {
    table.GoTo(static_cast<int32_t>(r));
    if (table.ErrorCode != 0) break;
    if (table.RecordBuffer[0] == '*') continue;
    std::vector<uint8_t> record(table.RecordBuffer, table.RecordBuffer + record_size);
    for (int32_t f = 1; ok && f <= table.FieldCount; ++f) {
      if (table.Fields[f].Type != 'M') continue;
      table.ReadMemo(f, text);
      if (table.ErrorCode != 0) break;
      uint64_t block = text.empty() ? 0 : memos.Add(text);
      ok = StoreReference(record.data(), table.Fields[f], four_bytes, block);
    }
    if (table.ErrorCode != 0) break;
    data.Append(record.data(), record.size());
    ++kept;
  }
  if (table.ErrorCode != 0) {
    outcome->Detail = table.ErrorText;
    ok = false;
  }
  // The copy's own header: the kept count and today's date.
  for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<uint8_t>(kept >> (8 * i));
  table.StampDate(header.data() + 1);
  if (end_marker == kDbtTerminator) data.Append(&end_marker, 1);
  ok = ok && data.Patch(0, header.data(), 32) && memos.WriteNextFree();
  ok = data.Finish() && ok;
  ok = memo.Finish() && ok;
  outcome->Kept = static_cast<int32_t>(kept);
  return ok;
}

}  // namespace

std::string TimeStamp(const DbfLocalTime& now) {
  // Days before each month in a common year.
  static const int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const int64_t y = now.Year - 1;
  int64_t days = y * 365 + y / 4 - y / 100 + y / 400 + kBefore[(now.Month - 1) % 12] + now.Day;
  bool leap = (now.Year % 4 == 0 && now.Year % 100 != 0) || now.Year % 400 == 0;
  if (leap && now.Month > 2) ++days;
  const int64_t ms =
      ((int64_t{now.Hour} * 60 + now.Minute) * 60 + now.Second) * 1000 + now.Millisecond;
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", static_cast<double>(days) + ms / 86400000.0);
  return text;
}

bool IsMemoTextField(uint8_t type) { return type == 'M'; }

bool IsBinaryMemoField(uint8_t version, uint8_t type) {
  if (type == 'G' || type == 'P' || type == 'W') return true;
  // In Visual FoxPro 'B' is a binary number inside the record.
  return type == 'B' && version != static_cast<uint8_t>(DbfVersion::VisFoxProMemo);
}

CopyPackOutcome CopyPack(DbfTable& table, DbfFileSystem& fs) {
  CopyPackOutcome outcome;
  const std::string table_file = table.FileName;
  const std::string memo_file = table.MemoFileName;
  table.SetActive(true);
  if (!table.Active) {
    outcome.Result = CopyPackResult::CopyFailed;
    outcome.Detail = table.ErrorText;
    return outcome;
  }
  for (int32_t f = 1; f <= table.FieldCount; ++f) {
    if (!IsBinaryMemoField(table.GetVersion(), table.Fields[f].Type)) continue;
    table.SetActive(false);
    outcome.Result = CopyPackResult::BinaryFields;
    return outcome;
  }
  const MemoKind kind = MemoKindOfVersion(table.GetVersion());
  if (!table.MemoStream || kind == MemoKind::None) {
    table.SetActive(false);
    outcome.Result = CopyPackResult::MemoFileMissing;
    outcome.Detail = memo_file;
    return outcome;
  }
  const PackNames names = ChooseNames(table_file, EndsWithNoCase(memo_file, "fpt") ? ".fpt" : ".dbt", fs);
  bool built = BuildCopy(table, kind, names, fs, &outcome);
  table.SetActive(false);
  auto discard = [&] {
    fs.Remove(names.NewTable);
    fs.Remove(names.NewMemo);
  };
  if (!built) {
    discard();
    outcome.Result = CopyPackResult::CopyFailed;
    if (outcome.Detail.empty()) outcome.Detail = names.NewTable;
    return outcome;
  }
  if (!CanReplace(table_file, fs) || !CanReplace(memo_file, fs) ||
      !WriteJournal(table_file, memo_file, names, fs)) {
    discard();
    fs.Remove(JournalOf(table_file));
    outcome.Result = CopyPackResult::ReplaceFailed;
    const bool table_stuck = !CanReplace(table_file, fs);
    outcome.Detail = table_stuck ? names.NewTable : names.NewMemo;
    outcome.Target = table_stuck ? table_file : memo_file;
    return outcome;
  }

  // Old pair aside, new pair in; on a failure the renames done are undone.
  const std::pair<std::string, std::string> steps[4] = {{table_file, names.OldTable},
                                                        {memo_file, names.OldMemo},
                                                        {names.NewTable, table_file},
                                                        {names.NewMemo, memo_file}};
  for (int i = 0; i < 4; ++i) {
    if (fs.Rename(steps[i].first, steps[i].second)) continue;
    bool undone = true;
    for (int k = i - 1; k >= 0; --k) undone = fs.Rename(steps[k].second, steps[k].first) && undone;
    if (undone) {
      discard();
      fs.Remove(JournalOf(table_file));
    }
    outcome.Result = CopyPackResult::ReplaceFailed;
    outcome.Detail = steps[i].first;
    outcome.Target = steps[i].second;
    return outcome;
  }
  // The journal goes last, so that backups left by a failed removal are
  // still found and removed by the next recovery.
  bool removed = fs.Remove(names.OldTable);
  removed = fs.Remove(names.OldMemo) && removed;
  if (removed) fs.Remove(JournalOf(table_file));
  return outcome;
}

bool RecoverInterruptedPack(const std::string& table_file, DbfFileSystem& fs) {
  std::string memo_file;
  PackNames n;
  if (!fs.Exists(JournalOf(table_file))) return true;
  if (!ReadJournal(table_file, &memo_file, &n, fs)) return false;
  bool ok = true;
  if (!fs.Exists(n.NewTable)) {
    // The new table is in place: finish with the new memo file.
    if (fs.Exists(n.NewMemo)) ok = fs.Rename(n.NewMemo, memo_file);
  } else {
    // The new table never got in: put back whatever was set aside.
    if (!fs.Exists(table_file) && fs.Exists(n.OldTable)) ok = fs.Rename(n.OldTable, table_file) && ok;
    if (!fs.Exists(memo_file) && fs.Exists(n.OldMemo)) ok = fs.Rename(n.OldMemo, memo_file) && ok;
    if (ok) {
      fs.Remove(n.NewTable);
      fs.Remove(n.NewMemo);
    }
  }
  if (!ok) return false;
  if (fs.Exists(n.OldTable)) ok = fs.Remove(n.OldTable);
  if (fs.Exists(n.OldMemo)) ok = fs.Remove(n.OldMemo) && ok;
  return ok && fs.Remove(JournalOf(table_file));
}

}  // namespace tabulon
