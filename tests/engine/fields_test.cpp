// Field values: fitting text to the field, trimming, the decimal check and
// the error messages.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "dbf_table.h"
#include "file_memory.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::FieldLayout;
using test::MakeTable;
using test::TableLayout;

// Bytes written as hexadecimal pairs: "01 00 FF".
std::string Hex(const std::string& pairs) {
  std::string bytes;
  for (size_t i = 0; i + 1 < pairs.size(); i += 3)
    bytes += static_cast<char>(std::stoi(pairs.substr(i, 2), nullptr, 16));
  return bytes;
}

class FieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TableLayout s;
    s.Fields = {{"C5", 'C', 5}, {"N5", 'N', 5}, {"N82", 'N', 8, 2}, {"D", 'D', 8},
                {"L", 'L', 1},  {"M", 'M', 10}, {"F", 'F', 6},     {"N33", 'N', 3, 3}};
    s.Records = {std::string(1 + 5 + 5 + 8 + 8 + 1 + 10 + 6 + 3, ' ')};
    fs.SetFile("t.dbf", MakeTable(s));
    table = NewDbfTable("t.dbf", "", true, &fs);
    table->SetActive(true);
    ASSERT_TRUE(table->IsActive());
  }
  std::string Stored(int n) {
    const DbfField& f = table->GetField(n);
    return std::string(reinterpret_cast<const char*>(table->GetRecordBuffer()) + f.FieldPosition,
                       f.Length);
  }
  MemoryFileSystem fs;
  std::unique_ptr<DbfTable> table;
};

TEST(FieldTextTest, PadLeftAndPadRight) {
  EXPECT_EQ(PadLeft("7", 5), "    7");
  EXPECT_EQ(PadLeft("1234567", 5), "34567");
  EXPECT_EQ(PadRight("AB", 5), "AB   ");
  EXPECT_EQ(PadRight("ABCDEFG", 5), "ABCDE");
  EXPECT_EQ(PadLeft("abc", 3), "abc");
  EXPECT_EQ(ParseLeadingInteger("  12"), 0);  // no leading blanks skipped
  EXPECT_EQ(ParseLeadingInteger("-42x"), -42);
  EXPECT_EQ(ParseLeadingInteger("+7"), 7);
  EXPECT_EQ(ParseLeadingInteger("99999999999999999999999"), INT64_MAX);
}

TEST_F(FieldsTest, CharIsCutOrFilledOnTheRight) {
  table->PutFieldByNumber(1, "ABCDEFG");
  EXPECT_EQ(Stored(1), "ABCDE");
  table->PutFieldByNumber(1, "AB");
  EXPECT_EQ(Stored(1), "AB   ");
  EXPECT_EQ(table->FieldByNumber(1), "AB");
  EXPECT_TRUE(table->IsRecordModified());
}

TEST_F(FieldsTest, NumberKeepsItsRightmostCharactersAndLeadingBlanks) {
  table->PutFieldByNumber(2, "1234567");
  EXPECT_EQ(Stored(2), "34567");
  table->PutFieldByNumber(2, "7");
  EXPECT_EQ(Stored(2), "    7");
  EXPECT_EQ(table->FieldByNumber(2), "    7");
}

TEST_F(FieldsTest, DecimalPointCheck) {
  table->PutFieldByNumber(3, "123.45");
  EXPECT_EQ(Stored(3), "  123.45");
  EXPECT_EQ(table->GetErrorCode(), 0);
  table->PutFieldByNumber(3, "123.4");
  EXPECT_EQ(Stored(3), "   123.4");  // stored anyway
  EXPECT_EQ(table->GetErrorText(), "Decimal point out of good position. Field # 3");
}

TEST_F(FieldsTest, AsManyDecimalsAsTheWidthFailsTheCheckButStores) {
  table->PutFieldByNumber(8, "1.5");
  EXPECT_EQ(table->GetErrorCode(), 21);
  EXPECT_EQ(Stored(8), "1.5");
}

TEST_F(FieldsTest, OtherTypesAreLeftJustifiedText) {
  table->PutFieldByNumber(4, "20240307");
  table->PutFieldByNumber(5, "T");
  table->PutFieldByNumber(7, "3.25");
  EXPECT_EQ(Stored(4), "20240307");
  EXPECT_EQ(Stored(5), "T");
  EXPECT_EQ(Stored(7), "3.25  ");
  EXPECT_EQ(table->GetFieldType(4), DbfFieldType::Date);
  EXPECT_EQ(table->GetFieldType(5), DbfFieldType::Logic);
  EXPECT_EQ(table->GetFieldType(6), DbfFieldType::Memo);
  EXPECT_EQ(table->GetFieldType(7), DbfFieldType::Other);
  table->PutFieldByNumber(6, "12");
  EXPECT_EQ(Stored(6), "        12");
}

TEST_F(FieldsTest, TrailingNulsAndControlBytesAreTrimmedOnRead) {
  table->PutFieldByNumber(1, std::string("AB\0\t\0", 5));
  EXPECT_EQ(Stored(1), std::string("AB\0\t\0", 5));
  EXPECT_EQ(table->FieldByNumber(1), "AB");
  table->PutFieldByNumber(1, "\xC0\xC1\xC2  ");
  EXPECT_EQ(table->FieldByNumber(1), "\xC0\xC1\xC2");  // Cyrillic bytes are not blanks
}

TEST_F(FieldsTest, BadFieldNumbersSetTheirErrorsAndChangeNothing) {
  std::string before(reinterpret_cast<const char*>(table->GetRecordBuffer()), 60);
  EXPECT_EQ(table->FieldByNumber(0), "");
  EXPECT_EQ(table->GetErrorText(), "Field by number: bad field number # 0");
  EXPECT_EQ(table->FieldByNumber(9), "");
  EXPECT_EQ(table->GetErrorText(), "Field by number: bad field number # 9");
  table->PutFieldByNumber(9, "x");
  EXPECT_EQ(table->GetErrorText(), "Put field by number: bad number # 9");
  EXPECT_EQ(table->GetFieldName(-1), "");
  EXPECT_EQ(table->GetErrorText(), "Field name error: bad field number # -1");
  EXPECT_EQ(table->GetFieldType(0), DbfFieldType::Other);
  EXPECT_EQ(table->GetErrorText(), "Field type error: bad field number # 0");
  EXPECT_EQ(before, std::string(reinterpret_cast<const char*>(table->GetRecordBuffer()), 60));
  EXPECT_FALSE(table->IsRecordModified());
  // A later success does not clear the error.
  EXPECT_EQ(table->FieldByNumber(1), "");
  EXPECT_EQ(table->GetErrorCode(), 7);
}

TEST_F(FieldsTest, NameAreaEndsAtNulOrAfterTenBytes) {
  const std::pair<std::string, std::string> names[] = {
      {std::string("ABC\0\0\0\0\0\0\0\0", 11), "ABC"}, {"ABCDEFGHIJK", "ABCDEFGHIJ"}, {std::string(11, '\0'), ""}};
  for (const auto& [stored, read] : names) {
    TableLayout s;
    s.Fields = {{stored, 'C', 5}};
    fs.SetFile("n.dbf", MakeTable(s));
    auto named = NewDbfTable("n.dbf", "", true, &fs);
    named->SetActive(true);
    EXPECT_EQ(named->GetFieldName(1), read);
  }
}

// One field in one record: what a user reads, and what typing a text into
// it stores (nullopt: refused with error 28 and nothing changed).
struct ValueCase {
  uint8_t Version;
  FieldLayout Field;
  std::string Stored;
  std::string Shown;
  std::string Typed;
  std::optional<std::string> After;
};

TEST(FieldTextTest, EveryLayoutReadsChecksAndEncodesTypedText) {
  const FieldLayout n82{"N", 'N', 8, 2}, n5{"N", 'N', 5}, d8{"D", 'D', 8}, l1{"L", 'L', 1};
  const FieldLayout i4{"I", 'I', 4}, y8{"Y", 'Y', 8}, b8{"B", 'B', 8}, o8{"O", 'O', 8};
  const FieldLayout t8{"T", 'T', 8}, at8{"AT", '@', 8}, plus4{"P", '+', 4};
  const std::string zeros8(8, '\0');
  const std::nullopt_t refused = std::nullopt;
  const ValueCase cases[] = {
      // Numbers: right-justified with the field's decimals, as other xBase
      // programs write them; fewer typed decimals are fine; letters, too
      // many decimals or too wide a whole part not.
      {0x03, n82, "  123.45", "  123.45", "12.5", "   12.50"},
      {0x03, n82, "  123.45", "  123.45", " -1 ", "   -1.00"},
      {0x03, n82, "  123.45", "  123.45", "+.5", "    0.50"},
      {0x03, n82, "  123.45", "  123.45", "", "        "},
      {0x03, n82, "  123.45", "  123.45", "abc", refused},
      {0x03, n82, "  123.45", "  123.45", "1.234", refused},
      {0x03, n82, "  123.45", "  123.45", "123456", refused},
      {0x03, n82, "  123.45", "  123.45", "1.2.3", refused},
      {0x03, n5, "    7", "    7", "1.5", refused},
      {0x03, n5, "    7", "    7", "123456", refused},
      {0x03, n5, "    7", "    7", "-", refused},
      {0x03, n5, "    7", "    7", "12345", "12345"},
      {0x03, {"F", 'F', 6, 1}, "   0.0", "   0.0", "-3.5", "  -3.5"},
      {0x03, n5, "    7", "    7", "+12", "   12"},
      // The field's own value changes nothing, whatever the padding.
      {0x03, n82, "12      ", "12", "12", "12      "},
      {0x03, {"C", 'C', 5}, std::string("AB\0\t\0", 5), "AB", "AB", std::string("AB\0\t\0", 5)},
      {0x03, {"C", 'C', 5}, "Ann  ", "Ann", "ABCDEFG", "ABCDE"},
      // Dates of the calendar, and logic letters.
      {0x03, d8, "20240307", "20240307", "20240229", "20240229"},
      {0x03, d8, "20240307", "20240307", "", "        "},
      {0x03, d8, "20240307", "20240307", "20230229", refused},
      {0x03, d8, "20240307", "20240307", "20000229", "20000229"},  // a leap century
      {0x03, d8, "20240307", "20240307", "19000229", refused},
      {0x03, d8, "20240307", "20240307", "hello", refused},
      {0x03, d8, "20240307", "20240307", "2024037", refused},
      {0x03, {"D", 'D', 16}, std::string(16, ' '), "", "20240229", "20240229        "},
      {0x03, l1, "T", "T", "y", "y"},
      {0x03, l1, "T", "T", "?", "?"},
      {0x03, l1, "T", "T", "", " "},
      {0x03, l1, "T", "T", "maybe", refused},
      // Visual FoxPro Integer, Currency, Double and DateTime.
      {0x30, i4, Hex("01 00 00 00"), "1", "-2", Hex("FE FF FF FF")},
      {0x30, i4, Hex("20 20 20 20"), "538976288", "1", Hex("01 00 00 00")},
      {0x30, i4, Hex("01 00 00 00"), "1", "2147483648", refused},
      {0x30, i4, Hex("01 00 00 00"), "1", "1.5", refused},
      {0x30, i4, Hex("01 00 00 00"), "1", "", refused},
      {0x30, y8, Hex("08 E2 01 00 00 00 00 00"), "12.3400", "-0.5", Hex("78 EC FF FF FF FF FF FF")},
      {0x30, y8, Hex("08 E2 01 00 00 00 00 00"), "12.3400", "12.34", Hex("08 E2 01 00 00 00 00 00")},
      {0x30, y8, Hex("08 E2 01 00 00 00 00 00"), "12.3400", "1.23456", refused},
      {0x30, b8, Hex("00 00 00 00 00 00 04 40"), "2.5", "0.1", Hex("9A 99 99 99 99 99 B9 3F")},
      {0x30, b8, Hex("00 00 00 00 00 00 04 40"), "2.5", "x", refused},
      {0x30, t8, Hex("D9 8A 25 00 70 76 F3 02"), "07.03.2024 13:45:10", "31.12.1999 23:59:59",
       Hex("58 68 25 00 18 58 26 05")},
      {0x30, t8, Hex("D9 8A 25 00 70 76 F3 02"), "07.03.2024 13:45:10", "", zeros8},
      {0x30, t8, zeros8, "", "07.03.2024", Hex("D9 8A 25 00 00 00 00 00")},
      {0x30, t8, zeros8, "", "32.01.2024", refused},
      // dBase 7 Double, Timestamp (the own value keeps its milliseconds)
      // and Autoincrement.
      {0x03, o8, Hex("BF F8 00 00 00 00 00 00"), "1.5", "-1.5", Hex("40 07 FF FF FF FF FF FF")},
      {0x03, o8, Hex("BF F8 00 00 00 00 00 00"), "1.5", "", zeros8},
      {0x03, at8, Hex("42 CC B2 0E 03 40 DF 00"), "16.08.2000 17:21:41", "16.08.2000 17:21:41",
       Hex("42 CC B2 0E 03 40 DF 00")},
      {0x03, at8, Hex("42 CC B2 0E 03 40 DF 00"), "16.08.2000 17:21:41", "01.01.1970",
       Hex("42 CC 41 8B A9 9A 00 00")},
      {0x03, plus4, Hex("80 00 00 01"), "1", "-1", Hex("7F FF FF FF")},
      // No sound text to store: references to binary data, variable
      // fields, null flags, and binary letters at an unknown width.
      {0x30, {"G", 'G', 4}, Hex("05 00 00 00"), "5", "6", refused},
      {0x83, {"B", 'B', 10}, "         5", "         5", "6", refused},
      {0x32, {"Q", 'Q', 4}, Hex("01 02 03 04"), "01 02 03 04", "x", refused},
      {0x32, {"V", 'V', 6}, "abc   ", "abc   ", "x", refused},
      {0x30, {"_NULLFLAGS", '0', 1}, Hex("00"), "00", "1", refused},
      {0x30, {"I", 'I', 8}, Hex("01 00 00 00 00 00 00 00"), "01 00 00 00 00 00 00 00", "1", refused},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(std::string(1, c.Field.Type) + " [" + c.Stored + "] <- [" + c.Typed + "]");
    TableLayout layout;
    layout.Version = c.Version;
    layout.Fields = {c.Field};
    layout.Records = {" " + c.Stored};
    MemoryFileSystem fs;
    fs.SetFile("v.dbf", MakeTable(layout));
    auto table = NewDbfTable("v.dbf", "", true, &fs);
    table->SetActive(true);
    ASSERT_TRUE(table->IsActive());
    auto stored = [&] {
      return std::string(reinterpret_cast<const char*>(table->GetRecordBuffer()) + 1, c.Stored.size());
    };
    EXPECT_EQ(table->GetFieldText(1), c.Shown);
    // Whatever the type, the raw value written back changes no byte.
    table->PutFieldByNumber(1, table->FieldByNumber(1));
    EXPECT_EQ(stored(), c.Stored);
    table->PutFieldText(1, c.Typed);
    EXPECT_EQ(table->GetErrorCode(), c.After ? 0 : 28);
    EXPECT_EQ(stored(), c.After ? *c.After : c.Stored);
    if (!c.After) {
      EXPECT_EQ(table->GetErrorText(), "Value does not suit the field. Field # 1");
    }
  }
}

// Visual FoxPro's _NullFlags: a shorter Varchar keeps its length in its
// last byte, a null value reads as blank until a value is typed into it,
// and a blank record holds zero bytes where values are binary.
TEST(FieldTextTest, NullFlagsMarkShortVarcharsAndNullValues) {
  TableLayout layout;
  layout.Version = 0x32;
  layout.Fields = {{"V", 'V', 6}, {"I", 'I', 4}, {"_NULLFLAGS", '0', 1}};
  layout.Records = {" " + Hex("61 62 00 00 00 02") + Hex("05 00 00 00") + Hex("05")};
  test::Bytes bytes = MakeTable(layout);
  bytes[32 + 18] = 0x02;       // V may be null: bit 0 its length, bit 1 null
  bytes[32 + 32 + 18] = 0x02;  // I may be null: bit 2
  MemoryFileSystem fs;
  fs.SetFile("n.dbf", bytes);
  auto table = NewDbfTable("n.dbf", "", true, &fs);
  table->SetActive(true);
  ASSERT_TRUE(table->IsActive());
  EXPECT_EQ(table->GetFieldText(1), "ab");
  EXPECT_EQ(table->GetFieldText(2), "");  // null
  table->PutFieldText(2, "");
  EXPECT_FALSE(table->IsRecordModified());
  table->PutFieldText(2, "7");
  EXPECT_EQ(table->FieldByNumber(2), Hex("07 00 00 00"));
  EXPECT_EQ(table->FieldByNumber(3), Hex("01"));
  EXPECT_EQ(table->GetFieldText(2), "7");
  table->PostRecord();
  table->AppendBlank();
  table->GoTo(2);
  EXPECT_EQ(table->FieldByNumber(1), "      ");
  EXPECT_EQ(table->FieldByNumber(2), Hex("00 00 00 00"));
  EXPECT_EQ(table->FieldByNumber(3), Hex("00"));
  table->GoTo(1);
  EXPECT_EQ(table->GetFieldText(2), "7");
}

TEST(ErrorMessagesTest, EveryCodeExactly) {
  const char* expected[] = {"",
                            "Unknown Error #",
                            "DBF File Not Exist",
                            "DBF header error #",
                            "Size of header error. Field #",
                            "Buff of header error. Field #",
                            "Field name error: bad field number #",
                            "Field type error: bad field number #",
                            "Field size error: bad field number #",
                            "Field decimal error: bad field number #",
                            "Field by number: bad field number #",
                            "Field by name: field not found:",
                            "Put field by number: bad number #",
                            "Put field by name: field not found:",
                            "Read memo data error. Field #",
                            "Write memo data error. Field #",
                            "Read record out of range. Rec #",
                            "Write record out of range. Rec #",
                            "Read record buffer error. Rec #",
                            "Write record buffer error. Rec #",
                            "Append blank record error. Rec #",
                            "Decimal point out of good position. Field #",
                            "Convert error:",
                            "Not a dBase table:",
                            "Table version not supported:",
                            "Header and field sizes disagree:",
                            "The file ends before its records:",
                            "The file cannot be opened for writing:",
                            "Value does not suit the field. Field #",
                            "No memo file for this field. Field #",
                            "Pack journal not trusted, set aside as",
                            "The table is open for reading only:",
                            "The file cannot be opened:",
                            "A cut-off pack must be undone, but the table cannot be written:",
                            "A cut-off pack must be undone with its memo file, which is not there:",
                            "The name of the pack journal is taken by another file:",
                            "A memo reference cannot be read. Rec #",
                            "Locked by another program:",
                            "An index file could not be written:"};
  for (int code = 0; code < 39; ++code) EXPECT_STREQ(DbfErrorMessage(code), expected[code]);
  EXPECT_STREQ(DbfErrorMessage(39), "");
  MemoryFileSystem fs;
  auto t = NewDbfTable("", "", true, &fs);
  t->SetError(DbfConvertError, "abc");
  EXPECT_EQ(t->GetErrorCode(), 22);
  EXPECT_EQ(t->GetErrorText(), "Convert error: abc");
}

}  // namespace
}  // namespace tabulon
