// Packing and removing records in place, all or nothing.
//
// A pack first saves what it will overwrite in a rollback journal beside
// the table (pack_journal.h) and flushes it and its folder; then it
// rewrites the data file (and the memo file), flushes both and removes the
// journal, which commits it, and flushes the folder. A failure midway puts
// the saved bytes back at once; a process that dies or loses power midway
// leaves the journal, and the next open puts them back (RecoverPass). The
// memo file is rebuilt from the journal's copy of it, never from the file
// being rewritten.
//
// A removal saves nothing but the journal's names: it moves the records
// after the removed one forward in pieces, each recorded in the journal
// first, and one cut off is finished by the next open (MoveRecordsForward).
// A journal is applied only to the table it was written for.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "dbf_header.h"
#include "dbf_locks.h"
#include "dbf_table.h"
#include "write_journal.h"
#include "memo_rebuild.h"
#include "pack_journal.h"

namespace tabulon {

namespace {

constexpr uint8_t kDeletedFlag = '*';
constexpr uint8_t kEndOfData = 0x1A;
constexpr size_t kWriteChunk = 256 * 1024;
// A removal's pieces: each costs two flushes, so they are large (and
// finishing one cut off holds two of them in memory).
constexpr uint64_t kRemovalPiece = 16 * 1024 * 1024;

// The bytes after the record a removal takes out: the records that move.
uint64_t RemovalMoveLength(const PackJournal& saved) {
  const DbfHeaderFields h = DecodeDbfHeader(saved.Header);
  const uint64_t records_end = h.HeaderSize + uint64_t{h.RecordCount} * h.RecordSize;
  return records_end - saved.RegionOffset - h.RecordSize;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseNameOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

// A path's folder as the file system resolves it, so that "./t.dbt" and
// "t.dbt" name one folder: "." and empty components dropped, "x/.."
// collapsed, either slash a separator, letters compared without case (as
// Windows does; tables travel between the two).
std::string ResolvedFolderOf(const std::string& path) {
  const std::string folder = FolderOf(path);
  std::vector<std::string> parts;
  std::string part;
  auto take = [&] {
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..")
        parts.pop_back();
      else
        parts.push_back(part);
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
  };
  for (char c : folder) {
    if (c == '/' || c == '\\')
      take();
    else
      part += LowerAscii(c);
  }
  take();
  std::string resolved = !folder.empty() && (folder[0] == '/' || folder[0] == '\\') ? "/" : "";
  for (const std::string& p : parts) resolved += p + "/";
  return resolved;
}

bool SameFileName(const std::string& a, const std::string& b) {
  return ResolvedFolderOf(a) == ResolvedFolderOf(b) &&
         LowerAscii(BaseNameOf(a)) == LowerAscii(BaseNameOf(b));
}

// Anything at all of that name: a file, a folder, a pipe.
bool Occupied(DbfFileSystem& fs, const std::string& path) {
  DbfFileInfo info;
  return fs.Exists(path) || fs.GetInfo(path, &info);
}

// Writes records one after another from a position, in large pieces. In a
// pack the position trails the reading, so nothing unread is overwritten.
class RecordWriter {
 public:
  RecordWriter(DbfStream& out, uint64_t at) : out_(out), at_(at) {}
  bool Put(const uint8_t* record, size_t size) {
    pending_.insert(pending_.end(), record, record + size);
    return pending_.size() < kWriteChunk || Drain();
  }
  bool Drain() {
    if (!pending_.empty() && !out_.WriteAt(at_, pending_.data(), pending_.size())) return false;
    at_ += pending_.size();
    pending_.clear();
    return true;
  }
  uint64_t End() const { return at_ + pending_.size(); }

 private:
  DbfStream& out_;
  uint64_t at_;
  std::vector<uint8_t> pending_;
};

}  // namespace

// Called by SetActive before the header is read, with the data file open.
// Only the table's own data file and the memo file the journal names are
// ever written, only a journal written for this table is applied, and only
// the journal itself is removed or renamed.
bool DbfTable::RecoverPass() {
  const std::string name = PackJournalName(FileName);
  if (!fs_.Exists(name)) return true;
  auto journal = DbfStream::Open(fs_.Open(name, DbfOpenMode::ReadOnlyNoFollow));
  if (!journal) journal = DbfStream::Open(fs_.Open(name, DbfOpenMode::ReadOnlyNoFollow));
  if (!journal) {
    // Tried twice, so that one failed open does not pass for a link. A
    // link at the journal's name is no journal of this table's: it is set
    // aside, never applied. (Exists saw a file at its end, so the open
    // that follows it cannot wait on a pipe.)
    if (fs_.Open(name, DbfOpenMode::ReadOnly)) return SetJournalAside(name);
    SetError(DbfNoWriteAccess, name);
    return false;
  }
  PackJournal saved;
  JournalState state = ReadPackJournal(*journal, &saved);
  if (state == JournalState::Complete) state = CheckJournalFitsTable(*DataStream, saved);
  std::string memo_file;
  if (state == JournalState::Complete && !saved.MemoName.empty()) {
    // Its records are half old, half packed: without the memo file the
    // journal saved, the table is not shown at all.
    memo_file = JournalMemoFile(saved);
    if (memo_file.empty()) {
      journal->Close();
      SetError(DbfJournalMemoMissing, FolderOf(FileName) + saved.MemoName);
      return false;
    }
  }
  bool applied = state != JournalState::Complete ||
                 (saved.Kind == kRemoval ? ResumeRemoval(name, *journal, saved)
                                         : ApplyJournal(*journal, saved, memo_file));
  journal->Close();
  switch (state) {
    case JournalState::Unreadable:
      SetError(DbfNoWriteAccess, name);
      return false;
    case JournalState::Malformed:
      return SetJournalAside(name);
    case JournalState::Incomplete:
    case JournalState::Complete:
      // Kept when the bytes did not all go back: the next open tries again.
      if (!applied || !fs_.Remove(name)) {
        SetError(DbfNoWriteAccess, applied ? name : FileName);
        return false;
      }
      // A failed folder flush leaves the removal to the system: the journal
      // may come back after a power loss and be applied again, harmlessly.
      fs_.FlushFolder(name);
      return true;
  }
  return false;
}

bool DbfTable::IsSameFile(const std::string& a, const std::string& b) {
  DbfFileIdentity first, second;
  if (fs_.GetIdentity(a, &first) && fs_.GetIdentity(b, &second)) return first == second;
  return SameFileName(a, b);
}

// The memo file a journal's saved memo goes back into: the one the table
// is opened with when that is the file the journal names (beside the
// table), else the named one when it is there. Empty when neither.
std::string DbfTable::JournalMemoFile(const PackJournal& saved) {
  const std::string named = FolderOf(FileName) + saved.MemoName;
  const bool own = !MemoFileName.empty() && IsSameFile(MemoFileName, named);
  if (own && (MemoStream || fs_.Exists(MemoFileName))) return MemoFileName;
  if (fs_.Exists(named)) return named;
  // The journal holds the whole memo file: it can be written anew.
  return own ? MemoFileName : std::string();
}

// Renames an untrusted journal to the first free "~pack-rejected" name,
// so that earlier ones are kept and anything else at those names (a
// folder, a pipe) is passed by.
bool DbfTable::SetJournalAside(const std::string& journal_name) {
  for (int n = 1; n <= kMaxRejectedJournals; ++n) {
    const std::string aside = RejectedJournalName(FileName, n);
    if (Occupied(fs_, aside)) continue;
    if (fs_.Rename(journal_name, aside)) {
      fs_.FlushFolder(aside);
      SetError(DbfPackJournalSetAside, aside);
      return true;
    }
    if (!Occupied(fs_, aside)) {
      SetError(DbfNoWriteAccess, journal_name);
      return false;
    }
  }
  SetError(DbfJournalNameTaken, RejectedJournalName(FileName, kMaxRejectedJournals));
  return false;
}

// Puts the saved bytes back and the sizes as they were, and flushes.
// Writing the same bytes twice does no harm, so a recovery that is itself
// cut off is simply done again.
bool DbfTable::ApplyJournal(DbfStream& journal, const PackJournal& saved,
                            const std::string& memo_file) {
  if (!saved.MemoName.empty()) {
    // At open the memo file is not open yet; undoing a pass, it is.
    const bool own_open = MemoStream && memo_file == MemoFileName;
    std::unique_ptr<DbfStream> opened;
    if (!own_open) {
      const bool exists = fs_.Exists(memo_file);
      opened = DbfStream::Open(fs_.Open(
          memo_file, exists ? DbfOpenMode::ReadWriteShared : DbfOpenMode::CreateNew));
      if (!opened || (!exists && !fs_.FlushFolder(memo_file))) return false;
    }
    DbfStream& memo = own_open ? *MemoStream : *opened;
    bool ok = CopyStreamBytes(journal, saved.MemoAt, memo, 0, saved.MemoSize) &&
              memo.SetSize(saved.MemoSize) && memo.Flush();
    if (opened) ok = opened->Close() && ok;
    if (!ok) return false;
  }
  return CopyStreamBytes(journal, saved.RegionAt, *DataStream, saved.RegionOffset,
                         saved.DataSize - saved.RegionOffset) &&
         DataStream->WriteAt(0, saved.Header, kDbfHeaderSize) &&
         DataStream->SetSize(saved.DataSize) && DataStream->Flush();
}

// Saves the data file from region_offset to its end (and with_memo the
// whole memo file) in a new journal. False, with nothing changed, no
// journal left and the error set (detail for a failed write), when that
// fails.
bool DbfTable::StartPass(uint64_t region_offset, bool with_memo, const std::string& detail,
                         std::unique_ptr<DbfFile>* journal, PackJournal* saved) {
  const std::string name = PackJournalName(FileName);
  saved->DataSize = DataStream->GetSize();
  saved->RegionOffset = region_offset;
  if (with_memo) {
    saved->MemoName = BaseNameOf(MemoFileName);
    saved->MemoSize = MemoStream->GetSize();
  }
  uint8_t stamped[kDbfHeaderSize] = {};
  StampDate(stamped);
  GetDbfDateBytes(stamped, saved->PassDate);
  if (!DataStream->ReadExactAt(0, saved->Header, kDbfHeaderSize) ||
      !UntouchedSum(*DataStream, saved->Header, region_offset, &saved->Untouched)) {
    SetError(DbfWriteRecordError, detail);
    return false;
  }
  // A journal of that name already there is someone else's: never replaced.
  *journal = fs_.Open(name, DbfOpenMode::CreateNew);
  if (!*journal) {
    SetError(Occupied(fs_, name) ? DbfJournalNameTaken : DbfNoWriteAccess, name);
    return false;
  }
  // The journal's bytes and its name are on the disk before the table is
  // touched: a power loss after this finds it.
  if (WritePackJournal(**journal, saved, *DataStream, with_memo ? MemoStream.get() : nullptr) &&
      fs_.FlushFolder(name))
    return true;
  SetError(DbfWriteRecordError, detail);
  (*journal)->Close();
  journal->reset();
  // A journal that stays may be a whole one: then the next open writes the
  // same bytes back, and until then nothing may change the table.
  if (!fs_.Remove(name)) CloseStreams();
  return false;
}

// Ends the data at end: the end-of-data byte, and nothing after it.
bool DbfTable::EndDataAt(uint64_t end) {
  return DataStream->WriteAt(end, &kEndOfData, 1) && DataStream->SetSize(end + 1);
}

// Flushes the rewritten files and removes the journal: the commit.
bool DbfTable::CommitPass(std::unique_ptr<DbfFile> journal, bool with_memo) {
  if (!DataStream->Flush() || (with_memo && !MemoStream->Flush())) {
    UndoPass(std::move(journal));
    return false;
  }
  if (journal) journal->Close();
  if (fs_.Remove(PackJournalName(FileName))) {
    // Until the folder is flushed a power loss may bring the journal back,
    // and the next open would undo the pack (old or new either way); once
    // flushed, a pass that returned stays done.
    fs_.FlushFolder(PackJournalName(FileName));
    return true;
  }
  UndoPass(nullptr);
  return false;
}

// After a failure midway: the saved bytes go back now (a removal is
// finished instead). When even that fails the journal stays, and the table
// closes so that nothing written before the next open (which tries again)
// could be lost.
void DbfTable::UndoPass(std::unique_ptr<DbfFile> journal) {
  if (journal) journal->Close();
  const uint8_t keep_code = ErrorCode;
  const std::string keep_text = ErrorText;
  const bool undone = RecoverPass();
  ErrorCode = keep_code;
  ErrorText = keep_text;
  if (!undone || fs_.Exists(PackJournalName(FileName))) {
    CloseStreams();
    return;
  }
  DataStream->ReadExactAt(0, Header, kDbfHeaderSize);
}

void DbfTable::EndPass() {
  RecNo = 0;
  BlankRecordBuffer();
  buffer_holds_record_ = true;
  RecordModified = false;
}

const char* DbfMemoFaultText(DbfMemoFault fault) {
  switch (fault) {
    case DbfMemoFault::InHeader: return "lies inside the memo file's header";
    case DbfMemoFault::PastEnd: return "lies past the end of the memo file";
    case DbfMemoFault::Damaged: return "holds no whole memo";
  }
  return "";
}

int32_t DbfTable::Pack() { return Pack(DbfPackOptions(), nullptr); }

int32_t DbfTable::Pack(const DbfPackOptions& options, std::vector<DbfBrokenMemo>* cleared) {
  if (cleared) cleared->clear();
  if (!Active || RefusedReadOnly()) return 0;
  DbfLockHold hold;
  if (!LockForWrite(hold, DbfLockScope::Table, 0)) return 0;
  const uint32_t count = std::min<uint32_t>(RecordCount(), INT32_MAX);
  const uint64_t size = RecordSize();
  const uint64_t records_end = HeaderSize() + uint64_t{count} * size;
  bool with_memo = false;
  if (MemoStream && GetMemoKind() != MemoKind::None)
    for (int32_t f = 1; f <= FieldCount; ++f)
      with_memo = with_memo || IsMemoReferenceField(GetVersion(), Fields[f].Type);
  EndPass();
  auto fail = [this](uint32_t done) {
    SetError(DbfWriteRecordError, std::to_string(done));
    return static_cast<int32_t>(done);
  };
  // Recovery trusts a journal's memo file only beside the table. Records
  // past the signed 32-bit count would be cut off with the tail.
  if ((with_memo && ResolvedFolderOf(MemoFileName) != ResolvedFolderOf(FileName)) ||
      RecordCount() > INT32_MAX)
    return fail(0);

  // Records before the first marked one stay where they are, unless their
  // memo references change.
  std::vector<uint8_t> record(size);
  uint32_t first_dropped = 0;
  for (uint32_t r = 1; r <= count && first_dropped == 0; ++r) {
    if (!DataStream->ReadExactAt(RecordOffset(static_cast<int32_t>(r)), record.data(), 1))
      return fail(r - 1);
    if (record[0] == kDeletedFlag) first_dropped = r;
  }
  uint8_t end_byte = 0;
  const bool tidy_end = DataStream->GetSize() == records_end + 1 &&
                        DataStream->ReadExactAt(records_end, &end_byte, 1) &&
                        end_byte == kEndOfData;
  if (first_dropped == 0 && !with_memo && tidy_end) {
    // Nothing to move: the header takes the date of the pack.
    StampDate(Header);
    if (!DataStream->WriteAt(0, Header, kDbfHeaderSize)) return fail(count);
    return static_cast<int32_t>(count);
  }

  const uint32_t start = with_memo ? 1 : (first_dropped ? first_dropped : count + 1);
  const uint64_t region = start <= count ? RecordOffset(static_cast<int32_t>(start)) : records_end;
  if (!BeginRenumber()) return fail(0);
  std::unique_ptr<DbfFile> journal;
  PackJournal saved;
  if (!StartPass(region, with_memo, "0", &journal, &saved)) {
    EndRenumber(false);
    return 0;
  }

  std::unique_ptr<DbfStream> old_memo;
  std::unique_ptr<MemoRebuild> memo;
  if (with_memo) {
    // The old memo file as the journal keeps it; the journal's handle
    // moves into the view.
    old_memo = DbfStream::Open(NewFileView(std::move(journal), saved.MemoAt, saved.MemoSize));
    memo = std::make_unique<MemoRebuild>(*old_memo, *MemoStream,
                                         MemoLayoutOfVersion(GetVersion()));
  }
  auto undo = [&](uint32_t done) {
    if (old_memo) old_memo->Close();
    UndoPass(std::move(journal));
    EndRenumber(false);
    if (cleared) cleared->clear();
    return fail(done);
  };
  if (memo && !memo->Start()) return undo(start - 1);

  RecordWriter writer(*DataStream, region);
  uint32_t kept = start - 1;
  for (uint32_t r = start; r <= count; ++r) {
    if (!DataStream->ReadExactAt(RecordOffset(static_cast<int32_t>(r)), record.data(), size))
      return undo(r - 1);
    if (record[0] == kDeletedFlag) continue;
    for (int32_t f = 1; memo && f <= FieldCount; ++f) {
      const DbfField& field = Fields[f];
      if (!IsMemoReferenceField(GetVersion(), field.Type)) continue;
      const uint64_t old_block = GetMemoReference(GetVersion(), field, record.data());
      if (old_block == 0) continue;
      uint64_t new_block = 0;
      DbfMemoFault fault = DbfMemoFault::Damaged;
      const MemoRebuild::Outcome outcome = memo->Carry(old_block, &new_block, &fault);
      if (outcome == MemoRebuild::Outcome::Broken) {
        const DbfBrokenMemo broken{r, GetFieldName(f), old_block, fault};
        if (!options.ClearBrokenMemos) {
          undo(r - 1);
          SetError(DbfPackBrokenMemo, std::to_string(r) + ", field " + broken.Field + ": block " +
                                          std::to_string(old_block) + " " +
                                          DbfMemoFaultText(fault));
          return static_cast<int32_t>(r - 1);
        }
        // No reference, as a record that never had a memo holds.
        std::memset(record.data() + field.FieldPosition, ' ', field.Length);
        if (GetMemoReference(GetVersion(), field, record.data()) != 0)
          PutMemoReference(GetVersion(), field, record.data(), 0);
        if (cleared) cleared->push_back(broken);
      } else if (outcome != MemoRebuild::Outcome::Carried ||
                 !PutMemoReference(GetVersion(), field, record.data(), new_block)) {
        return undo(r - 1);
      }
    }
    if (!writer.Put(record.data(), record.size())) return undo(r - 1);
    ++kept;
  }
  SetRecordCount(kept);
  PutDbfDateBytes(Header, saved.PassDate);
  if (!writer.Drain() || !EndDataAt(writer.End()) ||
      !DataStream->WriteAt(0, Header, kDbfHeaderSize) || (memo && !memo->Finish()))
    return undo(count);
  if (old_memo) old_memo->Close();
  if (!CommitPass(std::move(journal), with_memo)) return fail(count);
  if (kept < count) HeaderModified = true;
  EndRenumber(true);
  return static_cast<int32_t>(count);
}

void DbfTable::RemoveRecord(int32_t n) {
  if (!Active || RefusedReadOnly()) return;
  const std::string detail = std::to_string(n);
  const uint32_t count = RecordCount();
  if (n < 1 || static_cast<uint32_t>(n) > count) {
    SetError(DbfWriteRecordRangeError, detail);
    return;
  }
  bool allow = true;
  if (OnBeforeDelete) OnBeforeDelete(*this, allow);
  if (!allow) return;
  DbfLockHold hold;
  if (!LockForWrite(hold, DbfLockScope::Table, 0)) return;
  EndPass();
  if (!BeginRenumber()) {
    SetError(DbfWriteRecordError, detail);
    return;
  }
  std::unique_ptr<DbfFile> journal;
  PackJournal saved;
  saved.Kind = kRemoval;
  if (!StartPass(RecordOffset(n), false, detail, &journal, &saved)) {
    EndRenumber(false);
    return;
  }
  SetRecordCount(count - 1);
  if (!MoveRecordsForward(*journal, saved, Header, 0, 0)) {
    SetError(DbfWriteRecordError, detail);
    // Finished now if the files allow it, else by the next open, which
    // builds the index files anew.
    UndoPass(std::move(journal));
    write_journal_.reset();
    return;
  }
  if (!CommitPass(std::move(journal), false)) {
    SetError(DbfWriteRecordError, detail);
    write_journal_.reset();
    return;
  }
  HeaderModified = true;
  // The header's new count reaches the disk before the index files name
  // the records by their new numbers; else the next open builds them.
  if (!FlushTableWrites()) {
    write_journal_.reset();
    return;
  }
  EndRenumber(true);
}

// Takes out the record at the journal's region offset: the records after it
// move forward one record, from done bytes of the move on, a piece at a
// time. Each piece is written to the journal and named there (each step
// flushed) before it is written over its old place, and flushed after, so
// that a move cut off (killed, or by a power loss that kept any part of
// the piece's write) is resumed by writing that piece again whole from the
// journal. Ends with the end-of-data byte and header (the new count).
bool DbfTable::MoveRecordsForward(DbfFile& journal, const PackJournal& saved,
                                  const uint8_t* header, uint64_t done, uint64_t sequence) {
  const uint64_t at = saved.RegionOffset;
  const uint64_t record = DecodeDbfHeader(saved.Header).RecordSize;
  const uint64_t moved = RemovalMoveLength(saved);
  std::vector<uint8_t> piece;
  while (done < moved) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kRemovalPiece, moved - done));
    piece.resize(n);
    const RemovalProgress progress{++sequence, done, 0};
    if (!DataStream->ReadExactAt(at + record + done, piece.data(), n)) return false;
    if (!journal.WriteAt(kRemovalPieceAt, piece.data(), n) || !journal.Flush() ||
        !WriteRemovalProgress(journal, {progress.Sequence, done, PieceSum(piece.data(), n)}) ||
        !journal.Flush() || !DataStream->WriteAt(at + done, piece.data(), n) || !DataStream->Flush())
      return false;
    done += n;
  }
  return EndDataAt(at + moved) && DataStream->WriteAt(0, header, kDbfHeaderSize) &&
         DataStream->Flush();
}

// Finishes a removal cut off: the piece its journal names last is written
// again whole from the journal, and the move goes on after it. A journal
// whose piece no longer sums to the slot's began to take the next piece,
// which it does only once the named one was written and flushed.
bool DbfTable::ResumeRemoval(const std::string& journal_name, DbfStream& journal,
                             const PackJournal& saved) {
  RemovalProgress progress;
  if (!ReadRemovalProgress(journal, &progress)) return false;
  const uint64_t at = saved.RegionOffset;
  const uint64_t moved = RemovalMoveLength(saved);
  uint64_t done = 0;
  if (progress.Sequence != 0) {
    if (progress.Done >= moved) return false;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kRemovalPiece, moved - progress.Done));
    std::vector<uint8_t> piece(n);
    size_t got = 0;
    if (!journal.ReadAt(kRemovalPieceAt, piece.data(), n, &got)) return false;
    if (got == n && PieceSum(piece.data(), n) == progress.Sum &&
        (!DataStream->WriteAt(at + progress.Done, piece.data(), n) || !DataStream->Flush()))
      return false;
    done = progress.Done + n;
  }
  auto writable = fs_.Open(journal_name, DbfOpenMode::ReadWriteExclusive);
  uint8_t header[kDbfHeaderSize];
  std::memcpy(header, saved.Header, kDbfHeaderSize);
  PutDbfRecordCount(header, GetDbfRecordCount(saved.Header) - 1);
  return writable && MoveRecordsForward(*writable, saved, header, done, progress.Sequence) &&
         writable->Close();
}

}  // namespace tabulon
