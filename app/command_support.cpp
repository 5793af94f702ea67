// What every command shares: one command at a time, the field each column
// shows, and telling the user what became of a command.
#include "engine_messages.h"
#include "main_window.h"
#include "text.h"
#include "texts.h"

namespace tabulon {

namespace {

// "знака" after "до 1", "до 21", ...; "знаков" otherwise.
const char* Characters(int count) {
  return count % 10 == 1 && count % 100 != 11 ? texts::kCharactersOne : texts::kCharactersMany;
}

}  // namespace

MainWindow::CommandScope::CommandScope(MainWindow& window) : window_(window), entered_(!window.busy_) {
  window_.busy_ = true;
}

MainWindow::CommandScope::~CommandScope() {
  if (entered_) window_.busy_ = false;
}

int MainWindow::FieldOfColumn(int col) const {
  if (col >= 0 && size_t(col) < column_fields_.size()) return column_fields_[size_t(col)];
  return col + 1;
}

bool MainWindow::EndPendingEdit() {
  // A menu item leaves the focus in the editor; ending the edit here writes
  // it before the command marks itself running (which would refuse it).
  return TableGrid->EndEdit(true, false);
}

std::string MainWindow::ValueRefusal(int field) const {
  const DbfField& f = Session->GetField(field);
  std::string expects;
  switch (Session->GetValueLayout(field)) {
    case DbfValueLayout::Number:
      expects = texts::kExpectsNumberPrefix + std::to_string(f.Length) + Characters(f.Length);
      if (f.Decimals > 0)
        expects += texts::kExpectsDecimalsPrefix + std::to_string(f.Decimals) + texts::kExpectsDecimalsSuffix;
      else
        expects += texts::kExpectsNoDecimals;
      break;
    case DbfValueLayout::Date: expects = texts::kExpectsDate; break;
    case DbfValueLayout::Logic: expects = texts::kExpectsLogic; break;
    case DbfValueLayout::Integer: expects = texts::kExpectsInteger; break;
    case DbfValueLayout::Autoincrement: expects = texts::kExpectsCounter; break;
    case DbfValueLayout::Currency: expects = texts::kExpectsCurrency; break;
    case DbfValueLayout::Double: expects = texts::kExpectsDouble; break;
    case DbfValueLayout::SortableDouble: expects = texts::kExpectsDoubleOrBlank; break;
    case DbfValueLayout::DateTime:
    case DbfValueLayout::Timestamp: expects = texts::kExpectsDateTime; break;
    default: expects = texts::kFieldNotEditable; break;
  }
  // The field's name as its column is titled.
  return texts::kFieldPrefix + Session->GetFieldTitle(field) + expects;
}

std::string MainWindow::OutcomeText(const Outcome& o) const {
  if (o.Kind == OutcomeKind::Failed) return EngineMessage(o.EngineCode, o.EngineText);
  const std::string row = std::to_string(o.Row);
  switch (o.Reason) {
    case Refusal::None: return o.EngineCode != 0 ? EngineMessage(o.EngineCode, o.EngineText) : std::string();
    case Refusal::NoTable:
    case Refusal::NoSuchRecord:
    case Refusal::NoSuchField: return std::string();
    case Refusal::Cancelled: return texts::kCancelled;
    case Refusal::CannotRead: return texts::kCannotRead + o.Detail + (o.Text.empty() ? "" : " (" + o.Text + ")");
    case Refusal::CannotWrite: return texts::kCannotWrite + o.Detail + (o.Text.empty() ? "" : " (" + o.Text + ")");
    case Refusal::TableExists: return texts::kTableExists + o.Detail;
    case Refusal::UnknownColumn: return texts::kUnknownColumn + o.Detail;
    case Refusal::NoColumns: return texts::kNoColumns;
    case Refusal::UnclosedQuote:
    case Refusal::ValueCount:
    case Refusal::TextTooLong: return texts::kLinePrefix + row + ": " + LineRefusal(o);
    case Refusal::RowsRefused: return texts::kRowsRefusedPrefix + std::to_string(o.Size) + texts::kRowsRefusedMiddle;
    case Refusal::ReadOnly: return texts::kReadOnlyRefused;
    case Refusal::TableChanged: return texts::kTableChanged;
    case Refusal::Locked: return o.Record > 0 ? texts::kRecordLocked : texts::kTableLocked;
    case Refusal::NoMemoFile: return texts::kNoMemoFile;
    case Refusal::ValueRefused: return ValueRefusal(o.Field);
    case Refusal::ControlCharacter: return texts::kFieldPrefix + Session->GetFieldTitle(o.Field) + texts::kControlCharacter;
    case Refusal::BinaryData: return texts::kFieldPrefix + Session->GetFieldTitle(o.Field) + texts::kBinaryMemo;
    case Refusal::NoCodePageTwin:
      if (Session->GetCodePage() == 866) return texts::kNoOemTwinPrefix + o.Detail + texts::kNoOemTwinSuffix;
      return texts::kNoOemTwinPrefix + o.Detail + texts::kNoCharInCodePage + std::to_string(Session->GetCodePage()) +
             texts::kNoCharInCodePageSuffix;
    case Refusal::PackMemoMissing: return texts::kPackMemoMissing + o.Detail;
    case Refusal::StaleIndexes: return texts::kStaleIndexes + o.Detail;
    case Refusal::NoSuchIndex: return texts::kNoSuchIndex + o.Detail;
    case Refusal::EnterName: return texts::kEnterNamePrefix + row + texts::kColumnSuffix;
    case Refusal::EnterSize: return texts::kEnterSizePrefix + row + texts::kColumnSuffix;
    case Refusal::ChooseType: return texts::kChooseTypePrefix + row + texts::kColumnSuffix;
    case Refusal::TextSize:
      return texts::kTextSizePrefix + std::to_string(o.Row) + texts::kTextSizeMiddle + o.Detail + texts::kTextSizeSuffix;
    case Refusal::NameNoOemTwin:
      return texts::kNameNoOemTwinPrefix + row + texts::kNameNoOemTwinMiddle + o.Detail + texts::kNameNoOemTwinSuffix;
    case Refusal::SameName:
      return texts::kSameNamePrefix + row + texts::kSameNameAnd + std::to_string(o.OtherRow) +
             texts::kSameNameMiddle + o.Detail + texts::kSameNameSuffix;
    case Refusal::RecordTooLong:
      return texts::kRecordTooLongPrefix + std::to_string(o.Size) + texts::kRecordTooLongLimit +
             std::to_string(o.Limit);
  }
  return std::string();
}

std::string MainWindow::LineRefusal(const Outcome& o) const {
  switch (o.Reason) {
    case Refusal::UnclosedQuote: return texts::kUnclosedQuote;
    case Refusal::ValueCount:
      return texts::kValueCountPrefix + std::to_string(o.Size) + texts::kValueCountMiddle + std::to_string(o.Limit) + ".";
    case Refusal::TextTooLong: {
      const std::string name = o.Field >= 1 && o.Field <= Session->GetFieldCount() ? Session->GetFieldTitle(o.Field)
                                                                                    : std::to_string(o.Field);
      return texts::kFieldPrefix + name + texts::kTextTooLongPrefix + std::to_string(o.Size) +
             texts::kTextTooLongMiddle + std::to_string(o.Limit) + ".";
    }
    default: return OutcomeText(o);
  }
}

bool MainWindow::Report(const Outcome& o) {
  if (o.Kind == OutcomeKind::Done) {
    // A journal set aside at the open: the table works as it is.
    if (o.EngineCode != 0) Tell(OutcomeText(o));
    return true;
  }
  // The table could not even be opened (or none was chosen): it is shown
  // no more.
  if ((o.Kind == OutcomeKind::Failed && !Session->IsLoaded()) || o.Reason == Refusal::NoTable) {
    ReportLoadFailure(o);
    return false;
  }
  const std::string text = OutcomeText(o);
  switch (o.Reason) {
    case Refusal::TableChanged:
      // Nothing written: the view shows what the file now holds.
      FillGrid();
      Tell(text);
      return false;
    case Refusal::ReadOnly:
    case Refusal::Locked:
      Tell(text);
      return false;
    default:
      break;
  }
  if (text.empty()) return false;
  Tell(text);
  SetStatus(texts::kStatusError);
  return false;
}

bool MainWindow::MayWrite() {
  if (!Session->IsLoaded() || Session->IsReadOnly() || Session->GetIndexesMayGoStale() ||
      !Session->HasIndexesThatGoStale())
    return true;
  switch (ShowMessageBox(texts::kStaleIndexesQuestion, texts::kAppletCaption, kMbYesNoCancel | kMbIconQuestion | kMbTaskModal | kMbSetForeground)) {
    case kIdYes:
      Session->SetIndexesMayGoStale(true);
      return true;
    case kIdNo:
      Session->SetReadingOnlyChosen(true);
      SetStatus(texts::kStatusOk);  // says ЧТЕНИЕ now
      return false;
    default:
      return false;
  }
}

void MainWindow::ReportLoadFailure(const Outcome& o) {
  SetStatus(texts::kStatusLoad);
  ClearTableView();
  // No table chosen yet is not a failure the user needs to hear of.
  if (o.Reason == Refusal::NoTable) {
    SetStatus(texts::kStatusOk);
    return;
  }
  SetStatus(texts::kStatusError);
  Tell(OutcomeText(o));
}

}  // namespace tabulon
