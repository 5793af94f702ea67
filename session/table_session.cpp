// Loading a table into a session: its memo file, its structure, the code
// page its text is shown in, and how its files looked to the user.
#include "table_session.h"

#include "write_journal.h"

#include <algorithm>
#include <cstring>

#include "text.h"

namespace tabulon {

namespace {

// The records, and the start of each memo text, whose Russian letters tell
// a table's code page: enough for a verdict, little next to a load.
constexpr uint32_t kCodePageSampleRecords = 300;
constexpr size_t kCodePageSampleMemo = 4096;

}  // namespace

TableSession::TableSession(DbfFileSystem* fs)
    : fs_(fs ? *fs : PlatformFileSystem()),
      table_(NewDbfTable("", "", true, &fs_)),
      view_table_(NewDbfTable("", "", false, &fs_)) {
  view_table_->SetReadingOnly(true);
}

TableSession::~TableSession() {
  if (table_->IsActive()) table_->SetActive(false);
}

DbfFieldType TableSession::GetFieldType(int field) const {
  switch (GetField(field).Type) {
    case 'C': return DbfFieldType::Char;
    case 'D': return DbfFieldType::Date;
    case 'N': return DbfFieldType::Number;
    case 'L': return DbfFieldType::Logic;
    case 'M': return DbfFieldType::Memo;
    default: return DbfFieldType::Other;
  }
}

DbfValueLayout TableSession::GetValueLayout(int field) const {
  const DbfField& f = GetField(field);
  return ValueLayoutOf(f.Type, f.Length, GetVersion());
}

std::string TableSession::GetFieldName(int field) const {
  const DbfField& f = GetField(field);
  return std::string(reinterpret_cast<const char*>(f.Name),
                     strnlen(reinterpret_cast<const char*>(f.Name), sizeof f.Name));
}

std::string TableSession::GetFieldTitle(int field) const {
  return DecodeText(code_page_, GetFieldName(field));
}

int TableSession::FindField(const std::string& name) const {
  const std::string wanted = LowerUtf8(name);
  for (int f = 1; f <= GetFieldCount(); ++f) {
    // As shown, or as stored (read as 1251 or 866), whatever the page shown.
    const std::string stored = GetFieldName(f);
    for (int page : {code_page_, kWindowsRussianCodePage, kDosRussianCodePage})
      if (LowerUtf8(DecodeText(page, stored)) == wanted) return f;
  }
  return 0;
}

bool TableSession::SetShownOem(bool oem) {
  if (oem == IsShownOem()) return true;
  if (twin_ == 0) return false;
  std::swap(code_page_, twin_);
  return true;
}

bool TableSession::SetCodePage(int code_page) {
  if (!IsKnownCodePage(code_page)) return false;
  code_page_ = code_page;
  twin_ = CodePageTwin(code_page);
  code_page_reason_ = CodePageReason::Given;
  return true;
}

int TableSession::CodePageOfCpgFile() const {
  // Beside X.dbf: X.cpg, or X.CPG as DOS-minded programs name it.
  const size_t dot = file_name_.find_last_of("./\\");
  const std::string base =
      dot != std::string::npos && file_name_[dot] == '.' ? file_name_.substr(0, dot) : file_name_;
  for (const char* extension : {".cpg", ".CPG"}) {
    auto file = fs_.Open(base + extension, DbfOpenMode::ReadOnly);
    if (!file) continue;
    char text[64] = {};
    size_t got = 0;
    if (!file->Read(text, sizeof text - 1, &got)) return 0;
    return CodePageOfName(std::string(text, got));
  }
  return 0;
}

Outcome TableSession::Load(const std::string& path) {
  // Chosen afresh for every table, so no table ever gets another's memo file.
  return Load(path, ChooseMemoFile(path, fs_));
}

Outcome TableSession::Load(const std::string& path, const std::string& memo_file) {
  file_name_ = path;
  memo_file_name_ = memo_file;
  table_->SetFileNames(file_name_, memo_file_name_);
  loaded_ = false;
  shown_.clear();
  indexes_.clear();
  Outcome opened = OpenTable();
  if (opened.Kind != OutcomeKind::Done) return opened;
  SuggestCodePage();
  CloseTable();
  FindIndexes();
  return opened;
}

Outcome TableSession::Reload() {
  Outcome opened = OpenTable();
  if (opened.Kind != OutcomeKind::Done) return opened;
  CloseTable();
  FindIndexes();
  return opened;
}

void TableSession::FindIndexes() {
  indexes_ = FindTableIndexes(file_name_, header_, fields_, fs_);
  JudgeTableIndexes(file_name_, indexes_, fields_, header_, fs_);
}

namespace {

bool GoesStale(const FoundIndex& index) {
  if (index.Missing) return false;
  if (!index.Readable) return true;
  for (size_t t = 0; t < index.Tags.size(); ++t)
    if (!index.IsMaintained(t)) return true;
  return false;
}

}  // namespace

bool TableSession::HasIndexesThatGoStale() const {
  for (const FoundIndex& index : indexes_)
    if (GoesStale(index)) return true;
  return false;
}

std::unique_ptr<IndexKeeper> TableSession::NewIndexKeeper() const {
  auto keeper = std::make_unique<IndexKeeper>(fs_);
  const IndexTableShape shape = IndexTableShapeOfHeader(fields_, header_);
  for (const FoundIndex& index : indexes_) {
    const std::vector<size_t> kept = index.GetMaintainedTags();
    // A file that cannot be kept now goes stale under the user's word;
    // else the writes are refused.
    if (!kept.empty() && index.Readable && !keeper->AddFile(index.File, index.Kind, kept, shape) &&
        !indexes_may_go_stale_)
      keeper->RefuseFile(index.File, index.Kind, kept);
  }
  if (keeper->IsEmpty()) keeper.reset();
  return keeper;
}

// With the table open for writing: every kept tag follows its writes.
void TableSession::FollowWithIndexes() {
  table_->SetRecordFollower(nullptr);
  keeper_.reset();
  if (table_->IsReadOnly() || reading_only_chosen_) return;
  keeper_ = NewIndexKeeper();
  if (keeper_) table_->SetRecordFollower(keeper_.get());
}

Outcome TableSession::FollowIndexesOf(DbfTable& table, std::unique_ptr<IndexKeeper>* keeper) const {
  Outcome stale = RefuseStaleIndexes();
  if (!stale.IsDone()) return stale;
  *keeper = NewIndexKeeper();
  table.SetRecordFollower(keeper->get());
  return stale;
}

// A pack or removal cut off before its index files were built anew: they
// are built now, from the table as its recovery left it.
Outcome TableSession::FinishRebuild() {
  if (table_->GetPendingRebuild().empty()) return Outcome{};
  if (indexes_.empty()) FindIndexes();
  Outcome o;
  for (const std::string& path : table_->GetPendingRebuild()) {
    for (const FoundIndex& index : indexes_) {
      if (index.File != path || !index.Readable) continue;
      std::string why;
      if (!RebuildIndexFile(*table_, path, index.Kind, index.GetMaintainedTags(), fs_, &why)) {
        o.Kind = OutcomeKind::Failed;
        o.EngineCode = DbfWriteIndexError;
        o.EngineText = DbfErrorMessage(DbfWriteIndexError) + std::string(" ") + path + ": " + why;
        return o;
      }
    }
  }
  if (!RemoveWriteJournal(fs_, file_name_)) {
    o.Kind = OutcomeKind::Failed;
    o.EngineCode = DbfNoWriteAccess;
    o.EngineText = DbfErrorMessage(DbfNoWriteAccess) + std::string(" ") + WriteJournalName(file_name_);
  }
  return o;
}

// The same file under either spelling: by identity where the file
// system gives one, else by name without case.
bool TableSession::IsSameIndexFile(const std::string& a, const std::string& b) {
  DbfFileIdentity first, second;
  if (fs_.GetIdentity(a, &first) && fs_.GetIdentity(b, &second)) return first == second;
  return a == b;
}

Outcome TableSession::Reindex(const std::string& index_file) {
  Outcome opened = OpenTable();
  if (!opened.IsDone()) return opened;
  Outcome o = RefuseWhenReadOnly();
  bool named = index_file.empty();
  // No other program writes the table while its indexes are built, and no
  // handle of the keeper's holds a file being replaced.
  if (o.IsDone() && !table_->LockTable()) o = EngineOutcome();
  table_->SetRecordFollower(nullptr);
  keeper_.reset();
  for (const FoundIndex& index : indexes_) {
    if (!o.IsDone()) break;
    if (index.Missing || (!index_file.empty() && !IsSameIndexFile(index.File, index_file))) continue;
    // Unnamed, a file with no kept tag is not the table's to lay out anew.
    if (index_file.empty() && index.GetMaintainedTags().empty()) continue;
    named = true;
    std::string why;
    if (!index.Readable) why = index.Error;
    else if (RebuildIndexFile(*table_, index.File, index.Kind, index.GetMaintainedTags(), fs_, &why)) continue;
    o.Kind = OutcomeKind::Failed;
    o.EngineCode = DbfWriteIndexError;
    o.EngineText = DbfErrorMessage(DbfWriteIndexError) + std::string(" ") + index.File + ": " + why;
  }
  table_->UnlockTable();
  CloseTable();
  if (o.IsDone() && !named) {
    o = Refused(Refusal::NoSuchIndex);
    o.Detail = index_file;
  }
  return o;
}

Outcome TableSession::RefuseStaleIndexes() const {
  if (indexes_may_go_stale_ || !HasIndexesThatGoStale()) return Outcome{};
  Outcome o = Refused(Refusal::StaleIndexes);
  for (const FoundIndex& index : indexes_)
    if (GoesStale(index) && o.Detail.empty()) o.Detail = index.File;
  return o;
}

Outcome TableSession::ClearStructuralIndexFlag() {
  if (!loaded_) return Refused(Refusal::NoTable);
  if (IsReadOnly()) return Refused(Refusal::ReadOnly);
  if (!ClearStructuralIndexFlagOf(file_name_, fs_)) {
    Outcome o;
    o.Kind = OutcomeKind::Failed;
    o.EngineCode = DbfNoWriteAccess;
    o.EngineText = DbfErrorMessage(DbfNoWriteAccess) + std::string(" ") + file_name_;
    return o;
  }
  return Reload();
}

Outcome TableSession::OpenTable() {
  if (file_name_.empty()) return Refused(Refusal::NoTable);
  ClearEngineError();
  // No handle of an earlier keeper's (a pack that closed the table) may
  // hold an index file the open puts back or builds anew.
  if (!table_->IsActive()) {
    table_->SetRecordFollower(nullptr);
    keeper_.reset();
  }
  // Opening also finishes or undoes a pass that was cut off.
  table_->SetActive(true);
  if (!table_->IsActive()) {
    // Nothing of the table is shown any more, but it stays chosen.
    loaded_ = false;
    fields_.clear();
    record_count_ = 0;
    std::memset(header_, 0, sizeof header_);
    seen_ = TableSnapshot{};
    shown_.clear();
    return EngineOutcome();
  }
  loaded_ = true;
  ReadStructure();
  Outcome rebuilt = FinishRebuild();
  if (!rebuilt.IsDone()) {
    table_->SetActive(false);
    return rebuilt;
  }
  FollowWithIndexes();
  // A journal found beside the table and set aside: the table opened as it
  // is, and the user hears where the journal went.
  Outcome done;
  if (table_->GetErrorCode() == DbfPackJournalSetAside) {
    done.EngineCode = table_->GetErrorCode();
    done.EngineText = table_->GetErrorText();
    ClearEngineError();
  }
  return done;
}

void TableSession::CloseTable() {
  const bool was_open = table_->IsActive();
  if (was_open) table_->SetActive(false);
  table_->SetRecordFollower(nullptr);
  keeper_.reset();
  ReadStructure();
  // The header the table just wrote is the file's: no open needed.
  seen_ = was_open ? SnapshotWithHeader(table_->GetHeader(), *table_, fs_) : TakeSnapshot(*table_, fs_);
}

void TableSession::ReadStructure() {
  std::memcpy(header_, table_->GetHeader(), sizeof header_);
  record_count_ = table_->RecordCount();
  fields_.clear();
  for (int f = 1; f <= table_->GetFieldCount(); ++f) fields_.push_back(table_->GetField(f));
  if (table_->IsActive()) {
    memo_kind_ = table_->GetMemoKind();
    read_only_ = table_->IsReadOnly();
    warnings_ = table_->GetLayoutWarnings();
    dbase7_ = table_->IsDbase7();
    driver_name_ = table_->GetLanguageDriverName();
  }
}

void TableSession::SuggestCodePage() {
  CyrillicEvidence evidence;
  Utf8Evidence utf8;
  DbfTable& t = *table_;
  const uint32_t records = std::min(t.RecordCount(), kCodePageSampleRecords);
  const bool memos = t.GetMemoKind() != MemoKind::None;
  std::string text;
  for (uint32_t r = 1; r <= records; ++r) {
    t.GoTo(int32_t(r));
    if (!t.BufferHoldsRecord()) continue;
    for (int f = 1; f <= t.GetFieldCount(); ++f) {
      const DbfFieldType type = t.GetFieldType(f);
      if (type == DbfFieldType::Char) {
        const std::string value = t.FieldByNumber(f);
        AddCyrillicEvidence(value, evidence);
        AddUtf8Evidence(value, utf8);
      } else if (type == DbfFieldType::Memo && memos) {
        text.clear();
        t.ReadMemo(f, text);
        text.resize(std::min(text.size(), kCodePageSampleMemo));
        AddCyrillicEvidence(text, evidence);
        AddUtf8Evidence(text, utf8);
      }
    }
  }
  ClearEngineError();
  int driver = CodePageNumberOfLanguageDriver(t.GetLanguageDriver());
  if (driver == 0) driver = CodePageOfDriverName(t.GetLanguageDriverName());
  const CodePageChoice choice = ChooseCodePage(CodePageOfCpgFile(), IsKnownCodePage(driver) ? driver : 0,
                                               evidence, utf8, code_page_);
  SetCodePage(choice.CodePage);
  code_page_reason_ = choice.Reason;
  if (choice.Reason == CodePageReason::Default)
    suggested_ = ShownCodePage::Undecided;
  else
    suggested_ = IsShownOem() ? ShownCodePage::Oem : ShownCodePage::Ansi;
}

void TableSession::ClearEngineError() {
  table_->ClearError();
}

Outcome TableSession::EngineOutcome() const {
  Outcome o;
  if (table_->GetErrorCode() == 0) return o;
  if (table_->GetErrorCode() == DbfLockedElsewhere) {
    // The engine's detail is the record's number, or "table".
    o = Refused(Refusal::Locked);
    const std::string message = DbfErrorMessage(DbfLockedElsewhere);
    const std::string& text = table_->GetErrorText();
    if (text.size() > message.size() + 1)
      o.Record = static_cast<int32_t>(ParseLeadingInteger(text.substr(message.size() + 1)));
    return o;
  }
  o.Kind = OutcomeKind::Failed;
  o.EngineCode = table_->GetErrorCode();
  o.EngineText = table_->GetErrorText();
  return o;
}

Outcome TableSession::CheckedRecord(int32_t record) const {
  if (!loaded_) return Refused(Refusal::NoTable);
  if (record < 1 || uint32_t(record) > record_count_) {
    Outcome o = Refused(Refusal::NoSuchRecord);
    o.Record = record;
    return o;
  }
  return Outcome{};
}

Outcome TableSession::CheckedField(int field) const {
  if (!loaded_) return Refused(Refusal::NoTable);
  if (field < 1 || field > GetFieldCount()) {
    return Refused(Refusal::NoSuchField, field);
  }
  return Outcome{};
}

Outcome TableSession::RefuseWhenReadOnly() {
  if (!table_->IsReadOnly()) return Outcome{};
  CloseTable();
  return Refused(Refusal::ReadOnly);
}

Outcome TableSession::OpenForRecordWrite(const std::vector<int32_t>& records, const ShownRecord* seen) {
  Outcome opened = OpenTable();
  if (opened.Kind != OutcomeKind::Done) return opened;
  // The file's sizes and time tell most changes; the records themselves
  // tell those a coarse clock hides (a same-size change within its tick).
  bool as_seen = TakeSnapshot(*table_, fs_) == seen_;
  for (size_t i = 0; i < records.size() && as_seen; ++i) as_seen = RecordShows(records[i], seen);
  if (as_seen) return opened;
  CloseTable();
  shown_.clear();
  return Refused(Refusal::TableChanged);
}

bool TableSession::RecordShows(int32_t record, const ShownRecord* seen) {
  if (uint32_t(record) > table_->RecordCount()) return false;
  table_->GoTo(record);
  if (!table_->BufferHoldsRecord()) return false;
  if (seen == nullptr) {
    // A record not shown since the last load or paint showed the user
    // nothing to compare: the files' sizes and time are the measure then.
    const auto shown = shown_.find(record);
    if (shown == shown_.end()) return true;
    seen = &shown->second;
  }
  if (!seen->Read) return false;
  if (seen->Texts.size() != size_t(table_->GetFieldCount())) return false;
  for (int f = 1; f <= table_->GetFieldCount(); ++f)
    if (seen->Texts[size_t(f - 1)] != ShownText(*table_, f)) return false;
  return true;
}

}  // namespace tabulon
