// The encodings of field values: which layout a field's bytes follow, the
// text a user reads for each and the checks of what a user types.
//
// Text layouts hold 8-bit text and are fitted with blanks; binary layouts
// are kept byte for byte and never trimmed or padded.
//   Integer         I  4 bytes, little-endian signed (Visual FoxPro)
//   Autoincrement   +  4 bytes, big-endian with the sign bit inverted (dBase 7;
//                      its I too)
//   Currency        Y  8 bytes, little-endian signed, value x 10000
//   Double          B  8 bytes, little-endian IEEE double (Visual FoxPro only)
//   SortableDouble  O  8 bytes, big-endian IEEE double, the sign bit inverted
//                      for positive values and every bit for negative ones,
//                      so that the bytes sort as the numbers (dBase 7)
//   DateTime        T  4 bytes little-endian Julian day number, then 4 bytes
//                      little-endian milliseconds since midnight
//   Timestamp       @  8 bytes, big-endian IEEE double of milliseconds since
//                      the day before 1 January of year 1 (dBase 7)
// In the dBase 7 layouts and DateTime all-zero bytes mean an empty value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulon {

enum class DbfValueLayout : uint8_t {
  Text,    // C and letters the engine does not know
  Number,  // N, F: right-justified decimal text
  Date,    // D: YYYYMMDD
  Logic,   // L
  // M: the number of a memo block, as decimal text (4 bytes little-endian
  // in Visual FoxPro).
  MemoReference,
  // G, P, W, and B outside Visual FoxPro: a block of binary data in the
  // memo file, referred to as M does.
  BinaryReference,
  Integer,
  Autoincrement,
  Currency,
  Double,
  SortableDouble,
  DateTime,
  Timestamp,
  // V: text of up to the field's width; a shorter one keeps its length in
  // the last byte, which a bit of _NullFlags announces.
  Varchar,
  // Q, _NullFlags ('0'), and binary letters at a width their layout does
  // not have: bytes without a text form.
  Opaque,
};

// The layout of a field by its type letter, width and the table's version.
DbfValueLayout ValueLayoutOf(uint8_t type, uint16_t length, uint8_t version);

// Whether the field's bytes are kept exactly (no trailing blanks trimmed on
// reading, no blanks added on writing).
bool KeepsRawBytes(DbfValueLayout layout, uint8_t version);

// Whether a user can read the value as text (binary data and opaque bytes
// cannot), and whether typed text can be stored in it.
bool HasTextForm(DbfValueLayout layout);
bool TakesTypedText(DbfValueLayout layout);

// A binary value as a user reads it; size is the field's width. A value
// the layout cannot hold (a day outside years 1..9999, a time past
// midnight) is shown as its bytes in hexadecimal.
std::string DecodeBinaryValue(DbfValueLayout layout, const uint8_t* bytes, size_t size);

// A binary value as a number, for index keys: Integer, Autoincrement,
// Currency (in whole units), Double and SortableDouble as their value;
// DateTime and Timestamp as a Julian day number plus the fraction of the
// day. False, with *value 0, for an empty value or a layout without one.
bool DecodeBinaryNumber(DbfValueLayout layout, const uint8_t* bytes, size_t size, double* value);

// The Julian day number of a date of the proleptic Gregorian calendar
// (1 January 4713 BC of the Julian calendar is day 0).
int64_t JulianDayNumber(int64_t year, int64_t month, int64_t day);
void CalendarDateOf(int64_t julian_day, int* year, int* month, int* day);

// Typed text (blanks at both ends already removed) encoded into size bytes;
// false, and nothing written, when the text does not parse or fit.
bool EncodeBinaryValue(DbfValueLayout layout, const std::string& text, uint8_t* bytes, size_t size);

// The checks of typed text (without its outer blanks) for text layouts.
// Number: blank, or an optional sign, digits and at most one decimal
// point, within width characters, with at most decimals digits after the
// point (and no point without decimals) and room for them.
bool IsNumberText(const std::string& text, uint16_t width, uint8_t decimals);
// A number text that IsNumberText accepted, in the form xBase programs
// write: no plus sign, and with decimals, exactly that many digits after
// the point ("12.5" in N(12,2) is "12.50", ".5" is "0.50").
std::string NumberWithDecimals(const std::string& text, uint16_t width, uint8_t decimals);
// Date: blank, or eight digits YYYYMMDD of a real calendar date.
bool IsDateText(const std::string& text);
// Logic: blank or one of T F Y N ? in either case.
bool IsLogicText(const std::string& text);

// What typed text becomes in a field of this layout, width and decimals,
// checked as above (text fitted with blanks, numbers with their decimals,
// binary values encoded); false, stored undefined, when it does not suit.
bool StoredFormOfText(DbfValueLayout layout, uint16_t length, uint8_t decimals, const std::string& text,
                      std::string* stored);

// Bytes as hexadecimal pairs separated by spaces ("01 00 FF").
std::string HexBytes(const uint8_t* bytes, size_t size);

}  // namespace tabulon
