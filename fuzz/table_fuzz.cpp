// Opens arbitrary bytes as a table with a memo file and works on it through
// the engine's own operations, checking after each step what must hold
// (fuzz_checks.h): every value and memo is read; a field of each layout
// found is written (typed or stored), a memo of each kind is written (and,
// in FoxPro files, rewritten in place); a record is appended, records are
// marked, one is removed, the table is packed, closed and reopened. The
// data file must hold exactly the records the steps leave, memo texts must
// read back as written, and no header byte may change but those the steps
// own.
//
// Input: byte 0 picks the mode: 0xC0..0xCF makes a table from the data part
// taken as field definition lines, one per line, and works on the new
// table; otherwise bit 3 replaces the version byte by one of the flavours.
// Bytes 1-2 are the length of the data part (little-endian), then the data
// file, then the memo file. The values written come from a generator
// seeded by the whole input.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_checks.h"

namespace {

using namespace tabulon;
using namespace tabulon::fuzz;

constexpr uint8_t kVersions[] = {0x03, 0x83, 0x84, 0xF5, 0x30, 0x8B, 0x04, 0x31, 0x32, 0x05, 0x7B};
// Records read value by value; every record is still checked byte by byte.
constexpr uint32_t kReadRecords = 64;

class Session {
 public:
  Session(MemoryFileSystem& fs, DbfTable& table, Rng& rng)
      : fs_(fs), t_(table), rng_(rng), model_(LoadModel(fs, table)) {}

  void ReadEverything();
  void Append();
  void WriteEachLayout();
  void MarkSome();
  void RemoveOne();
  void PackAll();
  void CloseAndReopen();

 private:
  uint32_t Count() const { return static_cast<uint32_t>(model_.Records.size()); }
  int32_t AnyRecord() { return static_cast<int32_t>(1 + rng_.Below(Count())); }
  // Moves to another record, which posts the current one.
  void Post(int32_t r) { t_.GoTo(static_cast<int32_t>(r % Count()) + 1); }
  void Settle(bool shrink_allowed = false, bool tidy_end = false) {
    CheckFiles(fs_, model_, shrink_allowed, tidy_end);
    if (!model_.MemoName.empty() && fs_.HasFile(model_.MemoName))
      model_.Memo = fs_.GetFile(model_.MemoName);
  }
  void WriteField(int32_t f);
  void WriteMemoField(int32_t f);
  // Memo texts of the first records (only those not marked, with
  // live_only), field by field.
  std::vector<std::string> MemoTexts(uint32_t records, bool live_only = false);

  MemoryFileSystem& fs_;
  DbfTable& t_;
  Rng& rng_;
  TableModel model_;
};

void Session::ReadEverything() {
  std::string memo;
  for (uint32_t r = 1; r <= std::min(Count(), kReadRecords); ++r) {
    t_.GoTo(static_cast<int32_t>(r));
    Require(t_.BufferHoldsRecord() && BufferEquals(t_, model_.Records[r - 1]), "a record reads as stored");
    for (int32_t f = 1; f <= t_.GetFieldCount(); ++f) {
      t_.FieldByNumber(f);
      // A value's own text stored back changes no byte of the record.
      t_.PutFieldText(f, t_.GetFieldText(f));
      Require(!t_.IsRecordModified(), "a value's own text changes nothing");
      if (t_.RefersToMemo(f)) t_.ReadMemo(f, memo);
    }
  }
  t_.GetFieldName(t_.GetFieldCount() + 1);
  Settle();
}

void Session::Append() {
  t_.ClearError();
  t_.AppendBlank();
  // The header counts the new record from the next flush on.
  t_.FlushWrites();
  if (t_.GetErrorCode() == 0) {
    Bytes blank(t_.RecordSize(), ' ');
    for (int32_t f = 1; f <= t_.GetFieldCount(); ++f) {
      if (!KeepsRawBytes(t_.GetValueLayout(f), t_.GetVersion()) || t_.GetField(f).Type == 'V') continue;
      const Span s = FieldSpan(t_, f);
      std::fill(blank.begin() + s.Begin, blank.begin() + s.End, 0);
    }
    Require(BufferEquals(t_, blank) && t_.GetRecNo() == static_cast<int32_t>(Count() + 1),
            "an appended record is blank and current");
    model_.Records.push_back(blank);
  }
  Settle();
}

void Session::WriteEachLayout() {
  std::set<std::pair<DbfValueLayout, bool>> done;
  for (int32_t f = 1; f <= t_.GetFieldCount() && Count() > 0; ++f) {
    if (!done.insert({t_.GetValueLayout(f), t_.RefersToMemo(f)}).second) continue;
    if (t_.RefersToMemo(f) && t_.GetMemoKind() != MemoKind::None)
      WriteMemoField(f);
    else
      WriteField(f);
  }
}

void Session::WriteField(int32_t f) {
  const int32_t r = AnyRecord();
  t_.GoTo(r);
  const Bytes before = model_.Records[r - 1];
  Require(BufferEquals(t_, before), "a record reads as stored");
  Bytes expected = before;
  const bool typed = rng_.Chance(2);
  const std::string value = typed ? MakeTypedText(t_, f, rng_) : MakeStoredValue(t_, f, rng_);
  // A stored value is fitted to the field's width; whether a typed one
  // suits the field is the engine's to say, and then only its field changes.
  const bool fits = typed || FitStored(t_, f, value, &expected);
  t_.ClearError();
  if (typed)
    t_.PutFieldText(f, value);
  else
    t_.PutFieldByNumber(f, value);
  const Bytes now = BufferBytes(t_);
  const bool refused = t_.GetErrorCode() == DbfValueRefused;
  Require(typed || refused != fits, "a stored value is taken exactly when it fits");
  if (refused) {
    Require(now == before, "a refused value changes nothing");
    return;
  }
  if (typed) {
    const Span own = FieldSpan(t_, f);
    std::copy(now.begin() + own.Begin, now.begin() + own.End, expected.begin() + own.Begin);
    const DbfValueLayout layout = t_.GetValueLayout(f);
    if (layout == DbfValueLayout::Date || layout == DbfValueLayout::Logic)
      Require(TrimBlanks(t_.GetFieldText(f)) == TrimBlanks(value), "a typed value reads back");
    // A number reads back as the same number, its decimals filled in.
    if (layout == DbfValueLayout::Number)
      Require(TrimBlanks(value).empty() ? TrimBlanks(t_.GetFieldText(f)).empty()
                                        : std::stod(t_.GetFieldText(f)) == std::stod(TrimBlanks(value)),
              "a typed number reads back");
  }
  for (size_t i = 0; i < now.size(); ++i) {
    if (now[i] == expected[i]) continue;
    // A typed value clears its field's null bit in _NullFlags, nothing else.
    bool in_null_flags = false;
    for (int32_t g = 1; g <= t_.GetFieldCount(); ++g) {
      const Span s = FieldSpan(t_, g);
      in_null_flags = in_null_flags || (t_.GetField(g).Type == '0' && i >= s.Begin && i < s.End);
    }
    Require(typed && in_null_flags && (now[i] & ~before[i]) == 0,
            "a write changes its own field and no other");
  }
  Post(r);
  model_.Records[r - 1] = now;
  Settle();
  t_.GoTo(r);
  Require(BufferEquals(t_, now), "a posted record reads back");
  const Span s = FieldSpan(t_, f);
  const std::string bytes(now.begin() + s.Begin, now.begin() + s.End);
  const bool raw = KeepsRawBytes(t_.GetValueLayout(f), t_.GetVersion());
  Require(t_.FieldByNumber(f) == (raw ? bytes : TrimRightBlanks(bytes)), "the value reads back");
}

void Session::WriteMemoField(int32_t f) {
  const int32_t r = AnyRecord();
  t_.GoTo(r);
  const Bytes before = model_.Records[r - 1];
  const uint64_t old_block = GetMemoReference(t_.GetVersion(), t_.GetField(f), t_.GetRecordBuffer());
  const std::string text = MakeMemoText(rng_, 1500);
  t_.ClearError();
  t_.WriteMemo(f, text);
  const bool written = t_.GetErrorCode() == 0;
  std::string got;
  if (written) {
    t_.ReadMemo(f, got);
    Require(t_.GetErrorCode() == 0 && got == text, "a memo reads back as written");
  }
  const Bytes now = BufferBytes(t_);
  const Span s = FieldSpan(t_, f);
  for (size_t i = 0; i < now.size(); ++i)
    if (i < s.Begin || i >= s.End || !written)
      Require(now[i] == before[i], "a memo write changes its own reference and no other byte");
  const uint64_t block = GetMemoReference(t_.GetVersion(), t_.GetField(f), t_.GetRecordBuffer());
  Post(r);
  model_.Records[r - 1] = now;
  // New text goes after the end of the file, in every layout.
  Require(!written || block != old_block, "a memo goes to new blocks");
  CheckMemoKeptOutside(fs_, model_, model_.Memo.size(), UINT64_MAX);
  Settle();
  if (!written) return;

  // A shorter text goes to new blocks too: the blocks just written stay as
  // they are until the new reference is stored.
  t_.GoTo(r);
  const std::string shorter = text.substr(0, rng_.Below(text.size() + 1));
  t_.ClearError();
  t_.WriteMemo(f, shorter);
  t_.ReadMemo(f, got);
  Require(t_.GetErrorCode() == 0 && got == shorter, "a memo rewritten reads back");
  Require(GetMemoReference(t_.GetVersion(), t_.GetField(f), t_.GetRecordBuffer()) != block,
          "a rewritten memo leaves its old blocks");
  model_.Records[r - 1] = BufferBytes(t_);
  Post(r);
  CheckMemoKeptOutside(fs_, model_, model_.Memo.size(), UINT64_MAX);
  Settle();
}

void Session::MarkSome() {
  // The appended record is marked, so that a pack has one to drop.
  const int rounds = 2 + static_cast<int>(rng_.Below(4));
  for (int k = 0; k < rounds && Count() > 0; ++k) {
    const int32_t r = k == 0 ? static_cast<int32_t>(Count()) : static_cast<int32_t>(1 + rng_.Below(Count() + 1));
    const bool deleted = k == 0 || rng_.Chance(2);
    t_.GoTo(r);
    t_.ClearError();
    t_.SetDeleted(deleted);
    if (static_cast<uint32_t>(r) <= Count()) {
      Bytes expected = model_.Records[r - 1];
      expected[0] = deleted ? '*' : ' ';
      Require(BufferEquals(t_, expected), "a mark changes the flag only");
      model_.Records[r - 1] = expected;
    } else {
      Require(t_.GetErrorCode() != 0, "no mark without a record");
    }
    t_.PostRecord();
    Settle();
  }
}

void Session::RemoveOne() {
  if (rng_.Chance(3)) return;
  const int32_t n = static_cast<int32_t>(rng_.Below(Count() + 2));
  t_.ClearError();
  t_.RemoveRecord(n);
  const bool valid = n >= 1 && static_cast<uint32_t>(n) <= Count();
  Require(valid == (t_.GetErrorCode() == 0), "a removal succeeds exactly for a record that exists");
  if (valid) {
    model_.Records.erase(model_.Records.begin() + (n - 1));
    Require(t_.GetRecNo() == 0, "no current record after a removal");
  }
  Settle(false, valid);
}

// Memo texts of the memo fields of the first records, in order.
std::vector<std::string> Session::MemoTexts(uint32_t records, bool live_only) {
  std::vector<std::string> texts;
  std::string text;
  for (uint32_t r = 1, seen = 0; r <= records && seen < kReadRecords; ++r) {
    if (live_only && model_.Records[r - 1][0] == '*') continue;
    ++seen;
    t_.GoTo(static_cast<int32_t>(r));
    for (int32_t f = 1; f <= t_.GetFieldCount(); ++f) {
      if (!t_.RefersToMemo(f)) continue;
      text.clear();
      t_.ReadMemo(f, text);
      texts.push_back(text);
    }
  }
  return texts;
}

void Session::PackAll() {
  t_.PostRecord();
  const bool memo = t_.GetMemoKind() != MemoKind::None;
  std::vector<Bytes> live;
  for (uint32_t r = 0; r < Count(); ++r)
    if (model_.Records[r][0] != '*') live.push_back(model_.Records[r]);
  // Memo texts of the first live records, read from the old files.
  const std::vector<std::string> texts = MemoTexts(Count(), true);
  const Bytes data_before = fs_.GetFile(model_.DataName);
  t_.ClearError();
  t_.Pack();
  Require(t_.GetRecNo() == 0, "no current record after a pack");
  if (t_.GetErrorCode() != 0) {
    // All or nothing; without a memo file nothing can refuse a pack.
    Require(memo, "a pack without memo file succeeds");
    Require(fs_.GetFile(model_.DataName) == data_before && fs_.GetFile(model_.MemoName) == model_.Memo,
            "a failed pack changes nothing");
    Settle();
    return;
  }
  const Bytes data = fs_.GetFile(model_.DataName);
  Require(live.size() == t_.RecordCount(), "a pack keeps the live records");
  for (size_t i = 0; i < live.size(); ++i) {
    const size_t at = model_.HeaderSize + i * model_.RecordSize;
    Require(at + model_.RecordSize <= data.size(), "a pack keeps every live record");
    Bytes record(data.begin() + at, data.begin() + at + model_.RecordSize);
    Require(memo ? WithoutMemoReferences(t_, record) == WithoutMemoReferences(t_, live[i]) : record == live[i],
            "a pack keeps the live records in order");
    live[i] = record;
  }
  model_.Records = live;
  Settle(true, true);
  Require(MemoTexts(Count()) == texts, "a pack keeps every memo of the live records");
}

void Session::CloseAndReopen() {
  t_.ClearError();
  t_.SetActive(false);
  Require(t_.GetErrorCode() == 0 && !t_.IsActive(), "a table closes");
  Settle();
  t_.SetActive(true);
  Require(t_.IsActive() && t_.RecordCount() == Count(), "a table reopens with its records");
  for (uint32_t r = 1; r <= std::min(Count(), kReadRecords); ++r) {
    t_.GoTo(static_cast<int32_t>(r));
    Require(BufferEquals(t_, model_.Records[r - 1]), "a record reads as stored after reopening");
  }
  t_.SetActive(false);
  Settle();
}

void Exercise(MemoryFileSystem& fs, const std::string& data_name, const std::string& memo_name,
              Rng& rng) {
  const Bytes data = fs.GetFile(data_name);
  auto table = NewDbfTable(data_name, memo_name, true, &fs);
  table->SetActive(true);
  Require(fs.GetFile(data_name) == data, "opening writes nothing");
  if (!table->IsActive()) {
    Require(table->GetFieldCount() == 0, "a refused table has no fields");
    return;
  }
  Session session(fs, *table, rng);
  session.ReadEverything();
  session.Append();
  session.WriteEachLayout();
  session.MarkSome();
  session.RemoveOne();
  session.PackAll();
  session.CloseAndReopen();
}

// A table made from definition lines opens empty with those fields, and
// its structure makes the same table again.
void CreateAndExercise(const Bytes& definition, Rng& rng) {
  std::vector<std::string> lines;
  std::string line;
  for (uint8_t c : definition) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += static_cast<char>(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  MemoryFileSystem fs;
  if (!NewDbfTable("", "", true, &fs)->CreateTable("n.dbf", lines)) {
    Require(fs.ListFiles().empty(), "a refused creation writes nothing");
    return;
  }
  auto table = NewDbfTable("n.dbf", "n.dbt", true, &fs);
  table->SetActive(true);
  Require(table->IsActive() && table->RecordCount() == 0, "a new table opens empty");
  Require(table->GetFieldCount() == static_cast<int32_t>(std::min<size_t>(lines.size(), kDbfMaxCreatedFields)),
          "a new table has a field per line");
  std::vector<std::string> structure, copied;
  Require(table->GetStructure(&structure) && table->CopyStructure("m.dbf"), "a structure copies");
  table->SetActive(false);
  auto copy = NewDbfTable("m.dbf", "", true, &fs);
  copy->SetActive(true);
  // Names with control bytes are trimmed again on the way: compare the rest.
  auto formats = [](std::vector<std::string> list) {
    for (std::string& entry : list) entry.erase(0, entry.rfind('='));
    return list;
  };
  Require(copy->GetStructure(&copied) && formats(copied) == formats(structure),
          "a copied structure has the same fields");
  copy->SetActive(false);
  Exercise(fs, "n.dbf", "n.dbt", rng);
}

uint64_t Hash(const uint8_t* input, size_t size) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (size_t i = 0; i < size; ++i) h = (h ^ input[i]) * 0x100000001B3ull;
  return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 3) return 0;
  const size_t data_size = std::min<size_t>(input[1] | (input[2] << 8), size - 3);
  Bytes data(input + 3, input + 3 + data_size);
  Bytes memo(input + 3 + data_size, input + size);
  Rng rng(Hash(input, size));
  if ((input[0] & 0xF0) == 0xC0) {
    CreateAndExercise(data, rng);
    return 0;
  }
  if (!data.empty() && (input[0] & 8)) data[0] = kVersions[(input[0] & 0x77) % sizeof kVersions];
  MemoryFileSystem fs;
  fs.SetFile("t.dbf", data);
  fs.SetFile("t.memo", memo);
  Exercise(fs, "t.dbf", "t.memo", rng);
  return 0;
}
