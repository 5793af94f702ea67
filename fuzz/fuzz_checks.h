// What the table fuzzer expects of the engine: a model of the records the
// data file must hold, the checks of the files after each step, and the
// values it writes with the bytes the engine must fit them to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf_table.h"
#include "file_memory.h"

namespace tabulon::fuzz {

using Bytes = std::vector<uint8_t>;

// Stops the run with a message naming the broken expectation.
void Require(bool condition, const char* what);

// A small deterministic generator, seeded from the input.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(Next() % n); }
  bool Chance(unsigned in) { return Below(in) == 0; }

 private:
  uint64_t state_;
};

// The files of one table, and what its data file must hold: the bytes
// below the header size as opened, and every record.
struct TableModel {
  std::string DataName, MemoName;
  Bytes Head;  // bytes 0 .. header size of the data file as opened
  uint16_t HeaderSize = 0;
  uint16_t RecordSize = 0;
  std::vector<Bytes> Records;
  // Bytes of the memo file's header after its next-free number; the file
  // as it stood before the step being checked.
  uint32_t MemoHeaderBytes = 0;
  Bytes Memo;
};

// The model of an open table, from its files.
TableModel LoadModel(MemoryFileSystem& fs, const DbfTable& table);

// After any step: nothing below the header size changed but the date and
// the count; the count, the file length and every record agree with the
// model; the memo header kept every byte but its next-free number; the
// memo file only got shorter when shrink_allowed (a pack), and no journal
// stayed behind. With tidy_end the data ends right after the records with
// the end-of-data byte, as after a pack or a removal.
void CheckFiles(MemoryFileSystem& fs, const TableModel& model, bool shrink_allowed, bool tidy_end);
// The memo bytes outside [from, to) and past the header kept as they were.
void CheckMemoKeptOutside(MemoryFileSystem& fs, const TableModel& model, uint64_t from,
                          uint64_t to);

// Whether the table's current record buffer holds exactly these bytes.
bool BufferEquals(const DbfTable& table, const Bytes& record);
Bytes BufferBytes(const DbfTable& table);

// A value for field n of the layout it has: usually one a user could type,
// sometimes anything.
std::string MakeTypedText(DbfTable& table, int32_t n, Rng& rng);
// Raw stored bytes for PutFieldByNumber (exactly the width for binary
// fields, usually).
std::string MakeStoredValue(DbfTable& table, int32_t n, Rng& rng);
// Memo text (no dBase III end mark inside, so that every layout keeps it).
std::string MakeMemoText(Rng& rng, size_t most);

// The record as the engine must leave it after PutFieldByNumber(n, value)
// on record; false when the value is refused and the record stays as it was.
bool FitStored(DbfTable& table, int32_t n, const std::string& value, Bytes* record);

// Bytes [begin, end) of a field within a record.
struct Span {
  size_t Begin, End;
};
Span FieldSpan(const DbfTable& table, int32_t n);
// The record with the bytes of every memo reference field blanked out.
Bytes WithoutMemoReferences(const DbfTable& table, Bytes record);

}  // namespace tabulon::fuzz
