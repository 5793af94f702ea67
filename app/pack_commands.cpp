// Packing the table: in place without memo, by copy with it.
#include "main_window.h"

namespace tabulon {

void MainWindow::PackTable() {}

}  // namespace tabulon
