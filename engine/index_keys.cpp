// The key encodings of the index formats (index_keys.h).
#include "index_keys.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "field_values.h"

namespace tabulon {

namespace {

uint64_t BitsOf(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

std::string BigEndian(uint64_t v, int width) {
  std::string out(static_cast<size_t>(width), '\0');
  for (int i = 0; i < width; ++i) out[i] = static_cast<char>(v >> (8 * (width - 1 - i)));
  return out;
}

const double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                               1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Rounded half away from zero at decimals, as the xBase runtimes round.
double Rounded(double value, int decimals) {
  const double scale = decimals >= 0 && decimals <= 15 ? kPowersOfTen[decimals] : std::pow(10.0, decimals);
  const double r = std::round(value * scale) / scale;
  return r == 0 ? 0 : r;  // no "-0"
}

std::string Fitted(std::string text, size_t length) {
  text.resize(length, ' ');
  return text;
}

}  // namespace

std::string FoxProDoubleKey(double value) {
  if (value == 0) value = 0;  // -0 keys as 0
  const uint64_t bits = BitsOf(value);
  return BigEndian(bits >> 63 ? ~bits : bits | (uint64_t{1} << 63), 8);
}

std::string FoxProIntegerKey(int32_t value) {
  return BigEndian(static_cast<uint32_t>(value) ^ 0x80000000u, 4);
}

std::string NdxDoubleKey(double value) {
  const uint64_t bits = BitsOf(value);
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) out[i] = static_cast<char>(bits >> (8 * i));
  return out;
}

std::string StrText(double value, int width, int decimals) {
  if (width <= 0) return std::string();
  if (decimals < 0) decimals = 0;
  if (decimals > 0 && decimals + 2 > width) decimals = width > 2 ? width - 2 : 0;
  const double r = Rounded(value, decimals);
  std::string text;
  const double scaled = decimals <= 15 ? std::fabs(r) * kPowersOfTen[decimals] : 1e300;
  if (scaled < 1e18) {
    // The rounded value scaled to a whole number and its point put back:
    // much faster than printf, for a key of every record.
    text = std::to_string(static_cast<uint64_t>(std::llround(scaled)));
    if (text.size() <= static_cast<size_t>(decimals)) text.insert(0, decimals + 1 - text.size(), '0');
    if (decimals > 0) text.insert(text.size() - decimals, 1, '.');
    if (r < 0) text.insert(0, 1, '-');
  } else if (std::isfinite(r) && std::fabs(r) < 1e300) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, r);
    text = buffer;
  }
  if (text.empty() || text.size() > static_cast<size_t>(width))
    return std::string(static_cast<size_t>(width), '*');
  return std::string(static_cast<size_t>(width) - text.size(), ' ') + text;
}

std::string DtosText(double julian_day) {
  if (!(julian_day >= 1 && julian_day < 1e8)) return std::string(8, ' ');
  int year = 0, month = 0, day = 0;
  CalendarDateOf(static_cast<int64_t>(julian_day), &year, &month, &day);
  char buffer[16];
  if (year < 0 || year > 9999) return std::string(8, ' ');
  std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", year, month, day);
  return buffer;
}

std::string NtxNumberKey(double value, int width, int decimals) {
  std::string text = StrText(value, width, decimals);
  if (text[0] == '*') return std::string(text.size(), '9');
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') text[i++] = '0';
  if (i < text.size() && text[i] == '-') {
    text[i] = '0';
    for (char& c : text)
      if (c >= '0' && c <= '9') c = static_cast<char>(0x2C - (c - '0'));
  }
  return text;
}

std::string MdxNumberKey(double value, int decimals) {
  std::string key(12, '\0');
  char buffer[400];
  const double r = Rounded(value, decimals);
  if (!std::isfinite(r) || std::fabs(r) >= 1e300) return key;
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals < 0 ? 0 : decimals, std::fabs(r));
  std::string s = buffer;
  s.erase(0, s.find_first_not_of('0'));
  const size_t point = s.find('.');
  if (point != std::string::npos) s.erase(s.find_last_not_of('0') + 1);
  // The count covers the digits written, with the zeros that lead a
  // fraction below one; the position counts those zeros negatively.
  int count = static_cast<int>(s.size()) - (point != std::string::npos ? 1 : 0);
  int position = static_cast<int>(point == std::string::npos ? s.size() : point);
  std::string digits;
  for (char c : s)
    if (c != '.') digits += c;
  if (position == 0) {
    const size_t first = digits.find_first_not_of('0');
    position = -static_cast<int>(first == std::string::npos ? digits.size() : first);
    digits.erase(0, first == std::string::npos ? digits.size() : first);
  }
  if (count > 31) count = 31;
  key[0] = static_cast<char>(0x34 + position);
  key[1] = static_cast<char>((count << 2) | 0x01 | (r < 0 ? 0x80 : 0));
  for (size_t i = 0; i < digits.size() && i < 20; ++i) {
    const int d = digits[i] - '0';
    key[2 + i / 2] = static_cast<char>(key[2 + i / 2] | (i % 2 == 0 ? d << 4 : d));
  }
  return key;
}

namespace {

double LittleEndianDouble(const std::string& key) {
  uint64_t bits = 0;
  for (size_t i = 0; i < 8 && i < key.size(); ++i) bits |= uint64_t{static_cast<uint8_t>(key[i])} << (8 * i);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

double MdxNumber(const std::string& key) {
  if (key.size() < 12) return 0;
  const int position = static_cast<uint8_t>(key[0]) - 0x34;
  double value = 0;
  for (int i = 0; i < 20; ++i) {
    const int nibble = (static_cast<uint8_t>(key[2 + i / 2]) >> (i % 2 == 0 ? 4 : 0)) & 15;
    value += nibble * std::pow(10.0, position - 1 - i);
  }
  return static_cast<uint8_t>(key[1]) & 0x80 ? -value : value;
}

}  // namespace

int CompareIndexKeys(const std::string& a, const std::string& b, IndexKeyFormat format, IndexValueType type) {
  const bool character = type == IndexValueType::Character || type == IndexValueType::Logical;
  if (!character && (format == IndexKeyFormat::Ndx || format == IndexKeyFormat::Mdx)) {
    const bool bcd = format == IndexKeyFormat::Mdx && type != IndexValueType::Date;
    const double x = bcd ? MdxNumber(a) : LittleEndianDouble(a);
    const double y = bcd ? MdxNumber(b) : LittleEndianDouble(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  const int order = a.compare(b);  // char_traits<char> compares bytes unsigned
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

std::string EncodeIndexValue(const IndexValue& value, IndexKeyFormat format, int key_length, int decimals) {
  const size_t length = key_length > 0 ? static_cast<size_t>(key_length) : 0;
  switch (value.Type) {
    case IndexValueType::Character:
      return Fitted(value.Text, length);
    case IndexValueType::Logical:
      return Fitted(value.Number != 0 ? "T" : "F", length);
    case IndexValueType::Integer:
    case IndexValueType::Numeric:
      switch (format) {
        case IndexKeyFormat::FoxPro:
          if (value.Type == IndexValueType::Integer && length == 4)
            return FoxProIntegerKey(static_cast<int32_t>(value.Number));
          return FoxProDoubleKey(value.Number);
        case IndexKeyFormat::Ndx:
          return NdxDoubleKey(value.Number);
        case IndexKeyFormat::Ntx:
          return NtxNumberKey(value.Number, key_length, decimals);
        case IndexKeyFormat::Mdx:
          return MdxNumberKey(value.Number, decimals);
      }
      break;
    case IndexValueType::Date:
    case IndexValueType::DateTime: {
      const double day = value.Type == IndexValueType::Date ? std::floor(value.Number) : value.Number;
      switch (format) {
        case IndexKeyFormat::FoxPro:
          return FoxProDoubleKey(day);
        case IndexKeyFormat::Ndx:
        case IndexKeyFormat::Mdx:
          return NdxDoubleKey(day);
        case IndexKeyFormat::Ntx:
          return Fitted(DtosText(day), length);
      }
      break;
    }
  }
  return std::string(length, '\0');
}

std::string IndexKeyProblem(const IndexExpression& expression, IndexKeyFormat format) {
  if (!expression.IsSupported()) return expression.GetUnsupportedReason();
  const IndexValueType type = expression.GetResultType();
  if (type == IndexValueType::Logical && (format == IndexKeyFormat::Ndx || format == IndexKeyFormat::Mdx))
    return "the key is a logical value, which this index format does not hold";
  if (type == IndexValueType::DateTime && format != IndexKeyFormat::FoxPro)
    return "the key is a date and time, which this index format does not hold";
  if (expression.IsNullable() && format != IndexKeyFormat::FoxPro)
    return "the key reads a field that may be null";
  if (type == IndexValueType::Character && expression.GetLength() == 0) return "the key is always empty";
  return std::string();
}

int IndexKeyLength(const IndexExpression& expression, IndexKeyFormat format) {
  if (!IndexKeyProblem(expression, format).empty()) return 0;
  const int null_byte = expression.IsNullable() ? 1 : 0;
  switch (expression.GetResultType()) {
    case IndexValueType::Character:
      return expression.GetLength() + null_byte;
    case IndexValueType::Logical:
      return 1 + null_byte;
    case IndexValueType::Integer:
      if (format == IndexKeyFormat::FoxPro) return 4 + null_byte;
      [[fallthrough]];
    case IndexValueType::Numeric:
      if (format == IndexKeyFormat::Ntx) return expression.GetLength();
      return format == IndexKeyFormat::Mdx ? 12 : 8 + null_byte;
    case IndexValueType::Date:
    case IndexValueType::DateTime:
      return 8 + null_byte;
  }
  return 0;
}

}  // namespace tabulon
