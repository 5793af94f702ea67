#include "write_journal.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "dbf_header.h"
#include "dbf_table.h"

namespace tabulon {

namespace {

constexpr uint8_t kMagic[8] = {'D', 'B', 'F', 'W', 'R', 'I', 'T', '1'};
constexpr size_t kHeadSize = 64;
constexpr uint32_t kMostEntry = 64u << 20;
constexpr int kMostRejected = 99;

uint64_t Fnv(const uint8_t* p, size_t n, uint64_t hash = 0xcbf29ce484222325ull) {
  for (size_t i = 0; i < n; ++i) hash = (hash ^ p[i]) * 0x100000001b3ull;
  return hash;
}

void Put(std::vector<uint8_t>& out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

uint64_t Get(const uint8_t* p, int width) {
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

std::string FolderPart(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BasePart(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The descriptors' sum: what makes a journal this table's. A dBase 7
// descriptor's next autoincrement value changes with every append of the
// write, so it is left out.
bool DescriptorSum(DbfStream& data, uint16_t header_size, uint64_t* sum) {
  if (header_size < kDbfHeaderSize) return false;
  std::vector<uint8_t> bytes(header_size);
  if (!data.ReadExactAt(0, bytes.data(), bytes.size())) return false;
  if (bytes[0] == 0x04 || bytes[0] == 0x8C)
    for (size_t at = kDbase7HeaderSize + kDbase7NextAutoincrementAt; at + 4 <= bytes.size();
         at += kDbase7DescriptorSize)
      std::memset(bytes.data() + at, 0, 4);
  *sum = Fnv(bytes.data() + kDbfHeaderSize, bytes.size() - kDbfHeaderSize);
  return true;
}

struct SavedBytes {
  int File = 0;
  uint64_t Offset = 0;
  std::vector<uint8_t> Bytes;
};

struct ReadJournal {
  WriteJournalKind Kind = WriteJournalKind::PutBack;
  uint64_t DataSize = 0;
  uint8_t Header[kDbfHeaderSize] = {};
  uint64_t Descriptors = 0;
  std::vector<std::string> Names;
  std::vector<uint64_t> Sizes;
  std::vector<SavedBytes> Saved;
};

// Reads the head and every whole entry. False when the head is not one
// of these journals or an entry contradicts the others.
bool ReadEntries(DbfStream& in, ReadJournal* j) {
  uint8_t head[kHeadSize];
  if (!in.ReadExactAt(0, head, sizeof head) || std::memcmp(head, kMagic, 8) != 0 || head[8] > 1) return false;
  j->Kind = WriteJournalKind(head[8]);
  j->DataSize = Get(head + 16, 8);
  std::memcpy(j->Header, head + 24, kDbfHeaderSize);
  j->Descriptors = Get(head + 56, 8);
  const uint64_t size = in.GetSize();
  uint64_t at = kHeadSize;
  while (at + 4 + 8 <= size) {
    uint8_t length_bytes[4];
    if (!in.ReadExactAt(at, length_bytes, 4)) return false;
    const uint32_t n = uint32_t(Get(length_bytes, 4));
    if (n == 0 || n > kMostEntry || at + 4 + n + 8 > size) break;
    std::vector<uint8_t> body(n + 8);
    if (!in.ReadExactAt(at + 4, body.data(), body.size())) return false;
    if (Get(body.data() + n, 8) != Fnv(body.data(), n, Fnv(length_bytes, 4))) break;
    at += 4 + n + 8;
    const uint8_t* p = body.data();
    if (p[0] == 'F' && n > 9) {
      j->Sizes.push_back(Get(p + 1, 8));
      j->Names.emplace_back(reinterpret_cast<const char*>(p + 9), n - 9);
      if (j->Names.back().find_first_of("/\\") != std::string::npos) return false;
    } else if (p[0] == 'B' && n >= 11) {
      SavedBytes s;
      s.File = int(Get(p + 1, 2));
      s.Offset = Get(p + 3, 8);
      s.Bytes.assign(p + 11, p + n);
      // Only bytes inside the file as it was are ever saved.
      if (size_t(s.File) >= j->Sizes.size() || s.Offset > j->Sizes[size_t(s.File)] ||
          s.Bytes.size() > j->Sizes[size_t(s.File)] - s.Offset)
        return false;
      j->Saved.push_back(std::move(s));
    } else {
      return false;
    }
  }
  // File 0 is the table, as it was when the journal began.
  return !j->Names.empty() && j->Sizes[0] == j->DataSize;
}

// The table can be a state of the write: same flavour and record layout,
// same descriptors, and for a put-back write no fewer records.
bool FitsTable(DbfStream& data, const ReadJournal& j) {
  uint8_t now[kDbfHeaderSize];
  if (!data.ReadExactAt(0, now, sizeof now)) return false;
  if (now[0] != j.Header[0] || std::memcmp(now + 8, j.Header + 8, 4) != 0) return false;
  // A write put back only changes records and appends: a shorter file, or
  // fewer records counted, is another table (one restored from a backup).
  if (j.Kind == WriteJournalKind::PutBack &&
      (data.GetSize() < j.DataSize || GetDbfRecordCount(now) < GetDbfRecordCount(j.Header)))
    return false;
  uint64_t sum = 0;
  const DbfHeaderFields h = DecodeDbfHeader(now);
  return DescriptorSum(data, h.HeaderSize, &sum) && sum == j.Descriptors;
}

bool SetAside(DbfFileSystem& fs, const std::string& table_file, std::string* detail) {
  const std::string name = WriteJournalName(table_file);
  for (int n = 1; n <= kMostRejected; ++n) {
    const std::string aside = RejectedWriteJournalName(table_file, n);
    DbfFileInfo info;
    if (fs.Exists(aside) || fs.GetInfo(aside, &info)) continue;
    if (!fs.Rename(name, aside)) break;
    fs.FlushFolder(aside);
    *detail = aside;
    return true;
  }
  *detail = name;
  return false;
}

bool PutBack(DbfFileSystem& fs, const std::string& table_file, DbfStream& data, const ReadJournal& j) {
  std::vector<std::unique_ptr<DbfStream>> opened(j.Names.size());
  auto stream = [&](size_t file) -> DbfStream* {
    if (file == 0) return &data;
    if (!opened[file]) {
      const std::string path = FolderPart(table_file) + j.Names[file];
      // A file removed since is no longer the table's.
      if (!fs.Exists(path)) return nullptr;
      opened[file] = DbfStream::Open(fs.Open(path, DbfOpenMode::ReadWriteShared));
    }
    return opened[file].get();
  };
  bool ok = true;
  std::vector<bool> missing(j.Names.size(), false);
  for (size_t i = 0; i < j.Names.size(); ++i) {
    if (i > 0 && !fs.Exists(FolderPart(table_file) + j.Names[i])) missing[i] = true;
    else if (!stream(i)) ok = false;
  }
  if (!ok) return false;
  for (auto s = j.Saved.rbegin(); s != j.Saved.rend(); ++s) {
    if (missing[size_t(s->File)]) continue;
    ok = ok && stream(size_t(s->File))->WriteAt(s->Offset, s->Bytes.data(), s->Bytes.size());
  }
  for (size_t i = 0; i < j.Names.size() && ok; ++i) {
    if (missing[i]) continue;
    DbfStream* out = stream(i);
    ok = out->SetSize(j.Sizes[i]) && out->Flush();
  }
  for (auto& o : opened)
    if (o) ok = o->Close() && ok;
  return ok;
}

}  // namespace

std::string WriteJournalName(const std::string& table_file) { return table_file + "~write"; }

std::string RejectedWriteJournalName(const std::string& table_file, int number) {
  return table_file + "~write-rejected" + (number > 1 ? std::to_string(number) : std::string());
}

WriteJournal::WriteJournal(DbfFileSystem& fs, std::string table_file)
    : fs_(fs), table_file_(std::move(table_file)), name_(WriteJournalName(table_file_)) {}

WriteJournal::~WriteJournal() { Abandon(); }

bool WriteJournal::Begin(WriteJournalKind kind, DbfStream& data, uint16_t header_size) {
  std::vector<uint8_t> head(kHeadSize, 0);
  std::memcpy(head.data(), kMagic, 8);
  head[8] = uint8_t(kind);
  const uint64_t size = data.GetSize();
  uint64_t sum = 0;
  std::vector<uint8_t> numbers;
  Put(numbers, size, 8);
  std::memcpy(head.data() + 16, numbers.data(), 8);
  if (!data.ReadExactAt(0, head.data() + 24, kDbfHeaderSize) || !DescriptorSum(data, header_size, &sum)) return false;
  numbers.clear();
  Put(numbers, sum, 8);
  std::memcpy(head.data() + 56, numbers.data(), 8);
  file_ = fs_.Open(name_, DbfOpenMode::CreateNew);
  if (!file_) return false;
  at_ = 0;
  sizes_.clear();
  at_ = head.size();
  if (file_->WriteAt(0, head.data(), head.size()) && AddFile(table_file_, size) == 0 && Flush() &&
      fs_.FlushFolder(name_))
    return true;
  file_->Close();
  file_.reset();
  fs_.Remove(name_);
  return false;
}

bool WriteJournal::AddEntry(const std::vector<uint8_t>& body) {
  std::vector<uint8_t> entry;
  Put(entry, body.size(), 4);
  entry.insert(entry.end(), body.begin(), body.end());
  Put(entry, Fnv(entry.data(), entry.size()), 8);
  if (!file_ || !file_->WriteAt(at_, entry.data(), entry.size())) return false;
  at_ += entry.size();
  return true;
}

int WriteJournal::AddFile(const std::string& path, uint64_t size) {
  std::vector<uint8_t> body{'F'};
  Put(body, size, 8);
  const std::string base = BasePart(path);
  body.insert(body.end(), base.begin(), base.end());
  if (!AddEntry(body)) return -1;
  sizes_.push_back(size);
  return int(sizes_.size()) - 1;
}

bool WriteJournal::SaveBytes(int file, uint64_t offset, const uint8_t* bytes, size_t n) {
  if (file < 0 || size_t(file) >= sizes_.size()) return false;
  const uint64_t size = sizes_[size_t(file)];
  if (offset >= size) return true;
  n = size_t(std::min<uint64_t>(n, size - offset));
  // Entries stay well under the reader's limit.
  constexpr size_t kPiece = 1u << 20;
  for (size_t done = 0; done < n; done += kPiece) {
    const size_t part = std::min(kPiece, n - done);
    std::vector<uint8_t> body{'B'};
    Put(body, uint64_t(file), 2);
    Put(body, offset + done, 8);
    body.insert(body.end(), bytes + done, bytes + done + part);
    if (!AddEntry(body)) return false;
  }
  return true;
}

bool WriteJournal::Flush() { return file_ && file_->Flush(); }

bool WriteJournal::Commit() {
  if (!file_) return false;
  file_->Close();
  file_.reset();
  if (!fs_.Remove(name_)) return false;
  // A failed folder flush leaves the removal to the system: the journal
  // may come back after a power loss and put back bytes the write had
  // already made durable, which leaves the old state, whole.
  fs_.FlushFolder(name_);
  return true;
}

void WriteJournal::Abandon() {
  if (file_) file_->Close();
  file_.reset();
}

WriteJournalFound RecoverWriteJournal(DbfFileSystem& fs, const std::string& table_file, DbfStream& data,
                                      std::vector<std::string>* rebuild, std::string* detail) {
  const std::string name = WriteJournalName(table_file);
  DbfFileInfo info;
  if (!fs.Exists(name) && !fs.GetInfo(name, &info)) return WriteJournalFound::None;
  *detail = name;
  auto in = DbfStream::Open(fs.Open(name, DbfOpenMode::ReadOnlyNoFollow));
  if (!in) {
    // A link, a folder or a pipe at its name is no journal of this table's.
    if (!fs.Exists(name) || fs.Open(name, DbfOpenMode::ReadOnly))
      return SetAside(fs, table_file, detail) ? WriteJournalFound::SetAside : WriteJournalFound::Failed;
    return WriteJournalFound::Failed;
  }
  ReadJournal j;
  const bool read = ReadEntries(*in, &j);
  in->Close();
  if (!read || !FitsTable(data, j))
    return SetAside(fs, table_file, detail) ? WriteJournalFound::SetAside : WriteJournalFound::Failed;
  if (j.Kind == WriteJournalKind::Rebuild) {
    rebuild->clear();
    for (size_t i = 1; i < j.Names.size(); ++i) rebuild->push_back(FolderPart(table_file) + j.Names[i]);
    return WriteJournalFound::Rebuild;
  }
  if (!PutBack(fs, table_file, data, j)) return WriteJournalFound::Failed;
  return RemoveWriteJournal(fs, table_file) ? WriteJournalFound::Undone : WriteJournalFound::Failed;
}

bool RemoveWriteJournal(DbfFileSystem& fs, const std::string& table_file) {
  const std::string name = WriteJournalName(table_file);
  if (!fs.Remove(name)) return false;
  fs.FlushFolder(name);
  return true;
}

}  // namespace tabulon
