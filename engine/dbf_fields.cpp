// Field values in the current record, and the error setter.
#include <algorithm>
#include <climits>
#include <cstring>

#include "dbf_table.h"
#include "write_journal.h"

namespace tabulon {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

std::string PadLeft(const std::string& text, size_t width) {
  if (text.size() >= width) return text.substr(text.size() - width);
  return std::string(width - text.size(), ' ') + text;
}

std::string PadRight(const std::string& text, size_t width) {
  if (text.size() >= width) return text.substr(0, width);
  return text + std::string(width - text.size(), ' ');
}

std::string TrimRightBlanks(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

std::string TrimBlanks(std::string text) {
  size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  size_t end = text.size();
  while (end > begin && IsBlank(text[end - 1])) --end;
  // In place: every value of a printed table passes here.
  text.erase(end);
  text.erase(0, begin);
  return text;
}

int64_t ParseLeadingInteger(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    int digit = text[i] - '0';
    value = value > (INT64_MAX - digit) / 10 ? INT64_MAX : value * 10 + digit;
  }
  return negative ? -value : value;
}

void DbfTable::SetError(uint8_t code, const std::string& detail) {
  ErrorCode = code;
  ErrorText = std::string(DbfErrorMessage(code)) + " " + detail;
}

std::string DbfTable::GetFieldName(int32_t n) {
  if (n < 1 || n > FieldCount) {
    SetError(DbfFieldNameError, std::to_string(n));
    return std::string();
  }
  const uint8_t* name = Fields[n].Name;
  size_t length = 0;
  while (length < sizeof Fields[n].Name && name[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(name), length);
}

DbfFieldType DbfTable::GetFieldType(int32_t n) {
  if (n < 1 || n > FieldCount) {
    SetError(DbfFieldTypeError, std::to_string(n));
    return DbfFieldType::Other;
  }
  switch (Fields[n].Type) {
    case 'C':
      return DbfFieldType::Char;
    case 'D':
      return DbfFieldType::Date;
    case 'N':
      return DbfFieldType::Number;
    case 'L':
      return DbfFieldType::Logic;
    case 'M':
      return DbfFieldType::Memo;
    default:
      return DbfFieldType::Other;
  }
}

DbfValueLayout DbfTable::GetValueLayout(int32_t n) {
  if (n < 1 || n > FieldCount) {
    SetError(DbfFieldTypeError, std::to_string(n));
    return DbfValueLayout::Text;
  }
  return ValueLayoutOf(Fields[n].Type, Fields[n].Length, GetVersion());
}

bool DbfTable::KeepsRawBytes(int32_t n) const {
  return tabulon::KeepsRawBytes(ValueLayoutOf(Fields[n].Type, Fields[n].Length, GetVersion()),
                                GetVersion());
}

std::string DbfTable::FieldByNumber(int32_t n) {
  if (n < 1 || n > FieldCount) {
    SetError(DbfFieldByNumberError, std::to_string(n));
    return std::string();
  }
  const DbfField& f = Fields[n];
  size_t begin = std::min<size_t>(f.FieldPosition, kDbfRecordBufferSize);
  size_t end = std::min<size_t>(begin + f.Length, kDbfRecordBufferSize);
  // Trailing bytes of 0x20 or less are part of a binary value.
  if (!KeepsRawBytes(n))
    while (end > begin && RecordBuffer[end - 1] <= 0x20) --end;
  return std::string(reinterpret_cast<const char*>(RecordBuffer + begin), end - begin);
}

void DbfTable::PutFieldByNumber(int32_t n, const std::string& value) {
  if (n < 1 || n > FieldCount) {
    SetError(DbfPutFieldByNumberError, std::to_string(n));
    return;
  }
  if (!AcceptChange()) return;
  // The stored value given back changes nothing, whatever padding or
  // control bytes its writer left around it.
  if (value == FieldByNumber(n)) return;
  const DbfField& f = Fields[n];
  const size_t length = f.Length;
  size_t begin = std::min<size_t>(f.FieldPosition, kDbfRecordBufferSize);
  size_t count = std::min<size_t>(length, kDbfRecordBufferSize - begin);
  if (KeepsRawBytes(n)) {
    // Blanks added to or cut from a binary value would make another number.
    if (value.size() != length) {
      SetError(DbfValueRefused, std::to_string(n));
      return;
    }
    std::memcpy(RecordBuffer + begin, value.data(), count);
    RecordModified = true;
    return;
  }
  // Numbers and memo references are right-justified, everything else left.
  bool right = f.Type == 'N' || f.Type == 'M';
  std::string fitted = right ? PadLeft(value, length) : PadRight(value, length);
  if (f.Type == 'N' && f.Decimals > 0) {
    // With as many decimals as the width there is no place for the point:
    // that counts as a misplaced point.
    if (f.Decimals >= length || fitted[length - f.Decimals - 1] != '.')
      SetError(DbfDecimalPointError, std::to_string(n));
  }
  std::memcpy(RecordBuffer + begin, fitted.data(), count);
  RecordModified = true;
}

// Visual FoxPro numbers the bits of _NullFlags from the lowest bit of its
// first byte on, in field order: a Varchar or Varbinary field takes one
// that says it is shorter than its width, a field that may be null
// (descriptor flag 0x02) one that says it is null, in that order.
int DbfTable::NullFlagsBit(int32_t n, bool length_bit) const {
  if (!IsVisualFoxPro(GetVersion())) return -1;
  int bit = 0;
  for (int32_t i = 1; i <= FieldCount; ++i) {
    const DbfField& f = Fields[i];
    if (f.Type == '0') continue;
    const bool variable = f.Type == 'V' || f.Type == 'Q';
    const bool nullable = (f.Rest[0] & 0x02) != 0;
    if (i == n) {
      if (length_bit) return variable ? bit : -1;
      return nullable ? bit + (variable ? 1 : 0) : -1;
    }
    bit += (variable ? 1 : 0) + (nullable ? 1 : 0);
  }
  return -1;
}

namespace {

// The byte of RecordBuffer that holds bit of _NullFlags; false without one.
bool NullFlagsByte(const DbfField* fields, int32_t count, int bit, size_t* at) {
  for (int32_t i = 1; i <= count; ++i) {
    const DbfField& f = fields[i];
    if (f.Type != '0') continue;
    if (size_t(bit / 8) >= f.Length) return false;
    *at = f.FieldPosition + size_t(bit / 8);
    return *at < kDbfRecordBufferSize;
  }
  return false;
}

}  // namespace

bool DbfTable::NullFlagSet(int bit) const {
  size_t at = 0;
  return bit >= 0 && NullFlagsByte(Fields, FieldCount, bit, &at) && (RecordBuffer[at] >> (bit % 8) & 1);
}

void DbfTable::ClearNullFlag(int bit) {
  size_t at = 0;
  if (bit >= 0 && NullFlagsByte(Fields, FieldCount, bit, &at))
    RecordBuffer[at] = static_cast<uint8_t>(RecordBuffer[at] & ~(1u << (bit % 8)));
}

void DbfTable::BlankRecordBuffer() {
  std::memset(RecordBuffer, ' ', BufferedRecordSize());
  for (int32_t i = 1; i <= FieldCount; ++i) {
    const DbfField& f = Fields[i];
    // A blank Varchar reads as blanks; every other binary value as zero
    // or empty.
    if (!KeepsRawBytes(i) || f.Type == 'V' || f.FieldPosition >= kDbfRecordBufferSize) continue;
    std::memset(RecordBuffer + f.FieldPosition, 0,
                std::min<size_t>(f.Length, kDbfRecordBufferSize - f.FieldPosition));
  }
}

std::string DbfTable::GetFieldText(int32_t n) {
  if (n < 1 || n > FieldCount) {
    SetError(DbfFieldByNumberError, std::to_string(n));
    return std::string();
  }
  if (NullFlagSet(NullFlagsBit(n, false))) return std::string();
  const DbfField& f = Fields[n];
  const DbfValueLayout layout = GetValueLayout(n);
  // Not const: returned as it is, it moves rather than copies.
  std::string stored = FieldByNumber(n);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(stored.data());
  switch (layout) {
    case DbfValueLayout::Text:
    case DbfValueLayout::Number:
    case DbfValueLayout::Date:
    case DbfValueLayout::Logic:
      return stored;
    case DbfValueLayout::MemoReference:
    case DbfValueLayout::BinaryReference: {
      if (!KeepsRawBytes(n)) return stored;
      const uint32_t block = MemoReference(n);
      return block == 0 ? std::string() : std::to_string(block);
    }
    case DbfValueLayout::Varchar: {
      size_t length = stored.size();
      if (length > 0 && NullFlagSet(NullFlagsBit(n, true)))
        length = std::min<size_t>(bytes[length - 1], length - 1);
      return stored.substr(0, length);
    }
    case DbfValueLayout::Opaque:
      return HexBytes(bytes, stored.size());
    default:
      // A field cut short by the end of the record buffer has no value.
      if (stored.size() != f.Length) return HexBytes(bytes, stored.size());
      return DecodeBinaryValue(layout, bytes, stored.size());
  }
}

void DbfTable::PutFieldText(int32_t n, const std::string& text) {
  if (n < 1 || n > FieldCount) {
    SetError(DbfPutFieldByNumberError, std::to_string(n));
    return;
  }
  if (!AcceptChange()) return;
  if (text == GetFieldText(n)) return;
  const DbfField& f = Fields[n];
  auto refuse = [&] { SetError(DbfValueRefused, std::to_string(n)); };
  std::string stored;
  if (!StoredFormOfText(GetValueLayout(n), f.Length, f.Decimals, text, &stored)) return refuse();
  if (f.FieldPosition + size_t{f.Length} > kDbfRecordBufferSize) return refuse();
  std::memcpy(RecordBuffer + f.FieldPosition, stored.data(), stored.size());
  // A value typed into a null field makes it not null.
  ClearNullFlag(NullFlagsBit(n, false));
  RecordModified = true;
}

}  // namespace tabulon
