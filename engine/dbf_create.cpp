// Creating dBase III tables from field definition lines (NAME=Tlen,dec) and
// copying the structure of an open table into a new file.
#include <cctype>
#include <algorithm>
#include <cstring>

#include "dbf_header.h"
#include "dbf_table.h"
#include "write_journal.h"
#include "field_definition.h"

namespace tabulon {

namespace {

// The platforms' file systems (Windows at least) compare names without
// regard to case.
bool SameFileName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

std::string DbtFileNameFor(const std::string& table_file) {
  std::string name = table_file;
  if (!name.empty()) name.back() = 't';
  return name;
}

bool DbfTable::CreateTable(const std::string& file_name, const std::vector<std::string>& lines,
                           uint8_t language_driver) {
  const size_t count = std::min<size_t>(lines.size(), kDbfMaxCreatedFields);
  std::vector<DbfFieldDefinition> fields;
  uint32_t record_size = 1;
  bool memo = false;
  for (size_t i = 0; i < count; ++i) {
    fields.push_back(ParseFieldDefinition(lines[i], static_cast<int>(i)));
    record_size += fields.back().Length;
    memo = memo || fields.back().Type == 'M';
  }
  // The engine could not open a table whose record exceeds its buffer.
  if (record_size > kDbfRecordBufferSize) return false;
  // A name ending in "t" (REPORT, X.TXT) is its own memo file's name: the
  // memo file would overwrite the table just written.
  if (memo && SameFileName(DbtFileNameFor(file_name), file_name)) return false;

  auto data = DbfStream::Open(fs_.Open(file_name, DbfOpenMode::Create));
  if (!data) return false;
  uint8_t header[kDbfHeaderSize] = {};
  StampDate(header);
  if (!data->WriteAt(0, header, sizeof header)) {
    data->Close();
    return false;
  }
  bool result = true;
  uint32_t offset = 0;
  for (size_t i = 0; i < count; ++i) {
    const DbfFieldDefinition& f = fields[i];
    DbfDescriptorFields descriptor;
    std::memcpy(descriptor.Name, f.Name.data(), std::min(f.Name.size(), sizeof descriptor.Name));
    descriptor.Type = static_cast<uint8_t>(f.Type);
    descriptor.Displacement = offset;
    descriptor.Length = f.Length;
    descriptor.Decimals = f.Decimals;
    uint8_t d[kDbfDescriptorSize] = {};
    EncodeDbfDescriptor(descriptor, d);
    result = data->WriteAt(kDbfHeaderSize + kDbfDescriptorSize * i, d, sizeof d) && result;
    offset += f.Length;
  }
  const uint32_t header_size = kDbfHeaderSize + kDbfDescriptorSize * static_cast<uint32_t>(count) + 1;
  DbfHeaderFields h = DecodeDbfHeader(header);  // the date stamped above
  h.Version = memo ? static_cast<uint8_t>(DbfVersion::dBase3Memo) : static_cast<uint8_t>(DbfVersion::dBase3);
  h.LanguageDriver = language_driver;
  h.HeaderSize = static_cast<uint16_t>(header_size);
  h.RecordSize = static_cast<uint16_t>(record_size);
  EncodeDbfHeader(h, header);
  const uint8_t tail[2] = {kDbfHeaderTerminator, 0x1A};
  result = data->WriteAt(header_size - 1, tail, 2) && result;
  result = data->WriteAt(0, header, sizeof header) && result;
  result = data->Close() && result;

  if (memo) {
    // A new memo file is only its next-free number, block 1.
    auto memo_file = DbfStream::Open(fs_.Open(DbtFileNameFor(file_name), DbfOpenMode::Create));
    const uint8_t first[4] = {0x01, 0, 0, 0};
    result = memo_file && memo_file->WriteAt(0, first, 4) && memo_file->SetSize(4) &&
             memo_file->Close() && result;
  }
  return result;
}

bool DbfTable::GetStructure(std::vector<std::string>* lines) {
  if (!Active || !lines) return false;
  lines->clear();
  for (int32_t i = 1; i <= FieldCount; ++i) {
    const DbfField& f = Fields[i];
    lines->push_back(GetFieldName(i) + "=" + std::string(1, static_cast<char>(f.Type)) +
                     std::to_string(f.Length) + "," + std::to_string(f.Decimals));
  }
  return true;
}

bool DbfTable::CopyStructure(const std::string& new_file_name) {
  std::vector<std::string> lines;
  return GetStructure(&lines) && CreateTable(new_file_name, lines);
}

}  // namespace tabulon
