// Editing a memo text in the memo editor window.
#include "main_window.h"
#include "program.h"
#include "texts.h"

namespace tabulon {

void MainWindow::EditMemo() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  SetStatus(texts::kStatusLoad);
  const XLGridCoord at = TableGrid->GetCurrentCell();
  const bool on_cell = TableGrid->HasCell(at);
  if (!OpenTableForRecordWrite(on_cell ? at.Row : -1)) return;
  std::string failure;
  const int field = FieldOfColumn(at.Col);
  if (on_cell && Table->GetFieldType(field) == DbfFieldType::Memo) {
    Table->AutoPost = true;
    Table->GoTo(at.Row + 1);
    MemoEditorWindow& editor = program_.GetMemoEditorWindow();
    editor.Memo1->Clear();
    editor.Memo1->SetText(DisplayText(field));
    if (editor.ShowModal() == kMemoSaved) {
      SetStatus(texts::kStatusSave);
      std::string bytes;
      if (Table->GetMemoKind() == MemoKind::None) {
        failure = texts::kNoMemoFile;  // the engine would drop it silently
      } else if (TypedToStored(field, editor.SavedText, bytes, failure)) {
        BeginWrite();
        Table->WriteMemo(field, bytes);
        Table->PostRecord();
        failure = WriteFailure();
        FillGrid();
      }
    }
    editor.GetForm().Hide();
  }
  CloseTable();
  program_.GetApplet().ProcessMessages();
  SetStatus(texts::kStatusOk);
  ReportFailure(failure);
}

}  // namespace tabulon
