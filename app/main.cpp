// Tabulon: a viewer and editor of dBase-family tables.
#include "program.h"

int main() {
  auto program = tabulon::NewProgram();
  program->Run();
  return 0;
}
