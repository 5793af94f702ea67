#include "field_values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dbf_table.h"

namespace tabulon {

namespace {

constexpr int64_t kMsPerDay = 86400000;
// Julian day numbers of 1 January 0001 and 31 December 9999.
constexpr int64_t kFirstJulianDay = 1721426;
constexpr int64_t kLastJulianDay = 5373484;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

uint64_t ReadLittle(const uint8_t* b, int width) {
  uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | b[i];
  return v;
}

uint64_t ReadBig(const uint8_t* b, int width) {
  uint64_t v = 0;
  for (int i = 0; i < width; ++i) v = (v << 8) | b[i];
  return v;
}

void WriteLittle(uint8_t* b, uint64_t v, int width) {
  for (int i = 0; i < width; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

void WriteBig(uint8_t* b, uint64_t v, int width) {
  for (int i = 0; i < width; ++i) b[i] = static_cast<uint8_t>(v >> (8 * (width - 1 - i)));
}

bool AllZero(const uint8_t* b, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (b[i] != 0) return false;
  return true;
}

double BitsToDouble(uint64_t bits) {
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

uint64_t DoubleToBits(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

// An optional sign and digits only, within [low, high].
bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t* value) {
  size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
  if (i == text.size()) return false;
  const bool negative = text[0] == '-';
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    v = v * 10 + (text[i] - '0');
    if (v > high + 1) return false;  // far enough from overflow to stop
  }
  v = negative ? -v : v;
  if (v < low || v > high) return false;
  *value = v;
  return true;
}

// The shortest %g text that reads back as the same double.
std::string DoubleText(double d) {
  char buffer[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, d);
    if (std::strtod(buffer, nullptr) == d) break;
  }
  return buffer;
}

bool ParseDouble(const std::string& text, double* value) {
  if (text.empty()) return false;
  for (char c : text)
    if (!IsDigit(c) && c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E') return false;
  char* end = nullptr;
  const double d = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(d)) return false;
  *value = d;
  return true;
}

}  // namespace

int64_t JulianDayNumber(int64_t year, int64_t month, int64_t day) {
  const int64_t a = (14 - month) / 12;
  const int64_t y = year + 4800 - a;
  const int64_t m = month + 12 * a - 3;
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

namespace {

int64_t JulianDay(int64_t year, int64_t month, int64_t day) { return JulianDayNumber(year, month, day); }

}  // namespace

void CalendarDateOf(int64_t julian_day, int* year, int* month, int* day) {
  const int64_t a = julian_day + 32044;
  const int64_t b = (4 * a + 3) / 146097;
  const int64_t c = a - 146097 * b / 4;
  const int64_t d = (4 * c + 3) / 1461;
  const int64_t e = c - 1461 * d / 4;
  const int64_t m = (5 * e + 2) / 153;
  *day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  *month = static_cast<int>(m + 3 - 12 * (m / 10));
  *year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

namespace {

void CalendarDate(int64_t julian_day, int* year, int* month, int* day) {
  CalendarDateOf(julian_day, year, month, day);
}

bool IsCalendarDate(int64_t year, int64_t month, int64_t day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// "ДД.ММ.ГГГГ ЧЧ:ММ:СС" in digits, dots and colons.
std::string DateTimeText(int64_t julian_day, int64_t ms) {
  int year, month, day;
  CalendarDate(julian_day, &year, &month, &day);
  const int64_t seconds = ms / 1000;
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d %02d:%02d:%02d", day, month, year,
                static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
  return buffer;
}

// Takes one or two digits (exactly count when count is 4) from text at i.
bool TakeNumber(const std::string& text, size_t& i, int count, int64_t* value) {
  size_t start = i;
  int64_t v = 0;
  while (i < text.size() && IsDigit(text[i]) && i - start < size_t(count == 4 ? 4 : 2))
    v = v * 10 + (text[i++] - '0');
  const size_t taken = i - start;
  if (count == 4 ? taken != 4 : taken == 0) return false;
  *value = v;
  return true;
}

// "ДД.ММ.ГГГГ", optionally followed by "ЧЧ:ММ" or "ЧЧ:ММ:СС".
bool ParseDateTime(const std::string& text, int64_t* julian_day, int64_t* ms) {
  size_t i = 0;
  int64_t day, month, year, hour = 0, minute = 0, second = 0;
  if (!TakeNumber(text, i, 2, &day) || i >= text.size() || text[i++] != '.' ||
      !TakeNumber(text, i, 2, &month) || i >= text.size() || text[i++] != '.' ||
      !TakeNumber(text, i, 4, &year))
    return false;
  if (i < text.size()) {
    if (text[i] != ' ') return false;
    while (i < text.size() && text[i] == ' ') ++i;
    if (!TakeNumber(text, i, 2, &hour) || i >= text.size() || text[i++] != ':' ||
        !TakeNumber(text, i, 2, &minute))
      return false;
    if (i < text.size() && (text[i++] != ':' || !TakeNumber(text, i, 2, &second))) return false;
    if (i != text.size()) return false;
  }
  if (!IsCalendarDate(year, month, day) || hour > 23 || minute > 59 || second > 59) return false;
  *julian_day = JulianDay(year, month, day);
  *ms = ((hour * 60 + minute) * 60 + second) * 1000;
  return true;
}

// The dBase 7 forms: the sign bit inverted makes the bytes sort as numbers.
double SortableToDouble(uint64_t stored) {
  return BitsToDouble(stored >> 63 ? stored ^ (uint64_t{1} << 63) : ~stored);
}

uint64_t DoubleToSortable(double d) {
  const uint64_t bits = DoubleToBits(d);
  return bits >> 63 ? ~bits : bits | (uint64_t{1} << 63);
}

// Bytes each binary layout takes.
size_t WidthOf(DbfValueLayout layout) {
  switch (layout) {
    case DbfValueLayout::Integer:
    case DbfValueLayout::Autoincrement:
      return 4;
    case DbfValueLayout::Currency:
    case DbfValueLayout::Double:
    case DbfValueLayout::SortableDouble:
    case DbfValueLayout::DateTime:
    case DbfValueLayout::Timestamp:
      return 8;
    default:
      return 0;
  }
}

DbfValueLayout Sized(DbfValueLayout layout, uint16_t length) {
  return length == WidthOf(layout) ? layout : DbfValueLayout::Opaque;
}

}  // namespace

DbfValueLayout ValueLayoutOf(uint8_t type, uint16_t length, uint8_t version) {
  const bool visual_foxpro = IsVisualFoxPro(version);
  switch (type) {
    case 'N':
    case 'F':
      return DbfValueLayout::Number;
    case 'D':
      return DbfValueLayout::Date;
    case 'L':
      return DbfValueLayout::Logic;
    case 'M':
      return DbfValueLayout::MemoReference;
    case 'G':
    case 'P':
    case 'W':
      return DbfValueLayout::BinaryReference;
    case 'B':
      return visual_foxpro ? Sized(DbfValueLayout::Double, length) : DbfValueLayout::BinaryReference;
    case 'I':
      // dBase 7 keeps integers as it keeps autoincrement values.
      return Sized(version == 0x04 || version == 0x8C ? DbfValueLayout::Autoincrement : DbfValueLayout::Integer,
                   length);
    case '+':
      return Sized(DbfValueLayout::Autoincrement, length);
    case 'Y':
      return Sized(DbfValueLayout::Currency, length);
    case 'O':
      return Sized(DbfValueLayout::SortableDouble, length);
    case 'T':
      // Some writers outside Visual FoxPro keep date and time as 14 digits.
      return length == 8 ? DbfValueLayout::DateTime : DbfValueLayout::Text;
    case '@':
      return Sized(DbfValueLayout::Timestamp, length);
    case 'V':
      return DbfValueLayout::Varchar;
    case 'Q':
    case '0':
      return DbfValueLayout::Opaque;
    default:
      return DbfValueLayout::Text;
  }
}

bool KeepsRawBytes(DbfValueLayout layout, uint8_t version) {
  switch (layout) {
    case DbfValueLayout::Text:
    case DbfValueLayout::Number:
    case DbfValueLayout::Date:
    case DbfValueLayout::Logic:
      return false;
    case DbfValueLayout::MemoReference:
    case DbfValueLayout::BinaryReference:
      return IsVisualFoxPro(version);
    default:
      return true;
  }
}

bool HasTextForm(DbfValueLayout layout) {
  return layout != DbfValueLayout::BinaryReference && layout != DbfValueLayout::Opaque;
}

bool TakesTypedText(DbfValueLayout layout) {
  switch (layout) {
    case DbfValueLayout::MemoReference:
    case DbfValueLayout::BinaryReference:
    case DbfValueLayout::Varchar:
    case DbfValueLayout::Opaque:
      return false;
    default:
      return true;
  }
}

std::string HexBytes(const uint8_t* bytes, size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    if (i > 0) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

std::string DecodeBinaryValue(DbfValueLayout layout, const uint8_t* bytes, size_t size) {
  if (size != WidthOf(layout)) return HexBytes(bytes, size);
  switch (layout) {
    case DbfValueLayout::Integer:
      return std::to_string(static_cast<int32_t>(ReadLittle(bytes, 4)));
    case DbfValueLayout::Autoincrement:
      if (AllZero(bytes, size)) return std::string();
      return std::to_string(static_cast<int32_t>(ReadBig(bytes, 4) ^ 0x80000000u));
    case DbfValueLayout::Currency: {
      const int64_t v = static_cast<int64_t>(ReadLittle(bytes, 8));
      // In unsigned arithmetic the most negative value has a magnitude too.
      const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
      std::string fraction = std::to_string(magnitude % 10000);
      return (v < 0 ? "-" : "") + std::to_string(magnitude / 10000) + "." +
             std::string(4 - fraction.size(), '0') + fraction;
    }
    case DbfValueLayout::Double:
      return DoubleText(BitsToDouble(ReadLittle(bytes, 8)));
    case DbfValueLayout::SortableDouble:
      if (AllZero(bytes, size)) return std::string();
      return DoubleText(SortableToDouble(ReadBig(bytes, 8)));
    case DbfValueLayout::DateTime: {
      if (AllZero(bytes, size)) return std::string();
      const int64_t day = static_cast<int32_t>(ReadLittle(bytes, 4));
      const int64_t ms = static_cast<int32_t>(ReadLittle(bytes + 4, 4));
      if (day < kFirstJulianDay || day > kLastJulianDay || ms < 0 || ms >= kMsPerDay)
        return HexBytes(bytes, size);
      return DateTimeText(day, ms);
    }
    case DbfValueLayout::Timestamp: {
      if (AllZero(bytes, size)) return std::string();
      const double total = BitsToDouble(ReadBig(bytes, 8));
      const double first = double(kFirstJulianDay - 1721425) * kMsPerDay;
      const double last = double(kLastJulianDay - 1721425 + 1) * kMsPerDay;
      if (!(total >= first && total < last)) return HexBytes(bytes, size);
      const int64_t whole = static_cast<int64_t>(total);
      return DateTimeText(whole / kMsPerDay + 1721425, whole % kMsPerDay);
    }
    default:
      return HexBytes(bytes, size);
  }
}

bool DecodeBinaryNumber(DbfValueLayout layout, const uint8_t* bytes, size_t size, double* value) {
  *value = 0;
  if (size != WidthOf(layout) || AllZero(bytes, size)) return false;
  switch (layout) {
    case DbfValueLayout::Integer:
      *value = static_cast<int32_t>(ReadLittle(bytes, 4));
      return true;
    case DbfValueLayout::Autoincrement:
      *value = static_cast<int32_t>(ReadBig(bytes, 4) ^ 0x80000000u);
      return true;
    case DbfValueLayout::Currency:
      *value = double(static_cast<int64_t>(ReadLittle(bytes, 8))) / 10000;
      return true;
    case DbfValueLayout::Double:
      *value = BitsToDouble(ReadLittle(bytes, 8));
      return true;
    case DbfValueLayout::SortableDouble:
      *value = SortableToDouble(ReadBig(bytes, 8));
      return true;
    case DbfValueLayout::DateTime:
      *value = double(static_cast<int32_t>(ReadLittle(bytes, 4))) +
               double(static_cast<int32_t>(ReadLittle(bytes + 4, 4))) / kMsPerDay;
      return true;
    case DbfValueLayout::Timestamp:
      *value = BitsToDouble(ReadBig(bytes, 8)) / kMsPerDay + 1721425;
      return true;
    default:
      return false;
  }
}

bool EncodeBinaryValue(DbfValueLayout layout, const std::string& text, uint8_t* bytes, size_t size) {
  if (size != WidthOf(layout)) return false;
  uint8_t out[8] = {};
  int64_t whole = 0;
  double d = 0;
  switch (layout) {
    case DbfValueLayout::Integer:
      if (!ParseInteger(text, INT32_MIN, INT32_MAX, &whole)) return false;
      WriteLittle(out, static_cast<uint64_t>(whole), 4);
      break;
    case DbfValueLayout::Autoincrement:
      if (text.empty()) break;
      if (!ParseInteger(text, INT32_MIN, INT32_MAX, &whole)) return false;
      WriteBig(out, static_cast<uint32_t>(whole) ^ 0x80000000u, 4);
      break;
    case DbfValueLayout::Currency: {
      // Up to four decimals, kept as a count of ten-thousandths.
      const size_t point = text.find('.');
      std::string digits = text.substr(0, point);
      std::string fraction = point == std::string::npos ? std::string() : text.substr(point + 1);
      if (fraction.size() > 4) return false;
      for (char c : fraction)
        if (!IsDigit(c)) return false;
      if (digits == "+" || digits == "-" || digits.empty()) {
        if (fraction.empty()) return false;
        digits += "0";
      }
      int64_t units = 0;
      if (!ParseInteger(digits, -922337203685477, 922337203685477, &units)) return false;
      fraction.resize(4, '0');
      const int64_t part = std::stoll(fraction);
      // The ends of the 64-bit range: 922337203685477.5807 and .5808 below.
      if (units == 922337203685477 && part > 5807) return false;
      if (units == -922337203685477 && part > 5808) return false;
      whole = units * 10000 + (digits[0] == '-' ? -part : part);
      WriteLittle(out, static_cast<uint64_t>(whole), 8);
      break;
    }
    case DbfValueLayout::Double:
      if (!ParseDouble(text, &d)) return false;
      WriteLittle(out, DoubleToBits(d), 8);
      break;
    case DbfValueLayout::SortableDouble:
      if (text.empty()) break;
      if (!ParseDouble(text, &d)) return false;
      WriteBig(out, DoubleToSortable(d), 8);
      break;
    case DbfValueLayout::DateTime:
    case DbfValueLayout::Timestamp: {
      if (text.empty()) break;
      int64_t day = 0, ms = 0;
      if (!ParseDateTime(text, &day, &ms)) return false;
      if (layout == DbfValueLayout::DateTime) {
        WriteLittle(out, static_cast<uint64_t>(day), 4);
        WriteLittle(out + 4, static_cast<uint64_t>(ms), 4);
      } else {
        WriteBig(out, DoubleToBits(double((day - 1721425) * kMsPerDay + ms)), 8);
      }
      break;
    }
    default:
      return false;
  }
  std::memcpy(bytes, out, size);
  return true;
}

bool IsNumberText(const std::string& text, uint16_t width, uint8_t decimals) {
  if (text.empty()) return true;
  if (text.size() > width) return false;
  size_t i = text[0] == '+' || text[0] == '-' ? 1 : 0;
  size_t whole_digits = 0, fraction_digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      ++(point ? fraction_digits : whole_digits);
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (whole_digits + fraction_digits == 0) return false;
  if (fraction_digits > decimals || (point && decimals == 0)) return false;
  // The whole part (with its sign) must leave room for the point and the
  // decimals, as the readers that line the points up expect.
  const size_t whole_width = text.size() - fraction_digits - (point ? 1 : 0);
  if (decimals > 0 && decimals + 1 < width && whole_width > size_t(width - decimals - 1)) return false;
  return true;
}

std::string NumberWithDecimals(const std::string& text, uint16_t width, uint8_t decimals) {
  if (text.empty()) return text;
  std::string sign, whole, fraction;
  size_t i = 0;
  if (text[0] == '-') sign = "-";
  if (text[0] == '+' || text[0] == '-') i = 1;
  const size_t point = text.find('.', i);
  whole = text.substr(i, point == std::string::npos ? std::string::npos : point - i);
  if (point != std::string::npos) fraction = text.substr(point + 1);
  if (decimals == 0) return sign + whole;
  fraction.resize(decimals, '0');
  if (whole.empty()) whole = "0";
  std::string formed = sign + whole + "." + fraction;
  // Where the field is too narrow for the lined-up form, the value as typed.
  return formed.size() <= width ? formed : text;
}

bool IsDateText(const std::string& text) {
  if (text.empty()) return true;
  if (text.size() != 8) return false;
  for (char c : text)
    if (!IsDigit(c)) return false;
  const int64_t v = std::stoll(text);
  return IsCalendarDate(v / 10000, v / 100 % 100, v % 100);
}

bool IsLogicText(const std::string& text) {
  return text.empty() ||
         (text.size() == 1 && text[0] != 0 && std::strchr("TtFfYyNn?", text[0]) != nullptr);
}

bool StoredFormOfText(DbfValueLayout layout, uint16_t length, uint8_t decimals, const std::string& text,
                      std::string* stored) {
  const std::string typed = TrimBlanks(text);
  switch (layout) {
    case DbfValueLayout::Text:
      *stored = PadRight(text, length);
      return true;
    case DbfValueLayout::Number:
      if (!IsNumberText(typed, length, decimals)) return false;
      *stored = PadLeft(NumberWithDecimals(typed, length, decimals), length);
      return true;
    case DbfValueLayout::Date:
      if (!IsDateText(typed) || typed.size() > length) return false;
      *stored = PadRight(typed, length);
      return true;
    case DbfValueLayout::Logic:
      if (!IsLogicText(typed) || typed.size() > length) return false;
      *stored = PadRight(typed, length);
      return true;
    default:
      if (!TakesTypedText(layout)) return false;
      stored->assign(length, '\0');
      return EncodeBinaryValue(layout, typed, reinterpret_cast<uint8_t*>(&(*stored)[0]), stored->size());
  }
}

}  // namespace tabulon
