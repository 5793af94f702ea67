// Editing a memo text in the memo editor window.
#include "main_window.h"

namespace tabulon {

void MainWindow::EditMemo() {}

}  // namespace tabulon
