// Editing a memo text in the memo editor window.
#include "code_pages.h"
#include "main_window.h"
#include "program.h"
#include "text.h"
#include "texts.h"

namespace tabulon {

void MainWindow::EditMemo() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  SetStatus(texts::kStatusLoad);
  const XLGridCoord at = TableGrid->GetCurrentCell();
  const int field = FieldOfColumn(at.Col);
  if (!TableGrid->HasCell(at) || field > Session->GetFieldCount() ||
      Session->GetFieldType(field) != DbfFieldType::Memo) {
    SetStatus(texts::kStatusOk);
    return;
  }
  // The record as the user saw it when the editor opened: the write must
  // still find it so.
  const ShownRecord seen = ShownRow(at.Row);
  std::string text;
  const Outcome read = Session->ReadMemoText(at.Row + 1, field, text);
  if (!Report(read)) return;
  Outcome written;
  MemoEditorWindow& editor = program_.GetMemoEditorWindow();
  editor.Memo1->Clear();
  editor.Memo1->SetText(Utf8ToAnsi(text));
  if (editor.ShowModal() == kMemoSaved) {
    SetStatus(texts::kStatusSave);
    written = Session->WriteMemo(at.Row + 1, field, Utf8OfAnsiEdit(text, editor.SavedText), &seen);
    if (written.IsDone() || Session->IsLoaded()) FillGrid();
  }
  editor.GetForm().Hide();
  program_.GetApplet().ProcessMessages();
  SetStatus(texts::kStatusOk);
  Report(written);
}

}  // namespace tabulon
