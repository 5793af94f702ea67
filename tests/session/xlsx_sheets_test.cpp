// A workbook of more records than a sheet holds, with the sheet made small:
// the records go on over further sheets, each with the header row frozen,
// none cut. Read back from the ZIP as Excel would (Python's zipfile).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "export_formats.h"
#include "support/table_bytes.h"
#include "support/temp_folder.h"
#include "table_session.h"

namespace tabulon {
namespace {

// Per sheet: its name, its rows, the first cell of each row (numbers as
// Excel stores them) and whether a pane is frozen; one sheet a line.
const char kSheetRows[] = R"(
import re, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    book = z.read('xl/workbook.xml').decode()
    for n, name in enumerate(re.findall(r'<sheet name="([^"]+)"', book), 1):
        sheet = z.read('xl/worksheets/sheet%d.xml' % n).decode()
        firsts = re.findall(r'<row r="\d+"[^>]*><c r="A\d+"[^>]*>(?:<v>([^<]*)</v>|<is><t>([^<]*)</t></is>)', sheet)
        print(name, sheet.count('<row '), ','.join(a or b for a, b in firsts), 'frozen' if 'state="frozen"' in sheet else '')
)";

TEST(XlsxSheets, RecordsPastASheetsRowsContinueOnFurtherSheets) {
  const test::TempFolder folder("tabulon-xlsx");
  test::TableLayout t;
  t.Fields = {{"N", 'N', 3}, {"NAME", 'C', 4}};
  for (int r = 1; r <= 7; ++r) t.Records.push_back("   " + std::to_string(r) + "name");
  const test::Bytes table = test::MakeTable(t);
  const std::string path = folder.Path("t.dbf"), out = folder.Path("t.xlsx"), script = folder.Path("read.py");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(table.data()), std::streamsize(table.size()));
  std::ofstream(script) << kSheetRows;
  TableSession session;
  ASSERT_TRUE(session.Load(path).IsDone());
  // Sheets of a header and three records: 3 + 3 + 1; and the real limit, one sheet.
  for (const auto& [rows, sheets] : std::vector<std::pair<uint32_t, std::string>>{
           {4, "Sheet1 4 N,1,2,3 frozen\nSheet2 4 N,4,5,6 frozen\nSheet3 2 N,7 frozen\n"},
           {kXlsxSheetRows, "Sheet1 8 N,1,2,3,4,5,6,7 frozen\n"}}) {
    auto sink = NewXlsxSink(out, rows);
    ASSERT_TRUE(sink);
    ASSERT_TRUE(ExportTable(session, ExportOptions{}, *sink).IsDone());
    FILE* pipe = popen(("/usr/bin/python3 '" + script + "' '" + out + "'").c_str(), "r");
    std::string read;
    char buffer[512];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) read.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(read, sheets);
  }
}

}  // namespace
}  // namespace tabulon
