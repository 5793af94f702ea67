// Creating tables from field definition lines and copying a structure.
#include <gtest/gtest.h>

#include "dbf_table.h"
#include "field_definition.h"
#include "file_memory.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using test::Bytes;
using test::GetLittle32;

struct Def {
  const char* line;
  int index;
  const char* name;
  char type;
  int length;
  int decimals;
};

TEST(FieldDefinitionTest, DefaultsAndLimits) {
  const Def cases[] = {
      {"A=C5", 0, "A", 'C', 5, 0},        {"A=D", 0, "A", 'D', 8, 0},
      {"A=L9", 0, "A", 'L', 1, 0},        {"A=M5", 0, "A", 'M', 10, 0},
      {"A=N30,20", 0, "A", 'N', 18, 16},  {"A=N2,1", 0, "A", 'N', 2, 0},
      {"A=N,2", 0, "A", 'N', 10, 2},      {"A=C0", 0, "A", 'C', 1, 0},
      {"A=C00", 0, "A", 'C', 8, 0},       {"A=C300", 0, "A", 'C', 255, 0},
      {"C20", 3, "FIELD3", 'C', 20, 0},   {"X=Q7", 0, "X", 'C', 8, 0},
      {"b=c12", 0, "B", 'C', 12, 0},      {"  long_name_here = n 8 , 3 ", 0, "LONG_NAME_", 'N', 8, 3},
      {"A=C-5", 0, "A", 'C', 255, 0},     {"A=N8,-2", 0, "A", 'N', 8, 0},
      {"=", 0, "", 'C', 10, 0},           {"A=F8", 0, "A", 'C', 8, 0},
  };
  for (const Def& d : cases) {
    SCOPED_TRACE(d.line);
    DbfFieldDefinition f = ParseFieldDefinition(d.line, d.index);
    EXPECT_EQ(f.Name, d.name);
    EXPECT_EQ(f.Type, d.type);
    EXPECT_EQ(f.Length, d.length);
    EXPECT_EQ(f.Decimals, d.decimals);
  }
}

class CreateTest : public ::testing::Test {
 protected:
  MemoryFileSystem fs;
  std::unique_ptr<DbfTable> table = NewDbfTable("", "", true, &fs);
};

TEST_F(CreateTest, OneCharFieldByteForByte) {
  fs.SetNow({2024, 3, 7});
  ASSERT_TRUE(table->CreateTable("new.dbf", {"A=C5"}));
  Bytes expected(66, 0);
  expected[0] = 0x03;
  expected[1] = 24;
  expected[2] = 3;
  expected[3] = 7;
  expected[8] = 65;
  expected[10] = 6;
  expected[32] = 'A';
  expected[43] = 'C';
  expected[48] = 5;
  expected[64] = 0x0D;
  expected[65] = 0x1A;
  EXPECT_EQ(fs.GetFile("new.dbf"), expected);
  EXPECT_FALSE(fs.HasFile("new.dbt"));
  EXPECT_FALSE(table->IsActive());
}

TEST_F(CreateTest, OffsetsMemoFileAndVersion) {
  ASSERT_TRUE(table->CreateTable("NEW.DBF", {"ID=C3", "NOTE=M", "N=N5,2"}));
  Bytes file = fs.GetFile("NEW.DBF");
  ASSERT_EQ(file.size(), 32u * 3 + 34);
  EXPECT_EQ(file[0], 0x83);
  EXPECT_EQ(GetLittle32(file, 32 + 12), 0u);
  EXPECT_EQ(GetLittle32(file, 64 + 12), 3u);
  EXPECT_EQ(GetLittle32(file, 96 + 12), 13u);
  EXPECT_EQ(file[10], 1 + 3 + 10 + 5);
  EXPECT_EQ(file[96 + 17], 2);
  EXPECT_EQ(fs.GetFile("NEW.DBt"), (Bytes{1, 0, 0, 0}));
}

// A name ending in "t" would share its memo file's name: refused before
// anything is written, with or without memo fields the same way as before.
TEST_F(CreateTest, ANameThatIsItsOwnMemoFileIsRefused) {
  for (const char* name : {"REPORT", "x.txt", "d/LIST.DBT"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(table->CreateTable(name, {"A=C5", "NOTE=M"}));
    EXPECT_FALSE(fs.HasFile(name));
  }
  EXPECT_TRUE(table->CreateTable("REPORT", {"A=C5"}));
  EXPECT_EQ(fs.GetFile("REPORT").size(), 66u);
}

TEST_F(CreateTest, NoLinesGivesAnEmptyStructure) {
  ASSERT_TRUE(table->CreateTable("e.dbf", {}));
  Bytes file = fs.GetFile("e.dbf");
  ASSERT_EQ(file.size(), 34u);
  EXPECT_EQ(file[8], 33);
  EXPECT_EQ(file[10], 1);
  EXPECT_EQ(file[32], 0x0D);
  EXPECT_EQ(file[33], 0x1A);
}

TEST_F(CreateTest, AtMost128Fields) {
  std::vector<std::string> lines(200, "F=C1");
  ASSERT_TRUE(table->CreateTable("many.dbf", lines));
  EXPECT_EQ(fs.GetFile("many.dbf").size(), 32u * 128 + 34);
}

TEST_F(CreateTest, CreatedTableOpensAppendsAndReadsBack) {
  ASSERT_TRUE(table->CreateTable("n.dbf", {"NAME=C8", "NOTE=M"}));
  table->SetFileNames("n.dbf", "n.dbt");
  table->SetActive(true);
  ASSERT_TRUE(table->IsActive());
  EXPECT_EQ(table->RecordCount(), 0u);
  table->AppendBlank();
  table->PutFieldByNumber(1, "Ivan");
  table->WriteMemo(2, "memo text");
  table->Next();
  table->SetActive(false);
  Bytes file = fs.GetFile("n.dbf");
  EXPECT_EQ(file.size(), 97u + 19 + 1);  // the end marker moved after the record
  EXPECT_EQ(file.back(), 0x1A);
  table->SetActive(true);
  std::string text;
  table->ReadMemo(2, text);
  EXPECT_EQ(table->FieldByNumber(1), "Ivan");
  EXPECT_EQ(text, "memo text");
}

TEST_F(CreateTest, CreationFailsOnAFileThatIsOpen) {
  fs.SetFile("busy.dbf", {1, 2, 3});
  auto holder = fs.Open("busy.dbf", DbfOpenMode::ReadWriteShared);
  EXPECT_FALSE(table->CreateTable("busy.dbf", {"A=C1"}));
  EXPECT_EQ(fs.GetFile("busy.dbf"), (Bytes{1, 2, 3}));
}

TEST_F(CreateTest, StructureLinesAndCopy) {
  test::TableLayout s;
  s.Version = 0xF5;
  s.Fields = {{"NAME", 'C', 12}, {"D", 'D', 8}, {"AMT", 'N', 9, 2}, {"OK", 'L', 1},
              {"NOTE", 'M', 10}, {"F", 'F', 6, 1}};
  fs.SetFile("src.dbf", test::MakeTable(s));
  auto src = NewDbfTable("src.dbf", "", true, &fs);
  std::vector<std::string> lines{"stale"};
  EXPECT_FALSE(src->GetStructure(&lines));  // closed
  EXPECT_EQ(lines.size(), 1u);
  src->SetActive(true);
  ASSERT_TRUE(src->GetStructure(&lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"NAME=C12,0", "D=D8,0", "AMT=N9,2", "OK=L1,0",
                                             "NOTE=M10,0", "F=F6,1"}));
  EXPECT_FALSE(src->GetStructure(nullptr));
  ASSERT_TRUE(src->CopyStructure("copy.dbf"));
  Bytes copy = fs.GetFile("copy.dbf");
  EXPECT_EQ(copy[0], 0x83);
  EXPECT_EQ(copy[32 + 16], 12);
  EXPECT_EQ(copy[64 + 16], 8);  // Date fields keep the standard width
  EXPECT_EQ(copy[96 + 16], 9);
  EXPECT_EQ(copy[96 + 17], 2);
  EXPECT_EQ(copy[192 + 11], 'C');  // F turns into Char of 8
  EXPECT_EQ(copy[192 + 16], 8);
  EXPECT_TRUE(fs.HasFile("copy.dbt"));
}

}  // namespace
}  // namespace tabulon
