// Values and records as the table view shows them. The session reads the
// records a view draws through a table of its own opened for reading
// only, so a record always looks as the file held it when it was drawn,
// and a table of millions of records costs no more than a screen of them.
#include <algorithm>

#include "table_session.h"
#include "text.h"

namespace tabulon {

namespace {

// Records read at once when one is asked for that was not drawn (a key
// press before the next paint, a copy of marked rows): a screenful.
constexpr int32_t kRowsReadAhead = 64;
// The records kept at most between paints; a paint starts afresh anyway.
constexpr size_t kMaxShownRows = 1024;

// What a cell shows for a field of binary data.
const std::string& BinaryDataMarker() {
  static const std::string marker = "<двоичные данные>";
  return marker;
}

}  // namespace

std::string TableSession::StoredText(DbfTable& table, int field, bool* binary) const {
  std::string text;
  if (table.GetFieldType(field) == DbfFieldType::Memo) {
    bool marked = false;
    table.ReadMemo(field, text, &marked);
    // An image or other bytes that are no text: shown, edited and so
    // written back as text, they would be cut at their first zero byte.
    const bool bytes = marked || text.find('\0') != std::string::npos;
    if (binary) *binary = bytes;
    return bytes ? BinaryDataMarker() : text;
  }
  // Binary data has no text a user could read or match.
  if (!HasTextForm(table.GetValueLayout(field))) return BinaryDataMarker();
  return table.GetFieldText(field);
}

// Every value of every record passes here when a table is printed or
// exported: it makes no copy it can avoid.
std::string TableSession::ShownText(DbfTable& table, int field, bool* binary) const {
  return ShownText(table, field, table.GetFieldType(field) == DbfFieldType::Memo, table.GetValueLayout(field),
                   binary);
}

std::string TableSession::ShownText(DbfTable& table, int field, bool memo, DbfValueLayout layout,
                                    bool* binary) const {
  if (!memo) {
    if (!HasTextForm(layout)) return BinaryDataMarker();
    // A number's leading blanks only right-justify it in the file; the cell
    // right-aligns it, and blanks would hide its digits in a narrow column.
    if (layout == DbfValueLayout::Number) return TrimBlanks(table.GetFieldText(field));
    return DecodeText(code_page_, table.GetFieldText(field));
  }
  bool bytes = false;
  std::string text = StoredText(table, field, &bytes);
  if (binary) *binary = bytes;
  return bytes ? text : DecodeText(code_page_, text);
}

bool TableSession::ShowsBinaryData(const ShownRecord& record, int field) const {
  return field >= 1 && size_t(field) <= record.Texts.size() &&
         record.Texts[size_t(field - 1)] == BinaryDataMarker();
}

bool TableSession::NoticeRecordCountChange() {
  if (!loaded_) return false;
  DbfFileInfo info;
  if (!fs_.GetInfo(file_name_, &info)) return false;
  const bool as_seen = info.Size == seen_.Data.Size && info.ModifiedTime == seen_.Data.ModifiedTime;
  const bool as_looked = info.Size == looked_.Size && info.ModifiedTime == looked_.ModifiedTime;
  looked_ = info;
  if (as_seen || as_looked) return false;
  const TableSnapshot now = TakeSnapshot(*table_, fs_);
  if (!now.Valid || now.RecordCount == record_count_) return false;
  record_count_ = now.RecordCount;
  shown_.clear();
  return true;
}

void TableSession::OpenView() {
  DbfTable& view = *view_table_;
  view.SetFileNames(file_name_, memo_file_name_);
  view.ClearError();
  view.SetActive(true);
  kinds_.clear();
}

void TableSession::FetchRows(int32_t first, int32_t last) {
  DbfTable& view = *view_table_;
  OpenView();
  // A table that cannot be opened now keeps the rows read before, and the
  // others are marked unread: the next paint tries once more.
  if (view.IsActive()) shown_.clear();
  ReadRows(first, last);
  view.SetActive(false);
}

const ShownRecord& TableSession::GetShownRecord(int32_t record) {
  auto it = shown_.find(record);
  if (it != shown_.end()) return it->second;
  if (shown_.size() > kMaxShownRows) shown_.clear();
  DbfTable& view = *view_table_;
  OpenView();
  const int64_t last = std::min<int64_t>(record_count_, int64_t{record} + kRowsReadAhead - 1);
  ReadRows(record, int32_t(std::max<int64_t>(last, record)));
  view.SetActive(false);
  return shown_[record];  // a record past the table's end reads as unread
}

void TableSession::ReadRows(int32_t first, int32_t last) {
  DbfTable& view = *view_table_;
  if (!view.IsActive() || !loaded_) {
    for (int32_t r = first; r <= last; ++r) shown_.try_emplace(r);
    return;
  }
  for (int32_t r = std::max(first, 1); r <= last; ++r) ReadRecord(view, r, shown_[r]);
}

void TableSession::ReadRecord(DbfTable& view, int32_t n, ShownRecord& record) const {
  const int fields = view.GetFieldCount();
  record.Texts.resize(size_t(std::max(fields, 0)));
  record.Deleted = false;
  view.GoTo(n);
  // A record the file no longer holds, or cannot give, shows empty.
  record.Read = view.BufferHoldsRecord();
  // What each field is, once per open rather than once per value.
  if (kinds_.empty()) {
    for (int f = 1; f <= fields; ++f)
      kinds_.emplace_back(view.GetFieldType(f) == DbfFieldType::Memo, view.GetValueLayout(f));
  }
  for (int f = 1; f <= fields; ++f) {
    const auto& kind = kinds_[size_t(f - 1)];
    record.Texts[size_t(f - 1)] =
        record.Read ? ShownText(view, f, kind.first, kind.second) : std::string();
  }
  record.Deleted = record.Read && view.IsDeleted();
}

Outcome TableSession::EachShownRecord(int32_t first, int32_t last,
                                      const std::function<bool(int32_t, const ShownRecord&)>& each) {
  if (!loaded_) return Refused(Refusal::NoTable);
  DbfTable& view = *view_table_;
  OpenView();
  Outcome o;
  if (!view.IsActive()) {
    o.Kind = OutcomeKind::Failed;
    o.EngineCode = view.GetErrorCode();
    o.EngineText = view.GetErrorText();
    return o;
  }
  const int64_t end = std::min<int64_t>(last, view.RecordCount());
  ShownRecord record;
  for (int64_t r = std::max(first, 1); r <= end; ++r) {
    ReadRecord(view, int32_t(r), record);
    if (!each(int32_t(r), record)) break;
  }
  view.SetActive(false);
  return o;
}

}  // namespace tabulon
