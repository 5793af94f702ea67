// The commands that write: a cell, a memo, a blank record, a deletion
// mark, removing a record, packing.
#include "table_session.h"
#include "text.h"

namespace tabulon {

namespace {

bool RefersToMemoBlocks(const DbfTable& table) {
  for (int32_t f = 1; f <= table.GetFieldCount(); ++f)
    if (IsMemoReferenceField(table.GetVersion(), table.GetField(f).Type)) return true;
  return false;
}

}  // namespace

// With the table open and the record in its buffer.
Outcome TableSession::WriteValue(int field, const std::string& typed, bool memo) {
  DbfTable& t = *table_;
  if (memo && t.GetMemoKind() == MemoKind::None) return Refused(Refusal::NoMemoFile);
  // Read before the write begins: its errors are not the write's.
  bool binary = false;
  const std::string stored = StoredText(t, field, &binary);
  if (binary) return Refused(Refusal::BinaryData, field);
  const bool text = !memo && GetValueLayout(field) == DbfValueLayout::Text;
  // Text and numbers are stored in the table's code page (a number's
  // characters are ASCII in every page but UTF-16, which no table uses).
  TypedValue value = StoredFormOfTyped(stored, typed, code_page_);
  if (value.Outcome == TypedOutcome::Refused) {
    Outcome o = Refused(Refusal::NoCodePageTwin, field);
    o.Detail = value.Missing;
    return o;
  }
  // Text longer than a Character field is cut to it, in a UTF-8 table at
  // the last whole character within its bytes; every other value goes
  // whole, so that one too long is refused rather than cut.
  if (value.Outcome == TypedOutcome::Store && text) {
    value.Bytes = CutToWidth(value.Bytes, GetField(field).Length, code_page_);
    if (value.Bytes == stored) value.Outcome = TypedOutcome::Unchanged;
    // Pasted lines would put tabs and line breaks into a one-line field.
    for (char c : value.Bytes)
      if (uint8_t(c) < 0x20) return Refused(Refusal::ControlCharacter, field);
  }
  Outcome o;
  o.Field = field;
  o.Record = t.GetRecNo();
  ClearEngineError();
  if (value.Outcome == TypedOutcome::Store) {
    if (t.IsReadOnly()) return Refused(Refusal::ReadOnly);
    if (memo) {
      t.WriteMemo(field, value.Bytes);
    } else {
      t.PutFieldText(field, value.Bytes);
    }
    t.PostRecord();
    if (t.GetErrorCode() == DbfValueRefused) return Refused(Refusal::ValueRefused, field);
    if (t.GetErrorCode() != 0) return EngineOutcome();
  }
  // The field's own value rewritten stores nothing and needs no word.
  o.Text = ShownText(t, field);
  return o;
}

Outcome TableSession::CheckTypedValue(int field, const std::string& typed, std::string* stored) const {
  stored->clear();
  Outcome checked = CheckedField(field);
  if (!checked.IsDone() || TrimBlanks(typed).empty()) return checked;
  const bool memo = GetFieldType(field) == DbfFieldType::Memo;
  const DbfValueLayout layout = GetValueLayout(field);
  if (!memo && !TakesTypedText(layout)) return Refused(Refusal::ValueRefused, field);
  const TypedValue value = StoredFormOfTyped(std::string(), typed, code_page_);
  if (value.Outcome == TypedOutcome::Refused) {
    Outcome o = Refused(Refusal::NoCodePageTwin, field);
    o.Detail = value.Missing;
    return o;
  }
  if (memo) {
    *stored = value.Bytes;
    return checked;
  }
  const DbfField& f = GetField(field);
  if (layout == DbfValueLayout::Text) {
    for (char c : value.Bytes)
      if (uint8_t(c) < 0x20) return Refused(Refusal::ControlCharacter, field);
    if (value.Bytes.size() > f.Length) {
      Outcome o = Refused(Refusal::TextTooLong, field);
      o.Size = int64_t(value.Bytes.size());
      o.Limit = f.Length;
      return o;
    }
  }
  if (!StoredFormOfText(layout, f.Length, f.Decimals, value.Bytes, stored)) return Refused(Refusal::ValueRefused, field);
  return checked;
}

Outcome TableSession::EditCell(int32_t record, int field, const std::string& typed,
                               const ShownRecord* seen) {
  Outcome checked = CheckedField(field);
  if (checked.Kind != OutcomeKind::Done) return checked;
  const bool memo = GetFieldType(field) == DbfFieldType::Memo;
  if (!memo && !TakesTypedText(GetValueLayout(field))) return Refused(Refusal::ValueRefused, field);
  Outcome stale = RefuseStaleIndexes();
  if (!stale.IsDone()) return stale;
  Outcome opened = OpenForRecordWrite({record}, seen);
  if (opened.Kind != OutcomeKind::Done) return opened;
  table_->GoTo(record);
  Outcome o = table_->BufferHoldsRecord() ? WriteValue(field, typed, memo) : EngineOutcome();
  shown_.clear();
  CloseTable();
  if (o.Kind == OutcomeKind::Done && table_->GetErrorCode() != 0) return EngineOutcome();
  return o;
}

Outcome TableSession::ReadMemoText(int32_t record, int field, std::string& text) {
  Outcome checked = CheckedField(field);
  if (checked.Kind != OutcomeKind::Done) return checked;
  Outcome opened = OpenForRecordWrite({record});
  if (opened.Kind != OutcomeKind::Done) return opened;
  table_->GoTo(record);
  bool binary = false;
  const std::string shown = ShownText(*table_, field, &binary);
  Outcome o;
  if (binary) o = Refused(Refusal::BinaryData, field);
  else text = shown;
  ClearEngineError();
  CloseTable();
  return o;
}

Outcome TableSession::WriteMemo(int32_t record, int field, const std::string& typed,
                                const ShownRecord* seen) {
  Outcome checked = CheckedField(field);
  if (checked.Kind != OutcomeKind::Done) return checked;
  if (GetFieldType(field) != DbfFieldType::Memo) return Refused(Refusal::ValueRefused, field);
  // A memo field's edit, as a cell's.
  return EditCell(record, field, typed, seen);
}

Outcome TableSession::AppendRecord(int32_t* record) {
  Outcome stale = RefuseStaleIndexes();
  if (!stale.IsDone()) return stale;
  Outcome opened = OpenTable();
  if (opened.Kind != OutcomeKind::Done) return opened;
  Outcome refused = RefuseWhenReadOnly();
  if (refused.Kind != OutcomeKind::Done) return refused;
  table_->AppendBlank();
  // The count reaches the file with the flush: its failure is the append's.
  table_->FlushWrites();
  Outcome o = EngineOutcome();
  if (o.Reason != Refusal::Locked) o.Record = int32_t(table_->RecordCount());
  if (record) *record = int32_t(table_->RecordCount());
  CloseTable();
  return o;
}

Outcome TableSession::RemoveRecord(int32_t record) {
  Outcome checked = CheckedRecord(record);
  if (checked.Kind != OutcomeKind::Done) return checked;
  Outcome stale = RefuseStaleIndexes();
  if (!stale.IsDone()) return stale;
  Outcome opened = OpenForRecordWrite({record});
  if (opened.Kind != OutcomeKind::Done) return opened;
  Outcome refused = RefuseWhenReadOnly();
  if (refused.Kind != OutcomeKind::Done) return refused;
  // That record only: records another program marked deleted stay.
  table_->RemoveRecord(record);
  Outcome o = EngineOutcome();
  if (o.Reason != Refusal::Locked) o.Record = record;
  shown_.clear();
  CloseTable();
  return o;
}

Outcome TableSession::SetDeleted(int32_t record, bool deleted) {
  return Mark({record}, deleted ? MarkChange::Set : MarkChange::Clear);
}

Outcome TableSession::ToggleDeleted(int32_t record) { return Mark({record}, MarkChange::Toggle); }

Outcome TableSession::SetDeleted(const std::vector<int32_t>& records, bool deleted) {
  return Mark(records, deleted ? MarkChange::Set : MarkChange::Clear);
}

Outcome TableSession::Mark(const std::vector<int32_t>& records, MarkChange change) {
  for (int32_t record : records) {
    Outcome checked = CheckedRecord(record);
    if (checked.Kind != OutcomeKind::Done) return checked;
  }
  Outcome stale = RefuseStaleIndexes();
  if (!stale.IsDone()) return stale;
  // Every record still as the user saw it, or none is written.
  Outcome opened = OpenForRecordWrite(records);
  if (opened.Kind != OutcomeKind::Done) return opened;
  Outcome refused = RefuseWhenReadOnly();
  if (refused.Kind != OutcomeKind::Done) return refused;
  Outcome o;
  for (int32_t record : records) {
    table_->GoTo(record);
    if (table_->BufferHoldsRecord()) {
      table_->SetDeleted(change == MarkChange::Toggle ? !table_->IsDeleted() : change == MarkChange::Set);
      table_->PostRecord();
    }
    o = EngineOutcome();
    o.Record = record;
    if (!o.IsDone()) break;
  }
  // The records show what the file now holds, marked or not.
  shown_.clear();
  CloseTable();
  return o;
}

Outcome TableSession::Pack(bool clear_broken_memos, std::vector<DbfBrokenMemo>* cleared) {
  Outcome stale = RefuseStaleIndexes();
  if (!stale.IsDone()) return stale;
  Outcome opened = OpenTable();
  if (opened.Kind != OutcomeKind::Done) return opened;
  Outcome refused = RefuseWhenReadOnly();
  if (refused.Kind != OutcomeKind::Done) return refused;
  Outcome o;
  if (RefersToMemoBlocks(*table_) && table_->GetMemoKind() == MemoKind::None) {
    // Without its memo file the memo blocks could not be carried over.
    o = Refused(Refusal::PackMemoMissing);
    o.Detail = memo_file_name_.empty() ? file_name_ : memo_file_name_;
  } else {
    DbfPackOptions options;
    options.ClearBrokenMemos = clear_broken_memos;
    table_->Pack(options, cleared);
    o = EngineOutcome();
  }
  shown_.clear();
  // A pack whose undoing failed closed the table; opening it undoes it.
  if (!table_->IsActive()) {
    const Outcome reopened = OpenTable();
    if (reopened.Kind != OutcomeKind::Done) return o.Kind == OutcomeKind::Done ? reopened : o;
  }
  CloseTable();
  return o;
}

}  // namespace tabulon
