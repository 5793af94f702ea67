// Packs the table named on its command line (table file, memo file or "";
// a third argument "remove" removes record 1 instead) for the test that
// kills it midway. One byte on standard output says the table is open and
// the pass begins.
#include <unistd.h>

#include "dbf_table.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return 2;
  auto table = tabulon::NewDbfTable(argv[1], argv[2], true);
  table->SetActive(true);
  if (!table->IsActive()) return 3;
  if (::write(1, "R", 1) != 1) return 4;
  if (argc == 4)
    table->RemoveRecord(1);
  else
    table->Pack();
  table->SetActive(false);
  return table->GetErrorCode();
}
