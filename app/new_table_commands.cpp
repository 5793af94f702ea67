// The new-table area: field rows, their editors, and creating the table.
#include "main_window.h"

namespace tabulon {

void MainWindow::SetFieldRows() {}

void MainWindow::BeginFieldEdit(XLGrid&, int, int, Control*&, Control*&, XLGridSides&) {}

void MainWindow::CreateNewTable() {}

}  // namespace tabulon
