// Field values: fitting text to the field, trimming, the decimal check and
// the error messages.
#include <gtest/gtest.h>

#include <cstring>

#include "dbf_table.h"
#include "file_memory.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::MakeTable;
using test::TableSpec;

class FieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TableSpec s;
    s.Fields = {{"C5", 'C', 5}, {"N5", 'N', 5}, {"N82", 'N', 8, 2}, {"D", 'D', 8},
                {"L", 'L', 1},  {"M", 'M', 10}, {"F", 'F', 6},     {"N33", 'N', 3, 3}};
    s.Records = {std::string(1 + 5 + 5 + 8 + 8 + 1 + 10 + 6 + 3, ' ')};
    fs.SetFile("t.dbf", MakeTable(s));
    table = NewDbfTable("t.dbf", "", true, &fs);
    table->SetActive(true);
    ASSERT_TRUE(table->Active);
  }
  std::string Stored(int n) {
    const DbfField& f = table->Fields[n];
    return std::string(reinterpret_cast<const char*>(table->RecordBuffer) + f.FieldPosition,
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
  EXPECT_TRUE(table->RecordModified);
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
  EXPECT_EQ(table->ErrorCode, 0);
  table->PutFieldByNumber(3, "123.4");
  EXPECT_EQ(Stored(3), "   123.4");  // stored anyway
  EXPECT_EQ(table->ErrorText, "Decimal point out of good position. Field # 3");
}

TEST_F(FieldsTest, AsManyDecimalsAsTheWidthFailsTheCheckButStores) {
  table->PutFieldByNumber(8, "1.5");
  EXPECT_EQ(table->ErrorCode, 21);
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
  const DbfField& f = table->Fields[1];
  std::memcpy(table->RecordBuffer + f.FieldPosition, "AB\0\t\0", 5);
  EXPECT_EQ(table->FieldByNumber(1), "AB");
  std::memcpy(table->RecordBuffer + f.FieldPosition, "\xC0\xC1\xC2  ", 5);
  EXPECT_EQ(table->FieldByNumber(1), "\xC0\xC1\xC2");  // Cyrillic bytes are not blanks
}

TEST_F(FieldsTest, BadFieldNumbersSetTheirErrorsAndChangeNothing) {
  std::string before(reinterpret_cast<const char*>(table->RecordBuffer), 60);
  EXPECT_EQ(table->FieldByNumber(0), "");
  EXPECT_EQ(table->ErrorText, "Field by number: bad field number # 0");
  EXPECT_EQ(table->FieldByNumber(9), "");
  EXPECT_EQ(table->ErrorText, "Field by number: bad field number # 9");
  table->PutFieldByNumber(9, "x");
  EXPECT_EQ(table->ErrorText, "Put field by number: bad number # 9");
  EXPECT_EQ(table->GetFieldName(-1), "");
  EXPECT_EQ(table->ErrorText, "Field name error: bad field number # -1");
  EXPECT_EQ(table->GetFieldType(0), DbfFieldType::Other);
  EXPECT_EQ(table->ErrorText, "Field type error: bad field number # 0");
  EXPECT_EQ(before, std::string(reinterpret_cast<const char*>(table->RecordBuffer), 60));
  EXPECT_FALSE(table->RecordModified);
  // A later success does not clear the error.
  EXPECT_EQ(table->FieldByNumber(1), "");
  EXPECT_EQ(table->ErrorCode, 7);
}

TEST_F(FieldsTest, NameAreaEndsAtNulOrAfterTenBytes) {
  std::memcpy(table->Fields[1].Name, "ABC\0\0\0\0\0\0\0\0", 11);
  EXPECT_EQ(table->GetFieldName(1), "ABC");
  std::memcpy(table->Fields[1].Name, "ABCDEFGHIJK", 11);
  EXPECT_EQ(table->GetFieldName(1), "ABCDEFGHIJ");
  std::memset(table->Fields[1].Name, 0, 11);
  EXPECT_EQ(table->GetFieldName(1), "");
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
                            "Pack journal not trusted, set aside as"};
  for (int code = 0; code < 31; ++code) EXPECT_STREQ(DbfErrorMessage(code), expected[code]);
  EXPECT_STREQ(DbfErrorMessage(31), "");
  MemoryFileSystem fs;
  auto t = NewDbfTable("", "", true, &fs);
  t->SetError(DbfConvertError, "abc");
  EXPECT_EQ(t->ErrorCode, 22);
  EXPECT_EQ(t->ErrorText, "Convert error: abc");
}

}  // namespace
}  // namespace tabulon
