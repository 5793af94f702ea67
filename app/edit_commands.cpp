// Editing records in place, appending, deleting, and enlarging a memo cell.
#include "main_window.h"

namespace tabulon {

void MainWindow::BeginCellEdit(XLGrid&, int, int, Control*&, Control*&, XLGridSides&) {}

void MainWindow::EndCellEdit(XLGrid&, int, int, Control*, Control*, std::string&, bool, bool&) {}

void MainWindow::AppendRecord() {}

void MainWindow::DeleteRecord() {}

void MainWindow::ZoomIn() {}

void MainWindow::ZoomOut() {}

}  // namespace tabulon
