// Table layouts beyond dBase III's: dBase 7 (68-byte header, 48-byte
// descriptors, its binary types and memo blocks), and headers other
// programs write a little wrong.
#include <gtest/gtest.h>

#include "dbf_table.h"
#include "file_memory.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::Slice;

std::string Hex(const std::string& pairs) {
  std::string bytes;
  for (size_t i = 0; i + 1 < pairs.size(); i += 3)
    bytes += static_cast<char>(std::stoi(pairs.substr(i, 2), nullptr, 16));
  return bytes;
}

const std::string kLongName = "CUSTOMER_POSTAL_ADDRESS_LINE_ONE";  // 32 letters, no zero after

TEST(LayoutsTest, Dbase7TablesAreReadEditedAppendedAndPacked) {
  // NAME C4, ID + (next 3), COUNT I, RATE O, STAMP @, NOTE M10.
  test::Dbase7Layout layout;
  layout.Fields = {{kLongName, 'C', 4}, {"ID", '+', 4}, {"COUNT", 'I', 4},
                 {"RATE", 'O', 8},    {"STAMP", '@', 8}, {"NOTE", 'M', 10}};
  layout.NextAutoincrement = {0, 3};
  const std::string stamp = Hex("42 CC B2 0E 03 40 DF 00");  // 16.08.2000 17:21:41
  layout.Records = {" ann " + Hex("80 00 00 01 80 00 00 07 BF F8 00 00 00 00 00 00") + stamp + "         1",
                  " bob " + Hex("80 00 00 02 7F FF FF FF 40 07 FF FF FF FF FF FF") + std::string(8, '\0') +
                      std::string(10, ' ')};
  MemoryFileSystem fs;
  fs.SetFile("t.dbf", test::MakeDbase7Table(layout));
  fs.SetFile("t.dbt", test::MakeDbt4(512, {"first note"}));
  const size_t header = 68 + 48 * 6 + 1, record = 1 + 4 + 4 + 4 + 8 + 8 + 10;

  auto t = NewDbfTable("t.dbf", "t.dbt", true, &fs);
  t->SetActive(true);
  ASSERT_TRUE(t->IsActive()) << t->GetErrorText();
  EXPECT_TRUE(t->IsDbase7());
  EXPECT_EQ(t->GetLanguageDriverName(), "DBWINUS0");
  EXPECT_EQ(CodePageOfDriverName(t->GetLanguageDriverName()), 1252);
  EXPECT_EQ(t->GetFieldName(1), kLongName);
  const std::vector<std::string> first = {"ann", "1", "7", "1.5", "16.08.2000 17:21:41"};
  for (int f = 1; f <= 5; ++f) EXPECT_EQ(t->GetFieldText(f), first[size_t(f - 1)]) << f;
  std::string memo;
  t->ReadMemo(6, memo);
  EXPECT_EQ(memo, "first note");

  // An edit, and a memo in dBase IV blocks.
  t->PutFieldText(3, "-5");
  t->WriteMemo(6, "a longer second note");
  t->PostRecord();
  ASSERT_EQ(t->GetErrorCode(), 0) << t->GetErrorText();
  EXPECT_EQ(Slice(fs.GetFile("t.dbf"), header + 9, 4), Hex("7F FF FF FB"));
  const uint64_t block = GetMemoReference(t->GetVersion(), t->GetField(6), t->GetRecordBuffer());
  EXPECT_EQ(Slice(fs.GetFile("t.dbt"), block * 512, 4), Hex("FF FF 08 00"));

  // An appended record takes the next autoincrement value; the descriptor
  // keeps the one after it.
  t->AppendBlank();
  t->PutFieldText(1, "cy");
  t->PostRecord();
  ASSERT_EQ(t->GetErrorCode(), 0) << t->GetErrorText();
  EXPECT_EQ(t->GetFieldText(2), "3");
  EXPECT_EQ(test::GetLittle32(fs.GetFile("t.dbf"), 68 + 48 + 40), 4u);

  t->GoTo(2);
  t->SetDeleted(true);
  t->PostRecord();
  ASSERT_EQ(t->GetErrorCode(), 0) << t->GetErrorText();
  t->Pack();
  ASSERT_EQ(t->GetErrorCode(), 0) << t->GetErrorText();
  t->SetActive(false);
  const Bytes packed = fs.GetFile("t.dbf");
  EXPECT_EQ(test::GetLittle32(packed, 4), 2u);
  EXPECT_EQ(Slice(packed, header, 5), " ann ");
  EXPECT_EQ(Slice(packed, header + record, 9), " cy  " + Hex("80 00 00 03"));

  t->SetActive(true);
  t->ReadMemo(6, memo);  // carried into the rebuilt memo file
  EXPECT_EQ(memo, "a longer second note");
  t->SetActive(false);
}

// As dbfread and Perl's XBase read them: a line feed in the terminator's
// place (some exporters), a header that ends at the descriptors, and a
// record size that forgot the deletion flag. The last is never written:
// dbfread steps by the fields, XBase by the header's record size.
TEST(LayoutsTest, FaultyHeadersAreReadAsOtherReadersReadThem) {
  struct Case {
    const char* what;
    int header_size;   // -1: the usual
    int record_size;   // -1: the usual
    bool line_feed;    // 0x0A in the terminator's place
    bool full_records; // records of the fields' size whatever the header says
    uint8_t warnings;
    std::string last;  // record 3's name and age as read
  };
  const Case cases[] = {
      {"line feed", -1, -1, true, false, DbfNoTerminator, "CAROL| 52"},
      {"header ends at the descriptors", 32 + 64, -1, false, false, DbfNoTerminator, "CAROL| 52"},
      {"record size short, records whole", -1, 8, false, true, DbfShortRecordSize, "CAROL| 52"},
      {"record size short, records too", -1, 8, false, false, DbfShortRecordSize, "CAROL| 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TableLayout s;
    s.Fields = {{"NAME", 'C', 5}, {"AGE", 'N', 3}};
    s.Records = {" ALICE 30", " BOB   41", " CAROL 52"};
    s.HeaderSize = c.header_size;
    if (!c.full_records) s.RecordSize = c.record_size;
    Bytes bytes = test::MakeTable(s);
    if (c.line_feed) bytes[32 + 64] = 0x0A;
    if (c.full_records) test::PutLittle(bytes, 10, uint64_t(c.record_size), 2);
    MemoryFileSystem fs;
    fs.SetFile("t.dbf", bytes);
    auto t = NewDbfTable("t.dbf", "", true, &fs);
    t->SetActive(true);
    ASSERT_TRUE(t->IsActive()) << t->GetErrorText();
    EXPECT_EQ(t->GetLayoutWarnings(), c.warnings);
    EXPECT_EQ(t->GetFieldCount(), 2);
    t->GoTo(3);
    EXPECT_EQ(t->FieldByNumber(1) + "|" + t->FieldByNumber(2), c.last);
    // Written only where every reader finds the records where we do.
    const bool writable = c.warnings == DbfNoTerminator;
    EXPECT_EQ(t->IsReadOnly(), !writable);
    t->PutFieldText(1, "DORA");
    t->PostRecord();
    t->AppendBlank();
    t->SetActive(false);
    EXPECT_EQ(fs.GetFile("t.dbf") != bytes, writable);
    if (writable) {
      EXPECT_EQ(test::GetLittle32(fs.GetFile("t.dbf"), 4), 4u);
    }
  }
}

}  // namespace
}  // namespace tabulon
