// Field values in the current record, and the error setter.
#include <algorithm>
#include <climits>
#include <cstring>

#include "dbf_table.h"

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

std::string TrimBlanks(const std::string& text) {
  size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  return TrimRightBlanks(text.substr(begin));
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
  while (length < 10 && name[length] != 0) ++length;
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

std::string DbfTable::FieldByNumber(int32_t n) {
  if (n < 1 || n > FieldCount) {
    SetError(DbfFieldByNumberError, std::to_string(n));
    return std::string();
  }
  const DbfField& f = Fields[n];
  size_t begin = std::min<size_t>(f.FieldPosition, kDbfRecordBufferSize);
  size_t end = std::min<size_t>(begin + f.Length, kDbfRecordBufferSize);
  while (end > begin && RecordBuffer[end - 1] <= 0x20) --end;
  return std::string(reinterpret_cast<const char*>(RecordBuffer + begin), end - begin);
}

void DbfTable::PutFieldByNumber(int32_t n, const std::string& value) {
  if (n < 1 || n > FieldCount) {
    SetError(DbfPutFieldByNumberError, std::to_string(n));
    return;
  }
  if (!AcceptChange()) return;
  const DbfField& f = Fields[n];
  const size_t length = f.Length;
  // Numbers and memo references are right-justified, everything else left.
  bool right = f.Type == 'N' || f.Type == 'M';
  std::string fitted = right ? PadLeft(value, length) : PadRight(value, length);
  if (f.Type == 'N' && f.Decimals > 0) {
    // With as many decimals as the width there is no place for the point:
    // that counts as a misplaced point.
    if (f.Decimals >= length || fitted[length - f.Decimals - 1] != '.')
      SetError(DbfDecimalPointError, std::to_string(n));
  }
  size_t begin = std::min<size_t>(f.FieldPosition, kDbfRecordBufferSize);
  size_t count = std::min<size_t>(length, kDbfRecordBufferSize - begin);
  std::memcpy(RecordBuffer + begin, fitted.data(), count);
  RecordModified = true;
}

}  // namespace tabulon
