// A new table's field rows checked against what a table can hold, and the
// table created from them.
#include "field_definition.h"
#include "table_session.h"
#include "text.h"

namespace tabulon {

namespace {

Outcome RowRefused(Refusal reason, int row) {
  Outcome o = Refused(reason);
  o.Row = row;
  return o;
}

}  // namespace

Outcome TableSession::CheckNewTable(const std::vector<NewFieldRow>& rows, bool oem,
                                    NewTableDefinition* definition) const {
  *definition = NewTableDefinition{};
  definition->Oem = oem;
  int record_size = 1;  // the deletion flag
  std::vector<std::string> names;  // as the engine will write them
  for (size_t i = 0; i < rows.size(); ++i) {
    const int row = int(i) + 1;
    // In capitals, Cyrillic ones too (the engine knows only Latin ones).
    const std::string name = UpperAnsi(TrimBlanks(Utf8ToAnsi(rows[i].Name)));
    std::string size = TrimBlanks(Utf8ToAnsi(rows[i].Size));
    const NewFieldType kind = rows[i].Type;
    if (name.empty()) return RowRefused(Refusal::EnterName, row);
    if (size.empty() && kind != NewFieldType::Memo) return RowRefused(Refusal::EnterSize, row);
    if (kind == NewFieldType::None) return RowRefused(Refusal::ChooseType, row);
    std::string type;
    if (kind == NewFieldType::Text) {
      // The engine would silently make another size of one it cannot write.
      const bool digits = size.find_first_not_of("0123456789") == std::string::npos;
      const int64_t value = digits && size.size() <= 9 ? ParseLeadingInteger(size) : 0;
      if (value < 1 || value > kMaxTextFieldSize) {
        Outcome o = RowRefused(Refusal::TextSize, row);
        o.Detail = AnsiToUtf8(size);
        return o;
      }
      type = "C";
    } else if (kind == NewFieldType::Memo) {
      type = "M";
      size.clear();
    } else {
      type = TrimBlanks(Utf8ToAnsi(rows[i].OtherType));
    }
    std::string stored_name = name;
    uint8_t missing = 0;
    if (oem && !AnsiToOem(name, stored_name, missing)) {
      Outcome o = RowRefused(Refusal::NameNoOemTwin, row);
      o.Detail = AnsiToUtf8(std::string(1, char(missing)));
      return o;
    }
    const std::string line = stored_name + "=" + type + size;
    const DbfFieldDefinition field = ParseFieldDefinition(line, row - 1);
    // Two fields of one name: other programs would see only the first.
    for (size_t earlier = 0; earlier < names.size(); ++earlier) {
      if (names[earlier] != field.Name) continue;
      Outcome o = RowRefused(Refusal::SameName, int(earlier) + 1);
      o.OtherRow = row;
      o.Detail = AnsiToUtf8(oem ? OemToAnsi(field.Name) : field.Name);
      return o;
    }
    names.push_back(field.Name);
    // The line as the user reads it.
    definition->ShownLines.push_back(AnsiToUtf8(name + "=" + type + size));
    definition->Lines.push_back(line);
    record_size += field.Length;
    definition->HasMemo = definition->HasMemo || field.Type == 'M';
  }
  // The engine would create it, and then refuse to open it.
  if (record_size > kDbfRecordBufferSize) {
    Outcome o = Refused(Refusal::RecordTooLong);
    o.Size = record_size - 1;
    o.Limit = kDbfRecordBufferSize - 1;
    return o;
  }
  return Outcome{};
}

Outcome TableSession::CreateTable(const std::string& path, const NewTableDefinition& definition,
                                  std::string* memo_file) {
  // A table of its own: the session's table (the one shown) stays what the
  // commands act on. Nothing opens the chosen file before the creation: a
  // file being replaced is changed by the creation alone.
  auto created = NewDbfTable(path, "", true, &fs_);
  // The table says which code page its names and texts will be typed in.
  const bool done = created->CreateTable(path, definition.Lines,
                       LanguageDriverOf(definition.Oem ? DbfCodePage::Dos866 : DbfCodePage::Windows1251));
  // The memo file is the one the creation wrote beside the table, never a
  // FoxPro file that happens to lie beside the new one.
  if (memo_file) *memo_file = done && definition.HasMemo ? DbtFileNameFor(path) : std::string();
  Outcome o;
  if (!done) {
    o.Kind = OutcomeKind::Failed;
    o.EngineCode = created->GetErrorCode();
    o.EngineText = created->GetErrorText();
  }
  return o;
}

}  // namespace tabulon
