// The new-table area: field rows, their editors, and creating the table.
#include <cstdint>
#include <string>

#include "field_definition.h"
#include "main_window.h"
#include "program.h"
#include "text.h"
#include "texts.h"

namespace tabulon {

namespace {

enum FieldColumn { kNameColumn = 0, kSizeColumn = 1, kTypeColumn = 2 };

// The widest Character field every dBase reader takes.
constexpr int64_t kMaxTextSize = 254;

// Blanks and control characters at both ends do not count.
std::string TrimmedCell(const XLGrid& grid, int col, int row) {
  return TrimBlanks(grid.GetCell(col, row).GetText());
}

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
void MainWindow::BeginFieldEdit(XLGrid& sender, int col, int row, Control*& editor, Control*&,
                                XLGridSides&) {
  // The column's role, wherever the user moved it.
  const int role = col >= 0 && size_t(col) < field_grid_roles_.size() ? field_grid_roles_[size_t(col)] : -1;
  switch (role) {
    case kNameColumn:
      editor = TextCellEditor.get();
      break;
    case kSizeColumn:
      editor = SizeCellEditor.get();
      break;
    case kTypeColumn: {
      // A drop-down list takes no text from the grid: its choice is the
      // cell's type when it has one, the first type otherwise.
      const std::string type = sender.GetCell(col, row).GetText();
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
}

void MainWindow::CreateNewTable() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  FieldGrid->EndEdit(true, true);  // what is being typed counts
  FieldDefinitionLines.clear();
  int record_size = 1;  // the deletion flag
  bool has_memo = false;
  std::vector<std::string> names;  // as the engine will write them
  // Where the name, size and type columns are now.
  int at[3] = {kNameColumn, kSizeColumn, kTypeColumn};
  for (size_t c = 0; c < field_grid_roles_.size(); ++c) at[field_grid_roles_[c]] = int(c);
  // Names are stored in the code page the box says the user works in.
  const bool oem = OemCheckBox->IsChecked();
  for (int row = 0; row < FieldGrid->RowCount(); ++row) {
    // In capitals, Cyrillic ones too (the engine knows only Latin ones).
    const std::string name = UpperAnsi(TrimmedCell(*FieldGrid, at[kNameColumn], row));
    std::string size = TrimmedCell(*FieldGrid, at[kSizeColumn], row);
    std::string type = TrimmedCell(*FieldGrid, at[kTypeColumn], row);
    const std::string number = std::to_string(row + 1);
    if (name.empty()) {
      Tell(texts::kEnterNamePrefix + number + texts::kColumnSuffix);
      return;
    }
    if (size.empty() && type != texts::kFieldTypes[1]) {
      Tell(texts::kEnterSizePrefix + number + texts::kColumnSuffix);
      return;
    }
    if (type.empty()) {
      Tell(texts::kChooseTypePrefix + number + texts::kColumnSuffix);
      return;
    }
    if (type == texts::kFieldTypes[0]) {
      // The engine would silently make another size of one it cannot write.
      const bool digits = size.find_first_not_of("0123456789") == std::string::npos;
      const int64_t value = digits && size.size() <= 9 ? ParseLeadingInteger(size) : 0;
      if (value < 1 || value > kMaxTextSize) {
        Tell(texts::kTextSizePrefix + number + texts::kTextSizeMiddle + AnsiToUtf8(size) +
             texts::kTextSizeSuffix);
        return;
      }
      type = "C";
    } else if (type == texts::kFieldTypes[1]) {
      type = "M";
      size.clear();
    }
    std::string stored_name = name;
    uint8_t missing = 0;
    if (oem && !AnsiToOem(name, stored_name, missing)) {
      Tell(texts::kNameNoOemTwinPrefix + number + texts::kNameNoOemTwinMiddle +
           AnsiToUtf8(std::string(1, char(missing))) + texts::kNameNoOemTwinSuffix);
      return;
    }
    const std::string line = stored_name + "=" + type + size;
    const DbfFieldDefinition field = ParseFieldDefinition(line, row);
    // As the user reads it.
    const std::string shown_name = oem ? OemToAnsi(field.Name) : field.Name;
    // Two fields of one name: other programs would see only the first.
    for (size_t earlier = 0; earlier < names.size(); ++earlier) {
      if (names[earlier] != field.Name) continue;
      Tell(texts::kSameNamePrefix + std::to_string(earlier + 1) + texts::kSameNameAnd + number +
           texts::kSameNameMiddle + AnsiToUtf8(shown_name) + texts::kSameNameSuffix);
      return;
    }
    names.push_back(field.Name);
    program_.GetApplet().ShowMessage(name + "=" + type + size);  // the line as the user reads it
    FieldDefinitionLines.push_back(line);
    record_size += field.Length;
    has_memo = has_memo || field.Type == 'M';
  }
  // The engine would create it, and then refuse to open it.
  if (record_size > kDbfRecordBufferSize) {
    Tell(texts::kRecordTooLongPrefix + std::to_string(record_size - 1) +
         texts::kRecordTooLongLimit + std::to_string(kDbfRecordBufferSize - 1));
    return;
  }

  if (!ChooseTableFile(FileDialogMode::Save)) {
    Tell(texts::kCreateFailed);
    return;
  }
  const std::string path = FileDialog->GetFileName();
  Table->FileName = path;
  // Nothing opens the chosen file before the creation: a file being
  // replaced must be changed by the creation alone.
  // The table says which code page its names and texts will be typed in.
  const bool created = Table->CreateTable(
      path, FieldDefinitionLines,
      LanguageDriverOf(oem ? DbfCodePage::Dos866 : DbfCodePage::Windows1251));
  // The memo file is the one the creation wrote beside the table, so that
  // no later command writes memos into the previous table's memo file, nor
  // into a FoxPro file that happens to lie beside the new one (where
  // loading would look first).
  Table->MemoFileName = has_memo && created ? DbtFileNameFor(path) : std::string();
  if (created) {
    Tell(texts::kCreateDone);
  } else {
    ReportFailure(texts::kCreateFailed);
  }
}

}  // namespace tabulon
