// The byte-range locks other xBase programs take on a table's data file,
// so that a write of ours waits for none of them and overrides none.
//
// Each family of programs locks bytes far past the data at fixed offsets
// (the locks are only a convention between programs; nothing is read or
// written there):
//   FoxPro, table with a structural index: base 0x7FFFFFFE; record n at
//     base - n (1 byte), the header at base, the whole table the
//     0x07FFFFFF bytes below base.
//   FoxPro, no structural index: base 0x40000000; record n at base plus
//     the record's offset in the file (1 byte), the header at base, the
//     whole table the 0x3FFFFFFD bytes after base.
//   Clipper (and the dBase III and IV flavours, which it shares): base
//     1,000,000,000; record n at base + n, the header at base, the whole
//     table the 1,000,000,000 bytes after base. dBase's own programs are
//     said to lock the record's bytes themselves, so those are locked too.
// No two regions of one set overlap: Windows refuses a lock over one the
// same handle holds.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dbf_stream.h"

namespace tabulon {

enum class DbfLockFamily { FoxProIndexed, FoxPro, Clipper };

// The family a table's header (its version byte and its index flag) says
// the programs sharing it belong to.
DbfLockFamily LockFamilyOf(const uint8_t* header);

struct DbfLockRegion {
  uint64_t Offset = 0;
  uint64_t Length = 0;
  // A record's lock (its refusal names the record), not the table's.
  bool Record = false;
};

// What a write holds while it runs: record n's locks (a record written or
// marked), the header's (its count written), the header's and record n's
// (an append; n is the new record), or every lock of the table (a pack or
// a removal; n is not used).
enum class DbfLockScope { Record, Header, Append, Table };
std::vector<DbfLockRegion> LockRegionsFor(const uint8_t* header, DbfLockScope scope, uint32_t n);

// Locks taken together and released together, at the latest when it is
// destroyed.
class DbfLockHold {
 public:
  DbfLockHold() = default;
  ~DbfLockHold() { Release(); }
  DbfLockHold(const DbfLockHold&) = delete;
  DbfLockHold& operator=(const DbfLockHold&) = delete;

  // Takes every region on the stream owner holds, or none: false, with
  // *refused the region another program holds, and nothing held. A stream
  // closed or replaced meanwhile (a pass reopens the table's files) took
  // its locks with it, and they are not released again.
  bool Take(const std::unique_ptr<DbfStream>& owner, const std::vector<DbfLockRegion>& regions,
            DbfLockRegion* refused);
  void Release();

 private:
  const std::unique_ptr<DbfStream>* owner_ = nullptr;
  DbfStream* stream_ = nullptr;
  std::vector<DbfLockRegion> held_;
};

}  // namespace tabulon
