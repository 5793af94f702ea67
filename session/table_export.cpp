// Records read for an export and decoded into typed cells, as the table
// view decodes them: text in the shown code page, binary numbers as their
// values, dates and times in ISO 8601.
#include "table_export.h"

#include <cstring>

#include "table_session.h"
#include "text.h"

namespace tabulon {

namespace {

// Records between two progress calls: often enough for a progress bar,
// rarely enough to cost nothing.
constexpr uint64_t kProgressEvery = 4096;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

ColumnKind KindOf(const DbfField& field, DbfValueLayout layout) {
  switch (layout) {
    case DbfValueLayout::Number:
      return field.Decimals == 0 && field.Type == 'N' && field.Length <= 18 ? ColumnKind::Integer
                                                                             : ColumnKind::Decimal;
    case DbfValueLayout::Integer:
    case DbfValueLayout::Autoincrement: return ColumnKind::Integer;
    case DbfValueLayout::Currency: return ColumnKind::Decimal;
    case DbfValueLayout::Double:
    case DbfValueLayout::SortableDouble: return ColumnKind::Real;
    case DbfValueLayout::Date: return ColumnKind::Date;
    case DbfValueLayout::DateTime:
    case DbfValueLayout::Timestamp: return ColumnKind::DateTime;
    case DbfValueLayout::Logic: return ColumnKind::Logic;
    case DbfValueLayout::MemoReference: return ColumnKind::Memo;
    case DbfValueLayout::BinaryReference:
    case DbfValueLayout::Opaque: return ColumnKind::Binary;
    case DbfValueLayout::Text:
    case DbfValueLayout::Varchar: break;
  }
  return ColumnKind::Text;
}

// "DD.MM.YYYY hh:mm:ss", as the engine shows a time, in ISO order.
bool IsoDateTime(const std::string& shown, std::string* iso) {
  static const char kPattern[] = "dd.dd.dddd dd:dd:dd";
  if (shown.size() != sizeof kPattern - 1) return false;
  for (size_t i = 0; i < shown.size(); ++i)
    if (kPattern[i] == 'd' ? !IsDigit(shown[i]) : shown[i] != kPattern[i]) return false;
  *iso = shown.substr(6, 4) + "-" + shown.substr(3, 2) + "-" + shown.substr(0, 2) + shown.substr(10);
  return true;
}

// Digits as most tables store them, already in JSON's form: an optional
// minus, a whole part without leading zeros, decimals after a point.
bool IsJsonNumber(const std::string& text) {
  size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  const size_t whole = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  if (i == whole || (text[whole] == '0' && i - whole > 1)) return false;
  if (i == text.size()) return true;
  if (text[i] != '.' || ++i == text.size()) return false;
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i == text.size();
}

struct ExportField {
  int Number = 0;
  DbfValueLayout Layout = DbfValueLayout::Text;
};

class RecordCells {
 public:
  RecordCells(DbfTable& table, const TableSession& session, bool table_code_page)
      : table_(table), oem_(session.IsShownOem()), raw_(table_code_page) {}

  std::vector<ExportColumn> Columns(const TableSession& session, bool with_deleted) {
    std::vector<ExportColumn> columns;
    for (int f = 1; f <= session.GetFieldCount(); ++f) {
      const DbfField& field = session.GetField(f);
      // Visual FoxPro's null flags are the table's bookkeeping, no data.
      if (field.Type == '0') continue;
      const DbfValueLayout layout = session.GetValueLayout(f);
      ExportColumn c;
      c.Name = raw_ ? session.GetFieldName(f) : session.GetFieldTitle(f);
      c.Kind = KindOf(field, layout);
      c.Length = field.Length;
      c.Decimals = field.Decimals;
      if (layout == DbfValueLayout::Currency) {
        c.Length = 19;
        c.Decimals = 4;
      }
      columns.push_back(c);
      fields_.push_back({f, layout});
    }
    if (with_deleted) columns.push_back({kDeletedColumn, ColumnKind::Logic, 1, 0});
    return columns;
  }

  void Read(std::vector<ExportCell>& cells, bool with_deleted) {
    cells.resize(fields_.size() + (with_deleted ? 1 : 0));
    for (size_t i = 0; i < fields_.size(); ++i) Decode(fields_[i], cells[i]);
    if (with_deleted) {
      cells.back().Kind = CellKind::Logic;
      cells.back().Text = table_.IsDeleted() ? "1" : "0";
    }
  }

 private:
  void Shown(std::string& text) const {
    if (raw_) return;
    if (oem_) text = OemToAnsi(text);
    text = AnsiToUtf8(std::move(text));
  }

  void Decode(const ExportField& field, ExportCell& cell) {
    std::string& text = cell.Text;
    cell.Kind = CellKind::Text;
    switch (field.Layout) {
      case DbfValueLayout::Text:
      case DbfValueLayout::Varchar:
        text = table_.GetFieldText(field.Number);
        Shown(text);
        return;
      case DbfValueLayout::MemoReference:
      case DbfValueLayout::BinaryReference: {
        bool binary = false;
        text.clear();
        table_.ReadMemo(field.Number, text, &binary);
        // A memo that cannot be read shows empty, as in the view.
        table_.ClearError();
        if (binary || field.Layout == DbfValueLayout::BinaryReference || text.find('\0') != std::string::npos)
          cell.Kind = text.empty() ? CellKind::Null : CellKind::Binary;
        else
          Shown(text);
        return;
      }
      case DbfValueLayout::Opaque:
        text = table_.FieldByNumber(field.Number);
        cell.Kind = CellKind::Binary;
        return;
      case DbfValueLayout::Date:
        text = TrimBlanks(table_.GetFieldText(field.Number));
        if (text.empty()) {
          cell.Kind = CellKind::Null;
        } else if (IsDateText(text)) {
          cell.Kind = CellKind::Date;
          text.insert(6, 1, '-');
          text.insert(4, 1, '-');
        }
        return;
      case DbfValueLayout::Logic:
        text = TrimBlanks(table_.GetFieldText(field.Number));
        if (text.size() == 1 && std::strchr("TtYy", text[0])) {
          cell.Kind = CellKind::Logic;
          text = "1";
        } else if (text.size() == 1 && std::strchr("FfNn", text[0])) {
          cell.Kind = CellKind::Logic;
          text = "0";
        } else {
          cell.Kind = CellKind::Null;  // blank or '?': not known
        }
        return;
      case DbfValueLayout::DateTime:
      case DbfValueLayout::Timestamp: {
        text = table_.GetFieldText(field.Number);
        std::string iso;
        if (text.empty()) cell.Kind = CellKind::Null;
        else if (IsoDateTime(text, &iso)) cell = {CellKind::DateTime, std::move(iso)};
        return;
      }
      case DbfValueLayout::Number:
      case DbfValueLayout::Integer:
      case DbfValueLayout::Autoincrement:
      case DbfValueLayout::Currency:
      case DbfValueLayout::Double:
      case DbfValueLayout::SortableDouble: {
        text = TrimBlanks(table_.GetFieldText(field.Number));
        std::string number;
        if (text.empty()) cell.Kind = CellKind::Null;
        else if (IsJsonNumber(text)) cell.Kind = CellKind::Number;
        else if (JsonNumberForm(text, &number)) cell = {CellKind::Number, std::move(number)};
        return;
      }
    }
  }

  DbfTable& table_;
  const bool oem_;
  const bool raw_;
  std::vector<ExportField> fields_;
};

}  // namespace

bool JsonNumberForm(const std::string& text, std::string* number) {
  size_t i = 0;
  std::string out;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') out += '-';
    ++i;
  }
  const size_t whole = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  size_t start = whole;
  while (start + 1 < i && text[start] == '0') ++start;  // no leading zeros
  out.append(text, start, i - start);
  if (i == whole) out += '0';
  bool digits = i > whole;
  if (i < text.size() && text[i] == '.') {
    const size_t point = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i > point) out += "." + text.substr(point, i - point);
    digits = digits || i > point;
  }
  if (!digits) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    const size_t mark = i++;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const size_t exponent = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == exponent) return false;
    out.append(text, mark, i - mark);
  }
  if (i != text.size()) return false;
  *number = std::move(out);
  return true;
}

void AppendBase64(std::string& out, const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]);
    out += kDigits[v >> 18];
    out += kDigits[v >> 12 & 63];
    out += kDigits[v >> 6 & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const uint32_t v = uint32_t(uint8_t(bytes[i])) << 16 | (two ? uint32_t(uint8_t(bytes[i + 1])) << 8 : 0);
    out += kDigits[v >> 18];
    out += kDigits[v >> 12 & 63];
    out += two ? kDigits[v >> 6 & 63] : '=';
    out += '=';
  }
}

Outcome ExportTable(TableSession& session, const ExportOptions& options, ExportSink& sink) {
  if (!session.IsLoaded()) return Refused(Refusal::NoTable);
  auto table = NewDbfTable(session.GetFileName(), session.GetMemoFileName(), false, &session.FileSystem());
  table->SetReadingOnly(true);
  table->SetActive(true);
  if (!table->IsActive()) {
    Outcome o;
    o.Kind = OutcomeKind::Failed;
    o.EngineCode = table->GetErrorCode();
    o.EngineText = table->GetErrorText();
    return o;
  }
  const uint32_t count = table->RecordCount();
  for (int32_t r : options.Records) {
    if (r < 1 || uint32_t(r) > count) {
      Outcome o = Refused(Refusal::NoSuchRecord);
      o.Record = r;
      return o;
    }
  }
  const bool listed = !options.Records.empty();
  const uint64_t total = listed ? options.Records.size() : count;
  auto failed = [&] {
    sink.Abandon();
    Outcome o = Refused(Refusal::CannotWrite);
    o.Detail = sink.GetPath();
    o.Text = sink.GetProblem();
    return o;
  };
  RecordCells reader(*table, session, options.TableCodePage);
  if (!sink.Begin(reader.Columns(session, options.WithDeleted), total)) return failed();
  std::vector<ExportCell> cells;
  for (uint64_t i = 0; i < total; ++i) {
    if (i % kProgressEvery == 0 && options.OnProgress && !options.OnProgress(i, total)) {
      sink.Abandon();
      return Refused(Refusal::Cancelled);
    }
    table->GoTo(listed ? options.Records[i] : int32_t(i + 1));
    if (!table->BufferHoldsRecord()) {
      // The file ends before its header's count: a table cut short.
      Outcome o;
      o.Kind = OutcomeKind::Failed;
      o.EngineCode = table->GetErrorCode();
      o.EngineText = table->GetErrorText();
      o.Record = table->GetRecNo();
      sink.Abandon();
      return o;
    }
    if (table->IsDeleted() && !options.WithDeleted) continue;
    reader.Read(cells, options.WithDeleted);
    if (!sink.Write(cells)) return failed();
  }
  if (!sink.Finish()) return failed();
  if (options.OnProgress) options.OnProgress(total, total);
  return Outcome{};
}

}  // namespace tabulon
