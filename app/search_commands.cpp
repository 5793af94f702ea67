// Searching a field with a mask, and jumping to a hit.
#include "main_window.h"

namespace tabulon {

void MainWindow::RunSearch() {}

void MainWindow::JumpToHit() {}

}  // namespace tabulon
