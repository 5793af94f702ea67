// TableSession: a table as a user works with it, without windows. The
// program's windows and the command line both go through it.
//
// A session loads one table with the memo file and finds the index files
// that belong to it (refusing writes that would leave those stale), knows
// the code page its text is shown in, gives records as the table view
// shows them (UTF-8 text of each field, the deletion mark) and remembers
// what the user saw, so that a write to a record another program changed
// meanwhile is refused. Typed values are checked and stored in the table's
// code page; every command ends in an Outcome instead of a message.
//
// The table is closed between commands (other programs may write it
// then); a command opens it once and closes it when done. Records are
// numbered from 1, fields too.
//
// Sections of the implementation:
//   table_session.cpp   loading, the structure, the code page, snapshots
//   shown_rows.cpp      values and records as shown, what the user saw
//   session_edits.cpp   cells, memos, appending, marks, removing, packing
//   session_search.cpp  searching a field with a mask
//   new_table.cpp       field rows of a new table, and creating it
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "code_page.h"
#include "dbf_table.h"
#include "session_outcome.h"
#include "table_files.h"
#include "index_keeper.h"
#include "table_indexes.h"

namespace tabulon {

// A record as the table view shows it: each field's text (UTF-8, by
// field) and its deletion mark. Read is false when the file could not be
// opened or gave no record there.
struct ShownRecord {
  std::vector<std::string> Texts;
  bool Deleted = false;
  bool Read = false;
};

struct SearchHit {
  int32_t Record = 0;
  std::string Text;  // UTF-8, as shown
};

// One row of the new-table area, as typed (UTF-8): a name, a size, and a
// type, None when none was chosen; any other type's text is passed on as
// it is (OtherType).
enum class NewFieldType { None, Text, Memo, Other };
// The widest Character field every dBase reader takes: a new table's
// Text field, an imported column.
constexpr int kMaxTextFieldSize = 254;
struct NewFieldRow {
  std::string Name;
  std::string Size;
  NewFieldType Type = NewFieldType::None;
  std::string OtherType;
};

// A new table's fields once their rows are checked: the definition lines
// the engine creates it from, and each line as the user reads it.
struct NewTableDefinition {
  std::vector<std::string> Lines;
  std::vector<std::string> ShownLines;  // UTF-8
  bool HasMemo = false;
  bool Oem = false;
};

class TableSession {
 public:
  // fs defaults to the platform's file system.
  explicit TableSession(DbfFileSystem* fs = nullptr);
  ~TableSession();
  TableSession(const TableSession&) = delete;
  TableSession& operator=(const TableSession&) = delete;

  DbfFileSystem& FileSystem() const { return fs_; }

  // Loading. Load chooses the memo file beside the table (.fpt over
  // .dbt), opens the table (finishing or undoing a pass cut off), reads
  // its structure, samples its text for the code page and closes it
  // again. A journal set aside on the way is a Done with the engine's
  // code. A failed load leaves no structure, but the file stays chosen,
  // so that Reload tries again.
  Outcome Load(const std::string& path);
  // The same with the memo file given (empty: none), as after a creation.
  Outcome Load(const std::string& path, const std::string& memo_file);
  Outcome Reload();
  bool IsLoaded() const { return loaded_; }
  // A command has the table open (never so between commands).
  bool IsOpen() const { return table_->IsActive(); }
  const std::string& GetFileName() const { return file_name_; }
  const std::string& GetMemoFileName() const { return memo_file_name_; }

  // The index files found beside the table at the last load: the
  // structural one (or its absence where the header announces it) and the
  // loose ones that belong to it.
  const std::vector<FoundIndex>& GetIndexes() const { return indexes_; }
  // Why a tag of one of them is not kept up to date ("" when it is).
  std::string GetTagReason(const FoundIndex& index, const IndexTagInfo& tag) const {
    const size_t t = size_t(&tag - index.Tags.data());
    return t < index.Reasons.size() ? index.Reasons[t] : std::string();
  }
  // Whether a write would leave an index file stale: an index present that
  // cannot be read, or a tag the writes do not keep true.
  bool HasIndexesThatGoStale() const;
  // Builds the index files anew from the table (the one at index_file, or
  // all found with a kept tag): the kept tags from the records, the others
  // as they are.
  Outcome Reindex(const std::string& index_file = std::string());
  // Writes are refused with StaleIndexes while HasIndexesThatGoStale,
  // unless allowed here for the rest of the session (the user chose to
  // write and leave them stale).
  void SetIndexesMayGoStale(bool value) { indexes_may_go_stale_ = value; }
  bool GetIndexesMayGoStale() const { return indexes_may_go_stale_; }
  // For writes through another open of the table (an import): refused
  // with StaleIndexes as the session's own writes are; else *keeper (null
  // when no tag is kept) follows table's writes, and must outlive them.
  Outcome FollowIndexesOf(DbfTable& table, std::unique_ptr<IndexKeeper>* keeper) const;
  // Clears the header's structural-index flag (byte 28, bit 0x01), so that
  // programs that refuse a table whose announced index is missing open it
  // again; one byte written, and the table reloaded.
  Outcome ClearStructuralIndexFlag();

  // The structure as the last command found it.
  uint8_t GetVersion() const { return header_[0]; }
  const uint8_t* GetHeader() const { return header_; }
  int GetFieldCount() const { return int(fields_.size()); }
  uint32_t GetRecordCount() const { return record_count_; }
  const DbfField& GetField(int field) const { return fields_[size_t(field - 1)]; }
  bool IsDbase7() const { return dbase7_; }
  const std::string& GetLanguageDriverName() const { return driver_name_; }
  DbfFieldType GetFieldType(int field) const;
  DbfValueLayout GetValueLayout(int field) const;
  // The field's name as stored, and as shown (UTF-8, in the shown code page).
  std::string GetFieldName(int field) const;
  std::string GetFieldTitle(int field) const;
  MemoKind GetMemoKind() const { return memo_kind_; }
  // The table can be read but not written.
  bool IsReadOnly() const { return read_only_ || reading_only_chosen_; }
  // The user's choice to only read the table (its index files would go
  // stale): every write is refused as for a file that cannot be written.
  void SetReadingOnlyChosen(bool value) { reading_only_chosen_ = value; }
  // The field number of a name (case-insensitive, as stored or shown); 0 for none.
  int FindField(const std::string& name) const;

  // The code page. Load decides what it can (code_page.h: a .cpg file
  // beside the table, UTF-8 text, the Russian letters, the language-driver
  // byte): Oem for a DOS page, Ansi for any other, Undecided when nothing
  // tells (the page is then DOS or Windows Russian as the "OEM" box says).
  ShownCodePage GetSuggestedCodePage() const { return suggested_; }
  CodePageReason GetCodePageReason() const { return code_page_reason_; }
  // The page text is shown in and typed text stored in (its Windows
  // number; 65001 for UTF-8).
  int GetCodePage() const { return code_page_; }
  // The front end's "OEM" box: shows the table in the DOS or the Windows
  // twin of its page. False, changing nothing, for a page without a twin
  // in the other family (UTF-8, Macintosh, ISO, Thai, Baltic).
  bool SetShownOem(bool oem);
  bool IsShownOem() const { return IsDosCodePage(code_page_); }
  bool HasCodePageTwin() const { return twin_ != 0; }
  // A page the user names (false, changing nothing, for an unknown one);
  // the reason becomes Given.
  bool SetCodePage(int code_page);
  // What the table's layout made the engine tolerate at the last command
  // (DbfLayoutWarning bits: a header without its terminator, a record
  // size short of the fields); 0 for none.
  uint8_t GetWarnings() const { return warnings_; }

  // Records as shown, read through a table of the session's own opened
  // for reading only (nothing is ever written through it). FetchRows
  // reads first..last afresh for a paint; GetShownRecord gives a record
  // read before, or reads it with those after it. ForgetShownRows makes
  // the next question read afresh.
  void FetchRows(int32_t first, int32_t last);
  const ShownRecord& GetShownRecord(int32_t record);
  void ForgetShownRows() { shown_.clear(); }
  // A look at the data file before a paint: when another program changed
  // its record count since the last command (a pack, appends), the count
  // follows and true is returned, so the view shows as many rows as the
  // file holds. What the user saw stays the measure for writes: they are
  // refused until a command shows the table anew. Costs a stat while the
  // file is as last seen.
  bool NoticeRecordCountChange();
  // Whether field f of a record as shown holds binary data (a marker).
  bool ShowsBinaryData(const ShownRecord& record, int field) const;
  // Records first..last in order, each as shown, read in one open of the
  // session's reading table (nothing is kept); each returns false to stop.
  Outcome EachShownRecord(int32_t first, int32_t last,
                          const std::function<bool(int32_t, const ShownRecord&)>& each);

  // Commands. Each opens the table once, checks that the record the user
  // saw (seen, or the record as last shown) is still what the file holds,
  // writes, and closes. EditCell and WriteMemo give in Text what the
  // file now holds, as shown.
  Outcome EditCell(int32_t record, int field, const std::string& typed,
                   const ShownRecord* seen = nullptr);
  // A memo's text as shown, for the memo editor (the record checked as
  // for a write); then the text the editor saved.
  Outcome ReadMemoText(int32_t record, int field, std::string& text);
  Outcome WriteMemo(int32_t record, int field, const std::string& typed,
                    const ShownRecord* seen = nullptr);
  // Appends a blank record; *record receives its number.
  Outcome AppendRecord(int32_t* record = nullptr);
  // Removes one record whatever its mark (the table is compacted at once).
  Outcome RemoveRecord(int32_t record);
  Outcome SetDeleted(int32_t record, bool deleted);
  Outcome ToggleDeleted(int32_t record);
  // Several records in one open: all as the user saw them, or none written.
  Outcome SetDeleted(const std::vector<int32_t>& records, bool deleted);
  // Packing; a memo reference that cannot be read refuses it (the engine's
  // DbfPackBrokenMemo) unless clear_broken_memos, when such references are
  // cleared (their records kept) and listed in *cleared.
  Outcome Pack(bool clear_broken_memos = false, std::vector<DbfBrokenMemo>* cleared = nullptr);

  // What typed text (UTF-8) becomes in field f, checked as EditCell
  // checks it, except that text longer than a Character field is refused
  // (TextTooLong) rather than cut; nothing is read or written. Done with
  // the bytes to store in *stored (a memo's text for a memo field); blank
  // typed text gives no bytes, the field left blank.
  Outcome CheckTypedValue(int field, const std::string& typed, std::string* stored) const;

  // Searches a field of every record with a mask ("*" any run, "?" one
  // character, letters in either case), matching values as shown. At most
  // max_hits are given; more is set when there were more. answer is called
  // now and then on a long search (the window repaints).
  Outcome Search(int field, const std::string& mask, size_t max_hits, std::vector<SearchHit>* hits,
                 bool* more, const std::function<void()>& answer = {});

  // A new table: the rows checked (names in capitals, stored in 866 when
  // oem), then created at path; *memo_file receives the memo file the
  // creation wrote (empty without memo fields). The session's own table
  // is not changed.
  Outcome CheckNewTable(const std::vector<NewFieldRow>& rows, bool oem,
                        NewTableDefinition* definition) const;
  Outcome CreateTable(const std::string& path, const NewTableDefinition& definition,
                      std::string* memo_file = nullptr);

 private:
  // Opens the loaded table for a command; Failed when it cannot be.
  Outcome OpenTable();
  // Closes it and remembers its structure and how its files look.
  void CloseTable();
  // OpenTable, then a check that the files are as the user saw them and
  // that each record still shows what the user saw (seen, for one record
  // an edit started from; the record as last shown otherwise).
  Outcome OpenForRecordWrite(const std::vector<int32_t>& records, const ShownRecord* seen = nullptr);
  bool RecordShows(int32_t record, const ShownRecord* seen);
  Outcome RefuseWhenReadOnly();
  // Refused with StaleIndexes when a write would leave indexes stale.
  Outcome RefuseStaleIndexes() const;
  void FindIndexes();
  void ReadStructure();
  void SuggestCodePage();
  void ClearEngineError();
  // Failed with the engine's error, or Done when it recorded none.
  Outcome EngineOutcome() const;
  Outcome CheckedRecord(int32_t record) const;
  Outcome CheckedField(int field) const;
  // Field f of the record in table's buffer: the value as stored (a
  // memo's text; a marker for binary data), and as shown (UTF-8 in the
  // shown code page).
  // *binary (when asked) tells a memo of binary data, shown as a marker.
  std::string StoredText(DbfTable& table, int field, bool* binary = nullptr) const;
  std::string ShownText(DbfTable& table, int field, bool* binary = nullptr) const;
  std::string ShownText(DbfTable& table, int field, bool memo, DbfValueLayout layout,
                        bool* binary = nullptr) const;
  // Opens the view's reading table on the loaded files.
  void OpenView();
  void ReadRows(int32_t first, int32_t last);
  void ReadRecord(DbfTable& view, int32_t n, ShownRecord& record) const;
  // The .cpg file beside the table names this page (0: none).
  int CodePageOfCpgFile() const;
  Outcome WriteValue(int field, const std::string& typed, bool memo);
  enum class MarkChange { Set, Clear, Toggle };
  Outcome Mark(const std::vector<int32_t>& records, MarkChange change);

  DbfFileSystem& fs_;
  std::unique_ptr<DbfTable> table_;
  // The view's own reader of the same files.
  std::unique_ptr<DbfTable> view_table_;
  std::string file_name_;
  std::string memo_file_name_;
  bool loaded_ = false;
  uint8_t header_[kDbfHeaderSize] = {};
  std::vector<DbfField> fields_;
  uint32_t record_count_ = 0;
  MemoKind memo_kind_ = MemoKind::None;
  bool read_only_ = false;
  bool reading_only_chosen_ = false;
  ShownCodePage suggested_ = ShownCodePage::Undecided;
  CodePageReason code_page_reason_ = CodePageReason::Default;
  int code_page_ = kWindowsRussianCodePage;
  // The other family's page the "OEM" box switches to (0: none).
  int twin_ = kDosRussianCodePage;
  uint8_t warnings_ = 0;
  bool dbase7_ = false;
  std::string driver_name_;
  // The table's files as the user last saw them.
  TableSnapshot seen_;
  // The data file as the last look before a paint found it.
  DbfFileInfo looked_;
  std::map<int32_t, ShownRecord> shown_;
  std::vector<FoundIndex> indexes_;
  bool indexes_may_go_stale_ = false;
  // Keeps the index tags true while a command has the table open.
  std::unique_ptr<IndexKeeper> keeper_;
  // A keeper of every kept tag (null when none).
  std::unique_ptr<IndexKeeper> NewIndexKeeper() const;
  void FollowWithIndexes();
  Outcome FinishRebuild();
  bool IsSameIndexFile(const std::string& a, const std::string& b);
  // Of the view's fields while it reads records: memo or not, and layout.
  mutable std::vector<std::pair<bool, DbfValueLayout>> kinds_;
};

}  // namespace tabulon
