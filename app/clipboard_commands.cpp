// The clipboard in the table view: Ctrl+C copies the current cell, or the
// marked rows as tab-separated lines under the field names, in the form
// spreadsheets paste; Ctrl+V starts an in-place edit with the clipboard's
// text, which the user then accepts or cancels as any edit.
#include <string>

#include "clipboard.h"
#include "main_window.h"
#include "utf8_length.h"

namespace tabulon {

namespace {

// A value as one tab-separated field: one holding a tab, a line break or a
// quote is quoted, its quotes doubled, so that it stays one cell.
std::string TabField(const std::string& text) {
  if (text.find_first_of("\t\r\n\"") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string MainWindow::CopiedText() {
  XLGrid& g = *TableGrid;
  std::string rows;
  for (int r : g.GetMarkedRows()) {
    for (int c = 0; c < g.ColCount(); ++c) {
      if (c > 0) rows += '\t';
      rows += TabField(g.GetCellText(c, r));
    }
    rows += "\r\n";
  }
  if (!rows.empty()) {
    std::string names;
    for (int c = 0; c < g.ColCount(); ++c) names += (c > 0 ? "\t" : "") + TabField(g.GetColTitle(c));
    return names + "\r\n" + rows;
  }
  const XLGridCoord at = g.GetCurrentCell();
  return g.HasCell(at) ? g.GetCellText(at.Col, at.Row) : std::string();
}

void MainWindow::CopyToClipboard() {
  const XLGridCoord at = TableGrid->GetCurrentCell();
  if (!TableGrid->HasCell(at)) return;
  SetClipboardText(CopiedText());
}

void MainWindow::PasteIntoCell() {
  std::string text = GetClipboardText();
  if (text.empty()) return;
  TableGrid->BeginEdit();
  Control* edit = TableGrid->GetEditControl();
  if (edit == nullptr) return;  // the cell takes no edit
  // A one-line editor takes the first line: a line break would be stored
  // in the field as it is.
  if (edit->GetKind() != ControlKind::Memo) text = text.substr(0, text.find_first_of("\r\n"));
  edit->SetText(text);
  const size_t end = Utf8Length(text);
  edit->Perform(kEmSetSel, end, intptr_t(end));  // the caret after it
}

}  // namespace tabulon
