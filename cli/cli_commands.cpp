#include "cli_commands.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli_output.h"
#include "dbf_check.h"
#include "dbf_header.h"
#include "index_check.h"
#include "index_file.h"
#include "table_indexes.h"
#include "memo_blocks.h"
#include "table_session.h"

namespace tabulon::cli {

namespace {

// Standard output gathered in large pieces: a table of millions of
// records is printed as fast as it is read.
class Output {
 public:
  ~Output() { Flush(); }
  void Put(const std::string& text) {
    buffer_ += text;
    Written();
  }
  // Text appended here directly (no copy of a line), then Written().
  std::string& Buffer() { return buffer_; }
  void Written() {
    if (buffer_.size() >= (1u << 20)) Flush();
  }
  void Flush() {
    if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    buffer_.clear();
    std::fflush(stdout);
  }

 private:
  std::string buffer_;
};

bool ParseRecord(const TableSession& session, const std::string& text, int32_t* record) {
  int64_t n = 0;
  if (!ParseNumber(text, &n) || n < 1 || n > int64_t(session.GetRecordCount())) {
    Complain("no record " + text + " (the table has " + std::to_string(session.GetRecordCount()) + ")");
    return false;
  }
  *record = int32_t(n);
  return true;
}

// A field by its name (either case) or its number.
bool ParseField(const TableSession& session, const std::string& text, int* field) {
  int64_t n = 0;
  *field = ParseNumber(text, &n) && n >= 1 && n <= session.GetFieldCount() ? int(n) : session.FindField(text);
  if (*field == 0) Complain("no field " + text);
  return *field != 0;
}

// The table, then the record and the field its arguments name.
bool LoadRecordField(TableSession& session, const Invocation& run, int32_t* record, int* field) {
  return LoadTable(session, run) && ParseRecord(session, run.Args[1], record) &&
         ParseField(session, run.Args[2], field);
}

std::string LayoutName(MemoLayout layout) {
  switch (layout) {
    case MemoLayout::Dbt3: return "dbt3";
    case MemoLayout::Dbt4: return "dbt4";
    case MemoLayout::Fpt: return "fpt";
  }
  return "";
}

// The memo file's block size, or 0 when it cannot be read.
uint32_t MemoBlockSize(const TableSession& session) {
  auto stream = DbfStream::Open(session.FileSystem().Open(session.GetMemoFileName(), DbfOpenMode::ReadOnly));
  MemoFileHeader header;
  if (!stream || !ReadMemoHeader(*stream, MemoLayoutOfVersion(session.GetVersion()), &header)) return 0;
  return header.BlockSize;
}

std::string HeaderDate(const uint8_t* header) {
  // Years since 1900; some programs write the year of the century instead.
  const DbfHeaderFields h = DecodeDbfHeader(header);
  int year = 1900 + h.Year;
  if (year < 1980) year += 100;
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, h.Month % 100, h.Day % 100);
  return date;
}

std::string CodePageWhy(const TableSession& session, const Invocation& run) {
  if (run.CodePage != 0) return "given on the command line";
  switch (session.GetCodePageReason()) {
    case CodePageReason::TextLetters:
      return session.GetCodePage() == kUtf8CodePage ? "its text, which is UTF-8" : "the Russian letters of its text";
    case CodePageReason::CodePageFile: return "the .cpg file beside it";
    case CodePageReason::Given: return "given";
    case CodePageReason::LanguageDriver: {
      if (DecodeDbfHeader(session.GetHeader()).LanguageDriver == 0 && !session.GetLanguageDriverName().empty())
        return "its language driver " + session.GetLanguageDriverName();
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", DecodeDbfHeader(session.GetHeader()).LanguageDriver);
      return std::string("its language-driver byte ") + byte;
    }
    case CodePageReason::Default: break;
  }
  return "nothing in the table tells; the default";
}

std::string FileName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void PutIndexesJson(std::ostringstream& out, const TableSession& session) {
  out << ",\"indexes\":[";
  bool first = true;
  for (const FoundIndex& index : session.GetIndexes()) {
    out << (first ? "" : ",") << "{\"file\":" << JsonString(index.File)
        << ",\"kind\":" << JsonString(IndexKindName(index.Kind))
        << ",\"structural\":" << (index.Structural ? "true" : "false")
        << ",\"missing\":" << (index.Missing ? "true" : "false");
    if (!index.Missing && !index.Readable) out << ",\"error\":" << JsonString(index.Error);
    out << ",\"tags\":[";
    for (size_t t = 0; t < index.Tags.size(); ++t) {
      const IndexTagInfo& tag = index.Tags[t];
      out << (t ? "," : "") << "{\"name\":" << JsonString(tag.Name) << ",\"key\":" << JsonString(tag.Key)
          << ",\"for\":" << JsonString(tag.ForExpr) << ",\"unique\":" << (tag.Unique ? "true" : "false")
          << ",\"descending\":" << (tag.Descending ? "true" : "false")
          << ",\"key_length\":" << tag.KeyLength << ",\"key_type\":" << JsonString(std::string(1, tag.KeyType))
          << ",\"collation\":" << JsonString(tag.Collation)
          << ",\"maintained\":" << (session.GetTagReason(index, tag).empty() ? "true" : "false")
          << ",\"reason\":" << JsonString(session.GetTagReason(index, tag)) << "}";
    }
    out << "]}";
    first = false;
  }
  out << "]";
}

void PutIndexesText(std::ostringstream& out, const TableSession& session) {
  out << "Indexes:     " << session.GetIndexes().size() << "\n";
  for (const FoundIndex& index : session.GetIndexes()) {
    out << "  " << index.File << " (" << IndexKindName(index.Kind) << (index.Structural ? ", structural" : "")
        << ")";
    if (index.Missing) out << ": announced by the header but missing";
    else if (!index.Readable) out << ": cannot be read: " << index.Error;
    out << "\n";
    for (const IndexTagInfo& tag : index.Tags) {
      out << "    " << tag.Name << "\t" << tag.Key;
      if (!tag.ForExpr.empty()) out << "\tFOR " << tag.ForExpr;
      if (tag.Unique) out << "\tunique";
      if (tag.Descending) out << "\tdescending";
      const std::string reason = session.GetTagReason(index, tag);
      out << "\t" << tag.Collation << (reason.empty() ? "\tmaintained" : "\tnot maintained: " + reason) << "\n";
    }
  }
}

int EditMark(Invocation& run, bool deleted) {
  TableSession session;
  int32_t record = 0;
  if (!LoadTable(session, run) || !ParseRecord(session, run.Args[1], &record)) return 1;
  return Finish(session, session.SetDeleted(record, deleted));
}

}  // namespace

void Complain(const std::string& line) { std::fprintf(stderr, "tabulon-cli: %s\n", line.c_str()); }

// Ends a command with its outcome: 0 when done, 1 (with the reason on
// standard error) otherwise. A done with the engine's word is told too.
int Finish(const TableSession& session, const Outcome& outcome) {
  if (outcome.IsDone()) {
    if (outcome.EngineCode != 0) Complain("warning: " + outcome.EngineText);
    return 0;
  }
  Complain(DescribeOutcome(session, outcome));
  return 1;
}

// Loads the table of the command; false (told) when it cannot be.
bool LoadTable(TableSession& session, const Invocation& run) {
  const Outcome loaded = session.Load(run.Args[0]);
  if (!loaded.IsDone()) {
    Complain(run.Args[0] + ": " + DescribeOutcome(session, loaded));
    return false;
  }
  if (loaded.EngineCode != 0) Complain("warning: " + loaded.EngineText);
  if (run.CodePage != 0) session.SetCodePage(run.CodePage);
  session.SetIndexesMayGoStale(run.Force);
  return true;
}

bool ParseNumber(const std::string& text, int64_t* number) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *number = std::stoll(text);
  return true;
}

int RunInfo(Invocation& run) {
  TableSession session;
  if (!LoadTable(session, run)) return 1;
  const uint8_t version = session.GetVersion();
  const bool memo = !session.GetMemoFileName().empty();
  const MemoLayout layout = MemoLayoutOfVersion(version);
  const int code_page = session.GetCodePage();
  std::ostringstream out;
  if (run.Json) {
    out << "{\"file\":" << JsonString(session.GetFileName()) << ",\"version\":" << int(version)
        << ",\"flavour\":" << JsonString(FlavourName(version, session.IsDbase7())) << ",\"records\":" << session.GetRecordCount()
        << ",\"header_date\":" << JsonString(HeaderDate(session.GetHeader()))
        << ",\"code_page\":" << code_page << ",\"code_page_reason\":" << JsonString(CodePageWhy(session, run))
        << ",\"read_only\":" << (session.IsReadOnly() ? "true" : "false")
        << ",\"warnings\":" << JsonString(LayoutWarnings(session.GetWarnings())) << ",\"fields\":[";
    for (int f = 1; f <= session.GetFieldCount(); ++f) {
      const DbfField& d = session.GetField(f);
      out << (f > 1 ? "," : "") << "{\"name\":" << JsonString(session.GetFieldTitle(f))
          << ",\"type\":" << JsonString(std::string(1, char(d.Type))) << ",\"length\":" << d.Length
          << ",\"decimals\":" << int(d.Decimals) << ",\"flags\":" << int(d.Rest[0]) << "}";
    }
    out << "],\"memo\":";
    if (memo)
      out << "{\"file\":" << JsonString(session.GetMemoFileName()) << ",\"layout\":" << JsonString(LayoutName(layout))
          << ",\"block_size\":" << MemoBlockSize(session) << "}";
    else
      out << "null";
    PutIndexesJson(out, session);
    out << "}\n";
  } else {
    char version_hex[8];
    std::snprintf(version_hex, sizeof version_hex, "0x%02X", version);
    out << "Table:       " << session.GetFileName() << "\n"
        << "Flavour:     " << version_hex << " " << FlavourName(version, session.IsDbase7()) << "\n"
        << "Records:     " << session.GetRecordCount() << "\n"
        << "Last update: " << HeaderDate(session.GetHeader()) << "\n"
        << "Code page:   " << code_page << " (" << CodePageWhy(session, run) << ")\n";
    if (session.IsReadOnly()) out << "Access:      read only\n";
    if (session.GetWarnings() != 0) out << "Warning:     " << LayoutWarnings(session.GetWarnings()) << "\n";
    if (memo)
      out << "Memo file:   " << session.GetMemoFileName() << " (" << LayoutName(layout) << ", blocks of "
          << MemoBlockSize(session) << " bytes)\n";
    else
      out << "Memo file:   none\n";
    out << "Fields:      " << session.GetFieldCount() << "\n";
    for (int f = 1; f <= session.GetFieldCount(); ++f) {
      const DbfField& d = session.GetField(f);
      out << "  " << session.GetFieldTitle(f) << "\t" << char(d.Type) << "\t" << d.Length << "\t"
          << int(d.Decimals);
      if (d.Rest[0] != 0) out << "\tflags " << int(d.Rest[0]);
      out << "\n";
    }
    PutIndexesText(out, session);
  }
  std::fputs(out.str().c_str(), stdout);
  return 0;
}

// Every tag of the table's index files walked against its records, read
// through a table opened for reading only; true when all agree.
bool CheckIndexes(const std::string& path, const std::string& memo, DbfFileSystem& fs, Output& out) {
  std::unique_ptr<DbfTable> table = NewDbfTable(path, memo, false, &fs);
  table->SetReadingOnly(true);
  table->SetActive(true);
  if (!table->IsActive()) return true;  // the table's own check told why
  std::vector<DbfField> fields;
  for (int f = 1; f <= table->GetFieldCount(); ++f) fields.push_back(table->GetField(f));
  bool agree = true;
  for (const FoundIndex& found : FindTableIndexes(path, table->GetHeader(), fields, fs)) {
    if (found.Missing || !found.Readable) {
      out.Put(found.File + ": " + (found.Missing ? "announced by the table, missing" : found.Error) + "\n");
      agree = false;
      continue;
    }
    std::string error;
    std::unique_ptr<IndexFile> index = OpenIndexFile(found.File, found.Kind, fs, KeyFieldsOf(fields), &error);
    if (!index) {
      out.Put(found.File + ": " + error + "\n");
      agree = false;
      continue;
    }
    for (size_t tag = 0; tag < index->GetTags().size(); ++tag) {
      for (const IndexTagProblem& p : CheckIndexTag(*index, tag, *table)) {
        out.Put(found.File + " " + index->GetTags()[tag].Name + ": " +
                (p.Record > 0 ? "record " + std::to_string(p.Record) + ": " : std::string()) + p.Text + "\n");
        agree = false;
      }
    }
  }
  return agree;
}

int RunCheck(Invocation& run) {
  TableSession session;
  // The memo file is chosen as a load chooses it, without opening anything
  // for writing: a check never changes a byte.
  const std::string memo = ChooseMemoFile(run.Args[0], session.FileSystem());
  const std::vector<DbfProblem> problems = CheckTableFiles(run.Args[0], memo, session.FileSystem());
  Output out;
  for (const DbfProblem& p : problems)
    out.Put((p.Record > 0 ? "record " + std::to_string(p.Record) + ": " : std::string()) + p.Text + "\n");
  const bool indexes_agree = CheckIndexes(run.Args[0], memo, session.FileSystem(), out);
  return problems.empty() && indexes_agree ? 0 : 1;
}

int RunShow(Invocation& run) {
  TableSession session;
  if (!LoadTable(session, run)) return 1;
  Output out;
  std::string line = "#";
  for (int f = 1; f <= session.GetFieldCount(); ++f) line += "\t" + EscapeValue(session.GetFieldTitle(f));
  out.Put(line + "\n");
  const int64_t first = std::max<int64_t>(run.From, 1);
  const int64_t last = run.Count < 0 ? int64_t(session.GetRecordCount()) : first + run.Count - 1;
  if (last < first) return 0;
  const Outcome shown = session.EachShownRecord(
      int32_t(std::min<int64_t>(first, INT32_MAX)), int32_t(std::min<int64_t>(last, INT32_MAX)),
      [&](int32_t record, const ShownRecord& r) {
        std::string& text = out.Buffer();
        text += std::to_string(record);
        if (r.Deleted) text += '*';
        for (const std::string& value : r.Texts) {
          text += '\t';
          AppendEscaped(text, value);
        }
        text += '\n';
        out.Written();
        return true;
      });
  return Finish(session, shown);
}

int RunSet(Invocation& run) {
  TableSession session;
  int32_t record = 0;
  int field = 0;
  if (!LoadRecordField(session, run, &record, &field)) return 1;
  Outcome o = session.EditCell(record, field, run.Args[3]);
  if (o.Record == 0) o.Record = record;
  if (o.Field == 0) o.Field = field;
  return Finish(session, o);
}

int RunAppend(Invocation& run) {
  TableSession session;
  if (!LoadTable(session, run)) return 1;
  // Every FIELD=VALUE is understood before anything is written.
  std::vector<std::pair<int, std::string>> values;
  for (size_t i = 1; i < run.Args.size(); ++i) {
    const size_t eq = run.Args[i].find('=');
    if (eq == std::string::npos) {
      Complain("'" + run.Args[i] + "' is not FIELD=VALUE");
      return 2;
    }
    int field = 0;
    if (!ParseField(session, run.Args[i].substr(0, eq), &field)) return 1;
    values.emplace_back(field, run.Args[i].substr(eq + 1));
  }
  int32_t record = 0;
  Outcome o = session.AppendRecord(&record);
  for (size_t i = 0; i < values.size() && o.IsDone(); ++i) {
    o = session.EditCell(record, values[i].first, values[i].second);
    if (o.Field == 0) o.Field = values[i].first;
    o.Record = record;
    // A value refused takes the new record out again: no half-filled record stays.
    if (!o.IsDone()) session.RemoveRecord(record);
  }
  if (o.IsDone()) std::printf("%d\n", int(record));
  return Finish(session, o);
}

int RunDelete(Invocation& run) { return EditMark(run, true); }
int RunUndelete(Invocation& run) { return EditMark(run, false); }

int RunRemove(Invocation& run) {
  TableSession session;
  int32_t record = 0;
  if (!LoadTable(session, run) || !ParseRecord(session, run.Args[1], &record)) return 1;
  return Finish(session, session.RemoveRecord(record));
}

int RunPack(Invocation& run) {
  TableSession session;
  if (!LoadTable(session, run)) return 1;
  const uint32_t before = session.GetRecordCount();
  std::vector<DbfBrokenMemo> cleared;
  const Outcome o = session.Pack(run.DropBrokenMemos, &cleared);
  for (const DbfBrokenMemo& m : cleared)
    Complain("record " + std::to_string(m.Record) + ", field " + m.Field + ": memo block " +
             std::to_string(m.Block) + " " + DbfMemoFaultText(m.Fault) + "; reference cleared");
  if (o.IsDone())
    std::printf("%u records kept, %u dropped\n", session.GetRecordCount(), before - session.GetRecordCount());
  return Finish(session, o);
}

int RunMemo(Invocation& run) {
  TableSession session;
  int32_t record = 0;
  int field = 0;
  if (!LoadRecordField(session, run, &record, &field)) return 1;
  if (session.GetFieldType(field) != DbfFieldType::Memo) {
    Complain("field " + session.GetFieldTitle(field) + " is not a memo field");
    return 1;
  }
  if (run.Args.size() == 3) {
    std::string text;
    Outcome o = session.ReadMemoText(record, field, text);
    if (o.IsDone()) std::fwrite(text.data(), 1, text.size(), stdout);
    return Finish(session, o);
  }
  std::string text;
  if (run.Args[3] == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    std::ifstream in(run.Args[3], std::ios::binary);
    if (!in) {
      Complain("cannot read " + run.Args[3]);
      return 1;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  Outcome o = session.WriteMemo(record, field, text);
  o.Record = record;
  o.Field = field;
  return Finish(session, o);
}

}  // namespace tabulon::cli

namespace tabulon::cli {

int RunWalk(Invocation& run) {
  TableSession session;
  if (!LoadTable(session, run)) return 1;
  // A found index by its path or its name; otherwise any path of an index.
  const std::string& wanted = run.Args[1];
  std::string path = wanted;
  for (const FoundIndex& index : session.GetIndexes()) {
    if (!index.Missing && (index.File == wanted || FileName(index.File) == FileName(wanted))) path = index.File;
  }
  IndexKind kind;
  if (!IndexKindOfName(path, &kind)) {
    Complain(wanted + " is not an index file (.cdx, .idx, .ntx, .ndx or .mdx)");
    return 1;
  }
  std::vector<DbfField> fields;
  for (int f = 1; f <= session.GetFieldCount(); ++f) fields.push_back(session.GetField(f));
  std::string error;
  std::unique_ptr<IndexFile> file = OpenIndexFile(path, kind, session.FileSystem(), KeyFieldsOf(fields), &error);
  if (!file) {
    Complain(error);
    return 1;
  }
  const int tag = run.Args.size() > 2 ? file->FindTag(run.Args[2]) : (file->GetTags().empty() ? -1 : 0);
  if (tag < 0) {
    Complain(run.Args.size() > 2 ? "no tag " + run.Args[2] + " in " + path : path + " has no tags");
    return 1;
  }
  Output out;
  const bool whole = file->Walk(size_t(tag), [&](const IndexEntry& entry) {
    out.Buffer() += std::to_string(entry.Record);
    out.Buffer() += '\n';
    out.Written();
    return true;
  });
  out.Flush();
  if (!whole) Complain(file->GetErrorText());
  return whole ? 0 : 1;
}

int RunSetFlag(Invocation& run) {
  if (!run.NoStructuralIndex) {
    Complain("set-flag needs --no-structural-index");
    return 2;
  }
  TableSession session;
  if (!LoadTable(session, run)) return 1;
  return Finish(session, session.ClearStructuralIndexFlag());
}

int RunReindex(Invocation& run) {
  TableSession session;
  if (!LoadTable(session, run)) return 1;
  std::string path;
  if (run.Args.size() > 1) {
    path = run.Args[1];
    for (const FoundIndex& index : session.GetIndexes())
      if (!index.Missing && FileName(index.File) == FileName(path)) path = index.File;
  }
  return Finish(session, session.Reindex(path));
}

}  // namespace tabulon::cli
