#include "dbf_header.h"

#include <cstring>

namespace tabulon {

namespace {

uint32_t Little32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint16_t Little16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void PutLittle(uint8_t* p, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

DbfHeaderFields DecodeDbfHeader(const uint8_t* header) {
  DbfHeaderFields f;
  f.Version = header[0];
  f.Year = header[1];
  f.Month = header[2];
  f.Day = header[3];
  f.RecordCount = Little32(header + 4);
  f.HeaderSize = Little16(header + 8);
  f.RecordSize = Little16(header + 10);
  f.Flags = header[28];
  f.LanguageDriver = header[29];
  return f;
}

void EncodeDbfHeader(const DbfHeaderFields& f, uint8_t* header) {
  header[0] = f.Version;
  header[1] = f.Year;
  header[2] = f.Month;
  header[3] = f.Day;
  PutLittle(header + 4, f.RecordCount, 4);
  PutLittle(header + 8, f.HeaderSize, 2);
  PutLittle(header + 10, f.RecordSize, 2);
  header[28] = f.Flags;
  header[29] = f.LanguageDriver;
}

uint32_t GetDbfRecordCount(const uint8_t* header) { return Little32(header + 4); }

void PutDbfRecordCount(uint8_t* header, uint32_t count) { PutLittle(header + 4, count, 4); }

void PutDbfDate(uint8_t* header, int year, int month, int day) {
  // The year of the century, as the engine has always written it.
  header[1] = static_cast<uint8_t>(year % 100);
  header[2] = static_cast<uint8_t>(month);
  header[3] = static_cast<uint8_t>(day);
}

void GetDbfDateBytes(const uint8_t* header, uint8_t* date) { std::memcpy(date, header + 1, 3); }

void PutDbfDateBytes(uint8_t* header, const uint8_t* date) { std::memcpy(header + 1, date, 3); }

bool SameDbfHeaderButDateAndCount(const uint8_t* a, const uint8_t* b) {
  return a[0] == b[0] && std::memcmp(a + 8, b + 8, 24) == 0;
}

DbfDescriptorFields DecodeDbfDescriptor(const uint8_t* d) {
  DbfDescriptorFields f;
  std::memcpy(f.Name, d, kDbfNameBytes);
  f.Type = d[11];
  f.Displacement = Little32(d + 12);
  f.Length = d[16];
  f.Decimals = d[17];
  std::memcpy(f.Rest, d + 18, sizeof f.Rest);
  return f;
}

void EncodeDbfDescriptor(const DbfDescriptorFields& f, uint8_t* d) {
  std::memcpy(d, f.Name, kDbfNameBytes);
  d[11] = f.Type;
  PutLittle(d + 12, f.Displacement, 4);
  d[16] = f.Length;
  d[17] = f.Decimals;
  std::memcpy(d + 18, f.Rest, sizeof f.Rest);
}

DbfDescriptorFields DecodeDbase7Descriptor(const uint8_t* d) {
  DbfDescriptorFields f;
  std::memcpy(f.Name, d, kDbase7NameBytes);
  f.Type = d[32];
  f.Length = d[33];
  f.Decimals = d[34];
  f.NextAutoincrement = Little32(d + kDbase7NextAutoincrementAt);
  return f;
}

void EncodeNextAutoincrement(uint32_t value, uint8_t* four) { PutLittle(four, value, 4); }

std::string GetDbase7DriverName(const uint8_t* header) {
  std::string name(reinterpret_cast<const char*>(header + 32), 32);
  const size_t end = name.find_first_of(std::string(" \0", 2));
  if (end != std::string::npos) name.resize(end);
  return name;
}

}  // namespace tabulon
