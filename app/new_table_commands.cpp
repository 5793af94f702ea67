// The new-table area: field rows, their editors, and creating the table.
#include <cstdint>
#include <string>

#include "main_window.h"
#include "program.h"
#include "text.h"
#include "texts.h"

namespace tabulon {

namespace {

enum FieldColumn { kNameColumn = 0, kSizeColumn = 1, kTypeColumn = 2 };

}  // namespace

void MainWindow::SetFieldRows() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  // The rows go with their texts; an edit in progress goes with them.
  FieldGrid->EndEdit(false, true);
  FieldGrid->SetRowCount(0);
  int64_t rows = ParseLeadingInteger(FieldCountEdit->GetText());
  if (rows <= 0) return;
  // A table holds at most that many fields (more rows would be dropped at
  // creation without a word), and the count shows what the grid got.
  if (rows > kDbfMaxCreatedFields) {
    rows = kDbfMaxCreatedFields;
    FieldCountEdit->SetText(std::to_string(rows));
  }
  FieldGrid->SetRowCount(uint16_t(rows));
}

// The editor's text becomes the cell's when the edit is accepted; the
// field grid keeps no other copy, so nothing is handled at the end.
XLGridEditor MainWindow::BeginFieldEdit(int col, int row) {
  XLGridEditor lent;
  Control*& editor = lent.Editor;
  // The column's role, wherever the user moved it.
  const int role = col >= 0 && size_t(col) < field_grid_roles_.size() ? field_grid_roles_[size_t(col)] : -1;
  switch (role) {
    case kNameColumn:
      editor = TextCellEditor.get();
      TextCellEditor->SetMaxLength(0);  // the table view's edits limit it
      break;
    case kSizeColumn:
      editor = SizeCellEditor.get();
      break;
    case kTypeColumn: {
      // A drop-down list takes no text from the grid: its choice is the
      // cell's type when it has one, the first type otherwise.
      const std::string type = FieldGrid->GetCell(col, row).GetText();
      int index = 0;
      for (int i = 0; i < TypeCellEditor->GetCount(); ++i)
        if (TypeCellEditor->GetItem(i) == type) index = i;
      TypeCellEditor->SetItemIndex(index);
      editor = TypeCellEditor.get();
      break;
    }
    default:
      break;
  }
  return lent;
}

void MainWindow::CreateNewTable() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  FieldGrid->EndEdit(true, true);  // what is being typed counts
  FieldDefinitionLines.clear();
  // Where the name, size and type columns are now.
  int at[3] = {kNameColumn, kSizeColumn, kTypeColumn};
  for (size_t c = 0; c < field_grid_roles_.size(); ++c) at[field_grid_roles_[c]] = int(c);
  std::vector<NewFieldRow> rows;
  for (int row = 0; row < FieldGrid->RowCount(); ++row) {
    NewFieldRow field;
    field.Name = (FieldGrid->GetCell(at[kNameColumn], row).GetText());
    field.Size = (FieldGrid->GetCell(at[kSizeColumn], row).GetText());
    const std::string type = TrimBlanks(FieldGrid->GetCell(at[kTypeColumn], row).GetText());
    field.Type = type == texts::kFieldTypes[0]   ? NewFieldType::Text
                 : type == texts::kFieldTypes[1] ? NewFieldType::Memo
                 : type.empty()                  ? NewFieldType::None
                                                 : NewFieldType::Other;
    field.OtherType = (type);
    rows.push_back(field);
  }
  // Names are stored in the code page the box says the user works in.
  NewTableDefinition definition;
  const Outcome checked = Session->CheckNewTable(rows, OemCheckBox->IsChecked(), &definition);
  // Each line that passed is shown as the user reads it, then what stopped.
  for (const std::string& line : definition.ShownLines) program_.GetApplet().ShowMessage(line);
  FieldDefinitionLines = definition.Lines;
  if (!checked.IsDone()) {
    Tell(OutcomeText(checked));
    return;
  }
  if (!ChooseTableFile(FileDialogMode::Save)) {
    Tell(texts::kCreateFailed);
    return;
  }
  const std::string path = FileDialog->GetFileName();
  std::string memo_file;
  if (Session->CreateTable(path, definition, &memo_file).IsDone()) {
    Tell(texts::kCreateDone);
    // The view shows the new table, and the commands act on it.
    ShowCreatedTable(path, memo_file);
  } else {
    Tell(texts::kCreateFailed);
    SetStatus(texts::kStatusError);
  }
}

}  // namespace tabulon
