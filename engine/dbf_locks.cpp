#include "dbf_locks.h"

#include "dbf_table.h"

namespace tabulon {

namespace {

constexpr uint64_t kFoxIndexedBase = 0x7FFFFFFE;
constexpr uint64_t kFoxIndexedTable = 0x07FFFFFF;
constexpr uint64_t kFoxBase = 0x40000000;
constexpr uint64_t kFoxTable = 0x3FFFFFFD;
constexpr uint64_t kClipperBase = 1000000000;
constexpr uint64_t kClipperTable = 1000000000;
// Header byte 28: bit 0 set when a structural (.cdx) index goes with the
// table.
constexpr uint8_t kStructuralIndexFlag = 0x01;

uint64_t HeaderSizeOf(const uint8_t* header) { return header[8] | header[9] << 8; }
uint64_t RecordSizeOf(const uint8_t* header) { return header[10] | header[11] << 8; }
uint64_t CountOf(const uint8_t* header) {
  return uint64_t{header[4]} | uint64_t{header[5]} << 8 | uint64_t{header[6]} << 16 |
         uint64_t{header[7]} << 24;
}

uint64_t RecordOffsetOf(const uint8_t* header, uint32_t n) {
  return HeaderSizeOf(header) + (uint64_t{n} - 1) * RecordSizeOf(header);
}

}  // namespace

DbfLockFamily LockFamilyOf(const uint8_t* header) {
  switch (header[0]) {
    case 0xF5:
    case 0x30:
    case 0x31:
    case 0x32:
      return header[28] & kStructuralIndexFlag ? DbfLockFamily::FoxProIndexed
                                               : DbfLockFamily::FoxPro;
    default:
      return DbfLockFamily::Clipper;
  }
}

std::vector<DbfLockRegion> LockRegionsFor(const uint8_t* header, DbfLockScope scope, uint32_t n) {
  std::vector<DbfLockRegion> regions;
  const bool table = scope == DbfLockScope::Table;
  const bool with_header = scope != DbfLockScope::Record;
  const bool with_record = scope == DbfLockScope::Record || scope == DbfLockScope::Append;
  switch (LockFamilyOf(header)) {
    case DbfLockFamily::FoxProIndexed:
      if (with_header) regions.push_back({kFoxIndexedBase, 1, false});
      if (table)
        regions.push_back({kFoxIndexedBase - kFoxIndexedTable, kFoxIndexedTable, false});
      else if (with_record)
        regions.push_back({kFoxIndexedBase - n, 1, true});
      break;
    case DbfLockFamily::FoxPro:
      if (with_header) regions.push_back({kFoxBase, 1, false});
      if (table)
        regions.push_back({kFoxBase + 1, kFoxTable, false});
      else if (with_record)
        regions.push_back({kFoxBase + RecordOffsetOf(header, n), 1, true});
      break;
    case DbfLockFamily::Clipper: {
      if (with_header) regions.push_back({kClipperBase, 1, false});
      if (table)
        regions.push_back({kClipperBase + 1, kClipperTable, false});
      else if (with_record)
        regions.push_back({kClipperBase + n, 1, true});
      // The file's own bytes, kept below the Clipper regions: the header
      // with the records for the whole table, else the header's first
      // bytes and the record itself.
      if (table) {
        uint64_t end = HeaderSizeOf(header) + CountOf(header) * RecordSizeOf(header);
        if (end > 0) regions.push_back({0, end < kClipperBase ? end : kClipperBase, false});
        break;
      }
      if (with_header) regions.push_back({0, kDbfHeaderSize, false});
      if (!with_record || n == 0) break;
      const uint64_t start = RecordOffsetOf(header, n);
      if (start >= kDbfHeaderSize && RecordSizeOf(header) > 0 &&
          start + RecordSizeOf(header) <= kClipperBase)
        regions.push_back({start, RecordSizeOf(header), true});
      break;
    }
  }
  return regions;
}

bool DbfLockHold::Take(const std::unique_ptr<DbfStream>& owner,
                       const std::vector<DbfLockRegion>& regions, DbfLockRegion* refused) {
  Release();
  if (!owner) return true;
  owner_ = &owner;
  stream_ = owner.get();
  for (const DbfLockRegion& region : regions) {
    if (!stream_->TryLock(region.Offset, region.Length)) {
      *refused = region;
      Release();
      return false;
    }
    held_.push_back(region);
  }
  return true;
}

void DbfLockHold::Release() {
  if (owner_ && owner_->get() == stream_)
    for (const DbfLockRegion& region : held_) stream_->Unlock(region.Offset, region.Length);
  held_.clear();
  owner_ = nullptr;
  stream_ = nullptr;
}

}  // namespace tabulon
