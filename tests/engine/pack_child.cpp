// Packs the table named on its command line (table file, memo file or "")
// for the test that kills it midway. One byte on standard output says the
// table is open and the pack begins.
#include <unistd.h>

#include "dbf_table.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  auto table = tabulon::NewDbfTable(argv[1], argv[2], true);
  table->SetActive(true);
  if (!table->Active) return 3;
  if (::write(1, "R", 1) != 1) return 4;
  table->Pack();
  table->SetActive(false);
  return table->ErrorCode;
}
