// Editing a memo text in the memo editor window.
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
  // The record as the user saw it when the editor opened, and after each
  // save as the save left it: every write must still find it so.
  const int32_t record = at.Row + 1;
  ShownRecord seen = ShownRow(at.Row);
  std::string text;
  const Outcome read = Session->ReadMemoText(record, field, text);
  if (!Report(read)) return;
  MemoEditorWindow& editor = program_.GetMemoEditorWindow();
  editor.Memo1->Clear();
  editor.Memo1->SetText(text);
  // Stored at "Сохранить", so that a refusal is heard while the text is
  // still there to mend.
  bool last_stored = true;
  editor.OnSave = [&](const std::string& typed) {
    if (!MayWrite()) return false;
    SetStatus(texts::kStatusSave);
    const Outcome written = Session->WriteMemo(record, field, typed, &seen);
    if (written.IsDone()) {
      Session->ForgetShownRows();
      seen = Session->GetShownRecord(record);
      SetStatus(texts::kStatusOk);
    }
    last_stored = Report(written);
    return written.IsDone();
  };
  const bool saved = editor.ShowModal() == kMemoSaved;
  editor.OnSave = nullptr;
  if (saved && Session->IsLoaded()) FillGrid();
  editor.GetForm().Hide();
  program_.GetApplet().ProcessMessages();
  if (last_stored) SetStatus(texts::kStatusOk);
}

}  // namespace tabulon
