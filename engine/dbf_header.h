// The byte layout of a table file's header and field descriptors, known
// here only. Integers are little-endian.
//
// Header (32 bytes):
//    0  version (the flavour)        1..3  date of the last update: year
//                                          (since 1900, or of the century
//                                          as some programs write it),
//                                          month, day
//    4  record count (4 bytes)       8  header size (2)    10  record size (2)
//   28  table flags (0x01: a structural index file belongs to the table)
//   29  language driver (the code page of the table's text)
// Field descriptor (32 bytes, from offset 32, ended by 0x0D):
//    0  name (11 bytes, zero-padded)  11  type letter
//   12  displacement in the record (4; Visual FoxPro counts from the
//       deletion flag, others may leave it 0)
//   16  length   17  decimals (the high byte of a long Character field's
//       length in Clipper and FoxPro)   18..31  flags and reserved bytes
//
// dBase 7 (version 0x04 or, with a memo file, 0x8C) keeps the first 32
// bytes and adds:
//   32..63  language driver name ("DBWINUS0")   64..67  reserved
// Field descriptor (48 bytes, from offset 68, ended by 0x0D; field
// properties may follow inside the header size):
//    0  name (32 bytes, zero-padded)  32  type letter  33  length
//   34  decimals   37  index flag   40  next autoincrement value (4)
#pragma once

#include <cstdint>
#include <string>

namespace tabulon {

constexpr int kDbfDescriptorSize = 32;
constexpr int kDbfNameBytes = 11;
constexpr int kDbase7HeaderSize = 68;
constexpr int kDbase7DescriptorSize = 48;
constexpr int kDbase7NameBytes = 32;
constexpr int kDbase7NextAutoincrementAt = 40;
constexpr uint8_t kDbfHeaderTerminator = 0x0D;

struct DbfHeaderFields {
  uint8_t Version = 0;
  uint8_t Year = 0;  // as stored
  uint8_t Month = 0;
  uint8_t Day = 0;
  uint32_t RecordCount = 0;
  uint16_t HeaderSize = 0;
  uint16_t RecordSize = 0;
  uint8_t Flags = 0;
  uint8_t LanguageDriver = 0;
};

DbfHeaderFields DecodeDbfHeader(const uint8_t* header);
// Writes the fields into their bytes; every other byte stays.
void EncodeDbfHeader(const DbfHeaderFields& fields, uint8_t* header);
// Single fields, for the engine's own header copy.
uint32_t GetDbfRecordCount(const uint8_t* header);
void PutDbfRecordCount(uint8_t* header, uint32_t count);
void PutDbfDate(uint8_t* header, int year, int month, int day);
// The date of the last update as its three stored bytes.
void GetDbfDateBytes(const uint8_t* header, uint8_t* date);
void PutDbfDateBytes(uint8_t* header, const uint8_t* date);
// Whether two headers agree in every byte but the date and the count,
// which every write of records may change.
bool SameDbfHeaderButDateAndCount(const uint8_t* a, const uint8_t* b);

struct DbfDescriptorFields {
  uint8_t Name[kDbase7NameBytes] = {};  // 11 bytes used outside dBase 7
  uint8_t Type = 0;
  uint32_t Displacement = 0;
  uint8_t Length = 0;
  uint8_t Decimals = 0;
  uint8_t Rest[14] = {};
  uint32_t NextAutoincrement = 0;  // dBase 7 only
};

DbfDescriptorFields DecodeDbfDescriptor(const uint8_t* descriptor);
void EncodeDbfDescriptor(const DbfDescriptorFields& fields, uint8_t* descriptor);
DbfDescriptorFields DecodeDbase7Descriptor(const uint8_t* descriptor);
// The 4 bytes at kDbase7NextAutoincrementAt of a dBase 7 descriptor.
void EncodeNextAutoincrement(uint32_t value, uint8_t* four);
// The language driver name of a dBase 7 header (68 bytes), without its
// padding.
std::string GetDbase7DriverName(const uint8_t* header);

}  // namespace tabulon
