// Writes of the table that the files following its records (its index
// files) take part in: one undo journal for the table and them, begun
// before the first record changes and committed once the table's writes
// and theirs are on the disk; and the rebuild that follows a renumbering.
#include <algorithm>
#include <vector>

#include "dbf_table.h"
#include "write_journal.h"

namespace tabulon {

bool DbfTable::ReadRecordAt(uint32_t n, uint8_t* out) {
  return Active && DataStream && n >= 1 && n <= RecordCount() &&
         DataStream->ReadExactAt(RecordOffset(static_cast<int32_t>(n)), out, RecordSize());
}

// Before record's bytes at offset become now: the follower takes the
// change, and the journal saves the bytes the write covers (and the
// end-of-data byte after an appended record), on the disk before the
// write is made.
bool DbfTable::FollowRecordWrite(uint32_t record, uint64_t offset, const uint8_t* now, bool appended) {
  const size_t size = RecordSize();
  std::vector<uint8_t> old(size + 1);
  // A record appended earlier in this run is on the disk already, blank,
  // and its keys with it.
  if (!appended && !DataStream->ReadExactAt(offset, old.data(), size)) return false;
  if (!write_journal_) {
    auto journal = std::make_unique<WriteJournal>(fs_, FileName);
    std::vector<uint8_t> header(HeaderSize());
    if (!journal->Begin(WriteJournalKind::PutBack, *DataStream, HeaderSize()) ||
        !DataStream->ReadExactAt(0, header.data(), header.size()) ||
        !journal->SaveBytes(0, 0, header.data(), header.size()))
      return false;
    write_journal_ = std::move(journal);
  }
  // Some tags may hold the change and others not: nothing of the run is
  // written to the index files.
  if (!follower_->OnRecordChange(*this, record, appended ? nullptr : old.data(), now)) return DropFollowedRun();
  const uint64_t saved_size = write_journal_->GetFileSize(0);
  if (offset >= saved_size) return true;
  // What the write covers of the file as the journal began.
  const size_t n = size_t(std::min<uint64_t>(size + 1, saved_size - offset));
  if (DataStream->ReadExactAt(offset, old.data(), n) && write_journal_->SaveBytes(0, offset, old.data(), n) &&
      write_journal_->Flush())
    return true;
  return DropFollowedRun();
}

bool DbfTable::DropFollowedRun() {
  if (follower_) follower_->DropChanges();
  write_journal_.reset();
  return false;
}

// A pack or a removal renumbers the records: the follower's files are
// built anew after it, and a journal naming them says so to the next open
// should the pass be cut off before that.
bool DbfTable::BeginRenumber() {
  if (!follower_) return true;
  if (write_journal_ && !FlushWrites()) return false;
  auto journal = std::make_unique<WriteJournal>(fs_, FileName);
  if (!journal->Begin(WriteJournalKind::Rebuild, *DataStream, HeaderSize())) return false;
  for (const std::string& file : follower_->GetFiles())
    if (journal->AddFile(file, 0) < 0) return false;
  if (!journal->Flush()) return false;
  write_journal_ = std::move(journal);
  return true;
}

bool DbfTable::EndRenumber(bool renumbered) {
  if (!follower_ || !write_journal_) return true;
  if ((renumbered && !follower_->Rebuild(*this)) || !write_journal_->Commit()) {
    // Left for the next open, which builds the files anew.
    write_journal_.reset();
    SetError(DbfWriteIndexError, follower_->GetErrorText());
    return false;
  }
  write_journal_.reset();
  return true;
}

// Called by SetActive after a pass cut off was dealt with.
bool DbfTable::RecoverWrite() {
  pending_rebuild_.clear();
  std::string detail;
  switch (RecoverWriteJournal(fs_, FileName, *DataStream, &pending_rebuild_, &detail)) {
    case WriteJournalFound::None:
    case WriteJournalFound::Undone:
    case WriteJournalFound::Rebuild:
      return true;
    case WriteJournalFound::SetAside:
      SetError(DbfPackJournalSetAside, detail);
      return true;
    case WriteJournalFound::Failed:
      break;
  }
  SetError(DbfNoWriteAccess, detail);
  return false;
}

}  // namespace tabulon
