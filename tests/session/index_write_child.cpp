// Writes through a session to the table named on its command line, whose
// index files the session keeps, for the test that kills it midway: with
// "edits", a run of key edits and appends (edit i stores "N<i>" in record
// 1 + 7i mod the count; every tenth is an append of "N<i>"); with "pack",
// one pack. One byte on standard output says the table is loaded.
#include <unistd.h>

#include <cstring>

#include "table_session.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  tabulon::TableSession session;
  if (!session.Load(argv[1]).IsDone()) return 3;
  if (::write(1, "R", 1) != 1) return 4;
  if (std::strcmp(argv[2], "pack") == 0) return session.Pack().IsDone() ? 0 : 5;
  for (int i = 0; i < 200; ++i) {
    const std::string name = "N" + std::to_string(i);
    tabulon::Outcome o;
    if (i % 10 == 9) {
      int32_t added = 0;
      o = session.AppendRecord(&added);
      if (o.IsDone()) o = session.EditCell(added, 1, name);
    } else {
      o = session.EditCell(int32_t(1 + (7 * i) % session.GetRecordCount()), 1, name);
    }
    if (!o.IsDone()) return 6;
  }
  return 0;
}
