// CSV import: the fields a new table needs, every line checked against
// the table, then written in one open through the engine.
#include "csv_import.h"

#include <algorithm>

#include "table_export.h"
#include "text.h"

namespace tabulon {

namespace {

constexpr int kMaxNumberWidth = 20;
constexpr uint64_t kProgressEvery = 4096;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsLogicValue(const std::string& v) { return v.size() == 1 && IsLogicText(v); }

// YYYY-MM-DD of a real date, as the table stores it (YYYYMMDD).
bool IsoDate(const std::string& v, std::string* stored) {
  if (v.size() != 10 || v[4] != '-' || v[7] != '-') return false;
  const std::string digits = v.substr(0, 4) + v.substr(5, 2) + v.substr(8, 2);
  if (!IsDateText(digits) || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  *stored = digits;
  return true;
}

// The typed form of a value for a field: ISO dates and times as the
// table view shows them; everything else as it comes.
std::string TypedForm(const std::string& value, DbfValueLayout layout) {
  std::string date;
  if (layout == DbfValueLayout::Date && IsoDate(value, &date)) return date;
  if ((layout == DbfValueLayout::DateTime || layout == DbfValueLayout::Timestamp) && value.size() == 19 &&
      value[10] == ' ' && IsoDate(value.substr(0, 10), &date))
    return date.substr(6, 2) + "." + date.substr(4, 2) + "." + date.substr(0, 4) + value.substr(10);
  return value;
}

// What the values of one column allow, as they are read.
struct ColumnEvidence {
  bool Logic = true, Date = true, Number = true;
  int Whole = 1;  // characters before the point, sign included
  int Decimals = 0;
  size_t Bytes = 0;  // the longest value in the table's code page
  bool Lines = false;  // tabs or line breaks: a memo's, never a Character field's

  void Add(const std::string& v) {
    if (v.empty()) return;
    Logic = Logic && IsLogicValue(v);
    std::string date;
    Date = Date && IsoDate(v, &date);
    Bytes = std::max(Bytes, Utf8ToAnsi(v).size());
    for (char c : v) Lines = Lines || uint8_t(c) < 0x20;
    if (!Number) return;
    size_t i = v[0] == '-' ? 1 : 0;
    const size_t digits = i;
    while (i < v.size() && IsDigit(v[i])) ++i;
    const size_t whole = i - digits;
    // A leading zero ("007") is a code, whose zeros a number would lose.
    const bool zeros = whole > 1 && v[digits] == '0';
    size_t fraction = 0;
    if (i < v.size() && v[i] == '.') {
      const size_t point = ++i;
      while (i < v.size() && IsDigit(v[i])) ++i;
      fraction = i - point;
      if (fraction == 0) i = 0;  // "5." is no number a table keeps as typed
    }
    Number = i == v.size() && whole > 0 && !zeros && int(v.size()) <= kMaxNumberWidth;
    Whole = std::max(Whole, int(digits + whole));
    Decimals = std::max(Decimals, int(fraction));
  }

  NewFieldRow Row(const std::string& name) const {
    NewFieldRow row;
    row.Name = name;
    row.Type = NewFieldType::Other;
    if (Bytes == 0) {
      row.Type = NewFieldType::Text;
      row.Size = "1";
    } else if (Logic) {
      row.OtherType = "L";
      row.Size = "1";
    } else if (Date) {
      row.OtherType = "D";
      row.Size = "8";
    } else if (Number && Whole + (Decimals > 0 ? Decimals + 1 : 0) <= kMaxNumberWidth) {
      row.OtherType = "N";
      row.Size = std::to_string(Whole + (Decimals > 0 ? Decimals + 1 : 0)) + "," + std::to_string(Decimals);
    } else if (Bytes <= size_t(kMaxTextFieldSize) && !Lines) {
      row.Type = NewFieldType::Text;
      row.Size = std::to_string(Bytes);
    } else {
      row.Type = NewFieldType::Memo;
    }
    return row;
  }
};

// A field name of a column title: capitals, digits and '_' (Cyrillic
// letters kept), at most 10 bytes, unique.
std::string FieldNameOf(const std::string& title, std::vector<std::string>& taken) {
  std::string name;
  for (char c : UpperAnsi(Utf8ToAnsi(title))) {
    const uint8_t u = uint8_t(c);
    if (IsDigit(c) || (c >= 'A' && c <= 'Z') || c == '_' || u >= 0xC0 || u == 0xA8) name += c;
  }
  if (name.empty() || IsDigit(name[0])) name = "F" + name;
  name.resize(std::min<size_t>(name.size(), 10));
  const std::string base = name;
  for (int n = 2; std::find(taken.begin(), taken.end(), name) != taken.end(); ++n) {
    const std::string suffix = std::to_string(n);
    name = base.substr(0, 10 - suffix.size()) + suffix;
  }
  taken.push_back(name);
  return AnsiToUtf8(name);
}

bool IsBlankLine(const std::vector<std::string>& values) { return values.size() == 1 && values[0].empty(); }

// The passes over the file share their progress: each reads it whole.
class Passes {
 public:
  Passes(const ImportOptions& options, int passes) : options_(options), passes_(passes) {}
  // false: cancelled.
  bool Tell(const CsvReader& reader, uint64_t line) {
    if (!options_.OnProgress || line % kProgressEvery != 0) return true;
    const uint64_t size = std::max<uint64_t>(reader.GetSize(), 1);
    return options_.OnProgress(uint64_t(pass_) * size + reader.GetPosition(), uint64_t(passes_) * size);
  }
  void Next() { ++pass_; }

 private:
  const ImportOptions& options_;
  int passes_;
  int pass_ = 0;
};

Outcome CannotRead(const std::string& csv) {
  Outcome o = Refused(Refusal::CannotRead);
  o.Detail = csv;
  return o;
}

Outcome CannotWriteOutcome(const std::string& table) {
  Outcome o = Refused(Refusal::CannotWrite);
  o.Detail = table;
  return o;
}

Outcome PlanWithReader(CsvReader& reader, const std::string& csv, const ImportOptions& options, Passes& passes,
                       ImportPlan* plan) {
  *plan = ImportPlan{};
  std::vector<std::string> values;
  if (!reader.Open()) return CannotRead(csv);
  if (!reader.Next(values) || IsBlankLine(values)) return reader.IsFailed() ? CannotRead(csv) : Refused(Refusal::NoColumns);
  const std::vector<std::string> titles = values;
  std::vector<ColumnEvidence> columns(titles.size());
  while (reader.Next(values)) {
    if (IsBlankLine(values)) continue;
    if (!passes.Tell(reader, ++plan->Rows)) return Refused(Refusal::Cancelled);
    // A line of another length is refused when it is checked.
    if (values.size() != titles.size()) continue;
    for (size_t c = 0; c < values.size(); ++c) columns[c].Add(values[c]);
  }
  if (reader.IsFailed()) return CannotRead(csv);
  plan->Separator = reader.GetSeparator();
  std::vector<NewFieldRow> rows;
  std::vector<std::string> taken;
  for (size_t c = 0; c < titles.size(); ++c) {
    if (titles[c] == kDeletedColumn) continue;
    rows.push_back(columns[c].Row(FieldNameOf(titles[c], taken)));
  }
  return TableSession().CheckNewTable(rows, options.Oem, &plan->Definition);
}

// A column's field (0: none, -1: the deletion mark).
Outcome MatchColumns(const TableSession& session, const std::vector<std::string>& titles, std::vector<int>* fields) {
  fields->clear();
  for (const std::string& title : titles) {
    int f = session.FindField(title);
    if (f == 0 && title == kDeletedColumn) f = -1;
    if (f == 0) {
      Outcome o = Refused(Refusal::UnknownColumn);
      o.Detail = title;
      return o;
    }
    fields->push_back(f);
  }
  return Outcome{};
}

// One line's values as the table stores them; Done, or why not.
Outcome CheckLine(const TableSession& session, const std::vector<int>& fields, const std::vector<std::string>& values,
                  std::vector<std::string>& stored, bool* deleted) {
  if (values.size() != fields.size()) {
    Outcome o = Refused(Refusal::ValueCount);
    o.Size = int64_t(values.size());
    o.Limit = int64_t(fields.size());
    return o;
  }
  stored.resize(values.size());
  *deleted = false;
  for (size_t c = 0; c < values.size(); ++c) {
    if (fields[c] < 0) {
      const std::string v = TrimBlanks(values[c]);
      *deleted = v == "T" || v == "t" || v == "1" || v == "true";
      continue;
    }
    const Outcome o =
        session.CheckTypedValue(fields[c], TypedForm(values[c], session.GetValueLayout(fields[c])), &stored[c]);
    if (!o.IsDone()) return o;
  }
  return Outcome{};
}

Outcome EngineFailure(DbfTable& table) {
  Outcome o;
  o.Kind = OutcomeKind::Failed;
  o.EngineCode = table.GetErrorCode();
  o.EngineText = table.GetErrorText();
  return o;
}

// Appends one checked line.
void AppendLine(DbfTable& table, const TableSession& session, const std::vector<int>& fields,
                const std::vector<std::string>& stored, bool deleted) {
  table.AppendBlank();
  for (size_t c = 0; c < fields.size(); ++c) {
    if (fields[c] < 0 || stored[c].empty()) continue;
    if (session.GetFieldType(fields[c]) == DbfFieldType::Memo) table.WriteMemo(fields[c], stored[c]);
    else table.PutFieldByNumber(fields[c], stored[c]);
  }
  if (deleted) table.SetDeleted(true);
  table.PostRecord();
}

// Reads the lines after the header: checks each (when check) and appends
// it (when table is given) until a line is refused; then only checks.
// *refused counts the lines refused.
Outcome RunLines(const TableSession& session, CsvReader& reader, const std::vector<int>& fields,
                 const ImportOptions& options, Passes& passes, DbfTable* table, bool check, uint64_t* rows,
                 int64_t* refused) {
  std::vector<std::string> values, stored;
  bool deleted = false;
  *rows = 0;
  while (reader.Next(values)) {
    if (IsBlankLine(values)) continue;
    if (!passes.Tell(reader, ++*rows)) return Refused(Refusal::Cancelled);
    Outcome o = reader.IsUnclosed() ? Refused(Refusal::UnclosedQuote) : CheckLine(session, fields, values, stored, &deleted);
    if (check && !o.IsDone()) {
      ++*refused;
      o.Row = int(reader.GetLine());
      if (options.OnRowRefused) options.OnRowRefused(o);
    }
    if (table && *refused == 0) {
      AppendLine(*table, session, fields, stored, deleted);
      if (table->GetErrorCode() != 0) return EngineFailure(*table);
    }
  }
  return reader.IsFailed() ? CannotRead(reader.GetPath()) : Outcome{};
}

// Every line checked and appended in one open of the table, under every
// lock of the table. Unless scratch (a table no one else knows, dropped
// when a line is refused), all lines are checked before the first is
// appended.
Outcome CheckAndAppend(TableSession& session, CsvReader& reader, const ImportOptions& options, Passes& passes,
                       bool scratch, uint64_t* rows) {
  *rows = 0;
  std::vector<std::string> titles;
  std::vector<int> fields;
  if (!reader.Open()) return CannotRead(reader.GetPath());
  if (!reader.Next(titles) || IsBlankLine(titles))
    return reader.IsFailed() ? CannotRead(reader.GetPath()) : Refused(Refusal::NoColumns);
  Outcome matched = MatchColumns(session, titles, &fields);
  if (!matched.IsDone()) return matched;
  int64_t refused = 0;
  if (!scratch || options.DryRun) {
    Outcome checked = RunLines(session, reader, fields, options, passes, nullptr, true, rows, &refused);
    if (!checked.IsDone()) return checked;
    if (options.DryRun && refused == 0) return Outcome{};
    passes.Next();
    if (!reader.Open() || !reader.Next(titles)) return CannotRead(reader.GetPath());
  }
  Outcome o;
  // Every kept index tag follows the appended lines, under the table's
  // journal; the keeper outlives the table's writes.
  std::unique_ptr<IndexKeeper> keeper;
  auto table = NewDbfTable(session.GetFileName(), session.GetMemoFileName(), false, &session.FileSystem());
  if (refused == 0) {
    table->SetActive(true);
    if (!table->IsActive()) return EngineFailure(*table);
    // An empty table's open finds no first record: no failure.
    table->ClearError();
    if (table->IsReadOnly()) o = Refused(Refusal::ReadOnly);
    else if (!table->LockTable()) o = Refused(Refusal::Locked);
    if (o.IsDone()) o = session.FollowIndexesOf(*table, &keeper);
    if (o.IsDone()) o = RunLines(session, reader, fields, options, passes, table.get(), scratch, rows, &refused);
    if (o.IsDone() && !table->FlushWrites()) o = EngineFailure(*table);
    table->SetActive(false);
    if (o.IsDone() && table->GetErrorCode() != 0) o = EngineFailure(*table);
    session.Reload();
  }
  if (o.IsDone() && refused > 0) {
    o = Refused(Refusal::RowsRefused);
    o.Size = refused;
  }
  return o;
}

}  // namespace

Outcome PlanCsvTable(DbfFileSystem& fs, const std::string& csv, const ImportOptions& options, ImportPlan* plan) {
  CsvReader reader(fs, csv, options.Encoding, options.Separator, options.CodePage);
  Passes passes(options, 1);
  return PlanWithReader(reader, csv, options, passes, plan);
}

Outcome ImportCsvToNewTable(TableSession& session, const std::string& csv, const std::string& table,
                            const ImportOptions& options, ImportPlan* plan) {
  DbfFileSystem& fs = session.FileSystem();
  if (fs.Exists(table)) {
    Outcome o = Refused(Refusal::TableExists);
    o.Detail = table;
    return o;
  }
  CsvReader reader(fs, csv, options.Encoding, options.Separator, options.CodePage);
  Passes passes(options, 2);
  Outcome planned = PlanWithReader(reader, csv, options, passes, plan);
  if (!planned.IsDone()) return planned;
  passes.Next();
  // Built beside, under a name no one looks for, and renamed when whole.
  const std::string part = table + ".part.dbf";
  std::string memo;
  Outcome created = session.CreateTable(part, plan->Definition, &memo);
  if (!created.IsDone()) return created;
  auto remove = [&] {
    fs.Remove(part);
    if (!memo.empty()) fs.Remove(memo);
  };
  Outcome o = session.Load(part, memo);
  session.SetShownOem(options.Oem);
  uint64_t rows = 0;
  if (o.IsDone()) o = CheckAndAppend(session, reader, options, passes, true, &rows);
  if (!o.IsDone() || options.DryRun) {
    remove();
    return o;
  }
  const std::string memo_target = memo.empty() ? std::string() : DbtFileNameFor(table);
  if (!memo.empty() && !fs.Rename(memo, memo_target)) {
    remove();
    return CannotWriteOutcome(table);
  }
  if (!fs.Rename(part, table)) {
    remove();
    if (!memo_target.empty()) fs.Remove(memo_target);
    return CannotWriteOutcome(table);
  }
  fs.FlushFolder(table);
  return session.Load(table, memo_target);
}

Outcome AppendCsv(TableSession& session, const std::string& csv, const ImportOptions& options, uint64_t* rows) {
  if (!session.IsLoaded()) return Refused(Refusal::NoTable);
  CsvReader reader(session.FileSystem(), csv, options.Encoding, options.Separator, options.CodePage);
  Passes passes(options, 2);
  return CheckAndAppend(session, reader, options, passes, false, rows);
}

}  // namespace tabulon
