// Index keys: the bytes each index format stores for a value, and the
// evaluation of a parsed expression (index_expression.h) on the bytes of
// one record, so that a key can be made for a record buffer before or
// after a write without a table being open.
//
// Key encodings (every key is exactly its tag's key length):
//   FoxPro (CDX, IDX)
//     character  the bytes, blank-padded
//     numeric, currency, date, DateTime  an 8-byte big-endian IEEE double
//                whose sign bit is set for values >= 0 and whose bits are
//                all inverted for negative ones, so that the bytes sort as
//                the numbers; a date is its Julian day number, DateTime
//                the Julian day plus the fraction of the day, currency its
//                value in whole units
//     integer    (a Visual FoxPro Integer field alone) 4 bytes big-endian,
//                the value plus 2^31
//     logical    "T" or "F"
//     Visual FoxPro keys over fields that may be null carry one byte more
//     in front: 0x80 before a value, 0x00 for a null key (then all zeros)
//   NDX (dBase III)
//     character  blank-padded; numeric and date an 8-byte little-endian
//                IEEE double, a date as its Julian day number
//   NTX (Clipper)
//     character  blank-padded; date as DTOS text; logical "T"/"F";
//     numeric    the STR() text of the key's width and decimals with
//                leading blanks as "0"; a negative number's sign becomes
//                "0" and then every digit d becomes the byte 0x2C - d, so
//                that negative keys sort below the others and by magnitude
//                reversed
//   MDX (dBase IV and later)
//     character  blank-padded; date an 8-byte little-endian IEEE double
//                of the Julian day number;
//     numeric    12 bytes: 0x34 + the count of digits before the point
//                (less the zeros right after the point when there are
//                none), then the count of digits stored << 2 | 0x01, with
//                0x80 for a negative number, then up to 20 digits, two to
//                a byte, high nibble first
// An empty date is Julian day 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "index_expression.h"

namespace tabulon {

enum class IndexKeyFormat : uint8_t { FoxPro, Ndx, Ntx, Mdx };

// A value of an expression: Text for Character; Number for the others
// (a date's Julian day number, 0 when empty; a DateTime's with the
// fraction of the day; a logical value 0 or 1).
struct IndexValue {
  IndexValueType Type = IndexValueType::Character;
  std::string Text;
  double Number = 0;
  bool Null = false;
};

// The pure encodings.
std::string FoxProDoubleKey(double value);
std::string FoxProIntegerKey(int32_t value);
std::string NdxDoubleKey(double value);
std::string NtxNumberKey(double value, int width, int decimals);
std::string MdxNumberKey(double value, int decimals);
// xBase STR(): right-justified, rounded half away from zero, asterisks
// when the number does not fit.
std::string StrText(double value, int width, int decimals);
// xBase DTOS(): YYYYMMDD of a Julian day number, 8 blanks for day 0.
std::string DtosText(double julian_day);
// A value as format keeps it in a key of key_length bytes (a character key
// cut or blank-padded to it); decimals are those of an NTX or MDX number.
std::string EncodeIndexValue(const IndexValue& value, IndexKeyFormat format, int key_length, int decimals);

// The order of two keys of one tag as the format sorts them (ascending):
// bytes compared unsigned, except NDX and MDX numbers and dates, which
// compare as the numbers they hold.
int CompareIndexKeys(const std::string& a, const std::string& b, IndexKeyFormat format, IndexValueType type);

// The key length the format gives the expression's keys, and why it
// cannot key them ("" when it can): logical keys in NDX and MDX, dates
// and times outside FoxPro, an expression the engine does not evaluate.
int IndexKeyLength(const IndexExpression& expression, IndexKeyFormat format);
std::string IndexKeyProblem(const IndexExpression& expression, IndexKeyFormat format);

// The bytes of one record, deletion flag first, as the table stores them.
struct IndexRecord {
  const uint8_t* Bytes = nullptr;
  size_t Size = 0;
};

// An unsupported expression gives an empty Character value; a field past
// the record's end reads as blank.
IndexValue EvaluateIndexValue(const IndexExpression& expression, IndexRecord record);
// The key of a record; key_length 0 takes IndexKeyLength (an index file's
// own key length is the one to pass when there is a file).
std::string EvaluateIndexKey(const IndexExpression& expression, IndexRecord record, IndexKeyFormat format,
                             int key_length = 0);
// Whether a record passes a FOR condition; a null or non-logical result
// does not.
bool EvaluateIndexCondition(const IndexExpression& condition, IndexRecord record);

}  // namespace tabulon
