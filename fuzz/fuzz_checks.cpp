#include "fuzz_checks.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "memo_blocks.h"
#include "pack_journal.h"

namespace tabulon::fuzz {

namespace {

constexpr uint8_t kEndOfData = 0x1A;

uint32_t MemoHeaderBytes(MemoryFileSystem& fs, const std::string& name, uint8_t version,
                         size_t file_size) {
  if (name.empty() || !fs.HasFile(name) || MemoKindOfVersion(version) == MemoKind::None)
    return static_cast<uint32_t>(file_size);
  auto stream = DbfStream::Open(fs.Open(name, DbfOpenMode::ReadOnly));
  MemoFileHeader header;
  // A header the engine cannot read makes every memo write fail: then the
  // whole file counts as header.
  if (!stream || !ReadMemoHeader(*stream, MemoLayoutOfVersion(version), &header))
    return static_cast<uint32_t>(file_size);
  return header.HeaderBytes;
}

std::string Digits(Rng& rng, size_t count) {
  std::string s;
  for (size_t i = 0; i < count; ++i) s += static_cast<char>('0' + rng.Below(10));
  return s;
}

std::string Letters(Rng& rng, size_t count) {
  static const char kAlphabet[] = "abcXYZ 019.,-\xA0\xE0\xF1\xAE";
  std::string s;
  for (size_t i = 0; i < count; ++i) s += kAlphabet[rng.Below(sizeof kAlphabet - 1)];
  return s;
}

std::string AnyBytes(Rng& rng, size_t count) {
  std::string s;
  for (size_t i = 0; i < count; ++i) s += static_cast<char>(rng.Below(256));
  return s;
}

}  // namespace

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "table fuzz: expectation broken: %s\n", what);
  std::abort();
}

uint64_t Rng::Next() {
  // splitmix64
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

TableModel LoadModel(MemoryFileSystem& fs, const DbfTable& table) {
  TableModel m;
  m.DataName = table.GetFileName();
  m.MemoName = table.GetMemoFileName();
  const Bytes data = fs.GetFile(m.DataName);
  m.HeaderSize = table.HeaderSize();
  m.RecordSize = table.RecordSize();
  Require(data.size() >= m.HeaderSize, "an opened table holds its header");
  m.Head.assign(data.begin(), data.begin() + m.HeaderSize);
  for (uint32_t r = 0; r < table.RecordCount(); ++r) {
    const size_t at = m.HeaderSize + size_t{r} * m.RecordSize;
    Require(at + m.RecordSize <= data.size(), "an opened table holds its records");
    m.Records.emplace_back(data.begin() + at, data.begin() + at + m.RecordSize);
  }
  if (!m.MemoName.empty() && fs.HasFile(m.MemoName)) m.Memo = fs.GetFile(m.MemoName);
  m.MemoHeaderBytes = MemoHeaderBytes(fs, m.MemoName, table.GetVersion(), m.Memo.size());
  return m;
}

void CheckFiles(MemoryFileSystem& fs, const TableModel& model, bool shrink_allowed, bool tidy_end) {
  const Bytes data = fs.GetFile(model.DataName);
  Require(data.size() >= model.HeaderSize, "the header stays");
  for (size_t i = 0; i < model.HeaderSize; ++i)
    if (i < 1 || i > 7) Require(data[i] == model.Head[i], "nothing written below the header size");
  const uint32_t count = uint32_t{data[4]} | uint32_t{data[5]} << 8 | uint32_t{data[6]} << 16 |
                         uint32_t{data[7]} << 24;
  Require(count == model.Records.size(), "the count is the number of records");
  const size_t end = model.HeaderSize + model.Records.size() * size_t{model.RecordSize};
  Require(data.size() >= end, "the file holds every record it counts");
  if (tidy_end) Require(data.size() == end + 1 && data[end] == kEndOfData, "the data ends after the records");
  for (size_t r = 0; r < model.Records.size(); ++r)
    Require(std::equal(model.Records[r].begin(), model.Records[r].end(),
                       data.begin() + model.HeaderSize + r * model.RecordSize),
            "every record holds what was written");

  if (!model.MemoName.empty() && fs.HasFile(model.MemoName)) {
    const Bytes memo = fs.GetFile(model.MemoName);
    Require(shrink_allowed || memo.size() >= model.Memo.size(), "the memo file never shrinks");
    const size_t protect = std::min<size_t>({model.MemoHeaderBytes, model.Memo.size(), memo.size()});
    for (size_t i = 4; i < protect; ++i)
      Require(memo[i] == model.Memo[i], "the memo header keeps all but its next-free number");
  }
  Require(!fs.HasFile(PackJournalName(model.DataName)), "no journal stays behind");
}

void CheckMemoKeptOutside(MemoryFileSystem& fs, const TableModel& model, uint64_t from, uint64_t to) {
  const Bytes memo = fs.GetFile(model.MemoName);
  const size_t common = std::min(memo.size(), model.Memo.size());
  for (size_t i = std::min<size_t>(4, common); i < common; ++i)
    if (i < from || i >= to) Require(memo[i] == model.Memo[i], "no other memo changed");
}

bool BufferEquals(const DbfTable& table, const Bytes& record) {
  return record.size() == table.RecordSize() &&
         std::equal(record.begin(), record.end(), table.GetRecordBuffer());
}

Bytes BufferBytes(const DbfTable& table) {
  return Bytes(table.GetRecordBuffer(), table.GetRecordBuffer() + table.RecordSize());
}

Span FieldSpan(const DbfTable& table, int32_t n) {
  const DbfField& f = table.GetField(n);
  return {f.FieldPosition, size_t{f.FieldPosition} + f.Length};
}

Bytes WithoutMemoReferences(const DbfTable& table, Bytes record) {
  for (int32_t f = 1; f <= table.GetFieldCount(); ++f) {
    if (!table.RefersToMemo(f)) continue;
    const Span s = FieldSpan(table, f);
    std::fill(record.begin() + s.Begin, record.begin() + s.End, 0);
  }
  return record;
}

std::string MakeTypedText(DbfTable& table, int32_t n, Rng& rng) {
  const DbfField& f = table.GetField(n);
  const size_t width = f.Length;
  if (rng.Chance(8)) return AnyBytes(rng, rng.Below(width + 3));
  switch (table.GetValueLayout(n)) {
    case DbfValueLayout::Number: {
      std::string s = (rng.Chance(4) ? "-" : "") + Digits(rng, 1 + rng.Below(width));
      if (f.Decimals > 0 && rng.Chance(2)) s += "." + Digits(rng, 1 + rng.Below(f.Decimals));
      return rng.Chance(6) ? " " + s + " " : s;
    }
    case DbfValueLayout::Date:
      return rng.Chance(5) ? std::string() : "19" + Digits(rng, 2) + "0" + Digits(rng, 1) + "1" + Digits(rng, 1);
    case DbfValueLayout::Logic: {
      static const char* kLetters[] = {"T", "f", "Y", "n", "?", "", "x", "TT"};
      return kLetters[rng.Below(8)];
    }
    case DbfValueLayout::DateTime:
    case DbfValueLayout::Timestamp:
      return Digits(rng, 1) + "1.0" + Digits(rng, 1) + ".20" + Digits(rng, 2) + " 1" + Digits(rng, 1) +
             ":3" + Digits(rng, 1) + ":0" + Digits(rng, 1);
    case DbfValueLayout::Double:
    case DbfValueLayout::SortableDouble:
    case DbfValueLayout::Currency:
      return (rng.Chance(3) ? "-" : "") + Digits(rng, 1 + rng.Below(8)) + "." + Digits(rng, 1 + rng.Below(4));
    case DbfValueLayout::Integer:
    case DbfValueLayout::Autoincrement:
      return (rng.Chance(3) ? "-" : "") + Digits(rng, 1 + rng.Below(11));
    default:
      return Letters(rng, rng.Below(width + 4));
  }
}

std::string MakeStoredValue(DbfTable& table, int32_t n, Rng& rng) {
  const size_t width = table.GetField(n).Length;
  const bool raw = KeepsRawBytes(table.GetValueLayout(n), table.GetVersion());
  if (raw) return AnyBytes(rng, rng.Chance(6) ? rng.Below(width + 2) : width);
  return rng.Chance(3) ? AnyBytes(rng, rng.Below(width + 3)) : Letters(rng, rng.Below(width + 3));
}

std::string MakeMemoText(Rng& rng, size_t most) {
  std::string s = Letters(rng, rng.Below(most + 1));
  return s;
}

bool FitStored(DbfTable& table, int32_t n, const std::string& value, Bytes* record) {
  if (value == table.FieldByNumber(n)) return true;
  const DbfField& f = table.GetField(n);
  const Span s = FieldSpan(table, n);
  std::string fitted;
  if (KeepsRawBytes(table.GetValueLayout(n), table.GetVersion())) {
    if (value.size() != f.Length) return false;
    fitted = value;
  } else {
    const bool right = f.Type == 'N' || f.Type == 'M';
    fitted = right ? PadLeft(value, f.Length) : PadRight(value, f.Length);
  }
  std::copy(fitted.begin(), fitted.end(), record->begin() + s.Begin);
  return true;
}

}  // namespace tabulon::fuzz
