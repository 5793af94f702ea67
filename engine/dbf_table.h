// DbfTable: one dBase-family table file (.dbf) with its optional memo file
// (.dbt or .fpt), read and written record by record.
//
// The engine keeps the 32-byte header, the field descriptors and exactly one
// record (the current record) in memory. Field values travel as the stored
// 8-bit text (binary fields as their raw bytes; GetFieldText and
// PutFieldText give and take every value as a user reads it). Nothing is
// thrown: every failure is recorded in the sticky ErrorCode/ErrorText pair
// and the operation returns normally.
//
// Sections of the implementation:
//   dbf_table.cpp        open, close, header, moving between records
//   dbf_fields.cpp       field values and the error setter
//   field_values.cpp     the encodings of values, and checks of typed text
//   dbf_memo.cpp         memo files in the dBase and FoxPro layouts
//   dbf_maintenance.cpp  appending, deletion marks
//   dbf_pack.cpp         packing and removing records under a rollback
//                        journal; undoing a pass cut off, at open
//   dbf_create.cpp       creating tables from field definition lines
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbf_check.h"
#include "dbf_errors.h"
#include "dbf_file.h"
#include "dbf_stream.h"
#include "field_values.h"
#include "memo_blocks.h"
#include "record_follower.h"

namespace tabulon {

// Table flavour, by the first byte of the file.
enum class DbfVersion : uint8_t {
  dBase3 = 0x03,
  dBase4 = 0x04,
  dBase5 = 0x05,
  dBase3Memo = 0x83,
  dBase4Memo = 0x84,
  FoxProMemo = 0xF5,
  VisFoxProMemo = 0x30,
  // Visual FoxPro with an autoincrement field, and with varchar/varbinary
  // fields: the same FPT memo layout as 0x30.
  VisFoxProAutoinc = 0x31,
  VisFoxProVarchar = 0x32,
  // dBase IV with memo (and with an SQL table): memo blocks carry an
  // 8-byte header of their own (FF FF 08 00 and a length).
  dBase4BlockMemo = 0x8B,
  dBase4SqlMemo = 0x7B,
  // dBase 7 with memo (0x04 without): 68-byte header, 48-byte
  // descriptors, memo blocks as dBase IV's.
  dBase7Memo = 0x8C,
};

// What the engine tolerated in a table's layout, as other readers do (bits).
enum DbfLayoutWarning : uint8_t {
  // The descriptors end at a line feed or at the header size, without the
  // 0x0D terminator.
  DbfNoTerminator = 0x01,
  // The record size is one byte short of the fields and the deletion flag:
  // the records are read at the fields' size where the file holds them so
  // (as dBase and dbfread read), else at the header's with the last field
  // a byte short. Readers disagree on such a file, so it is never written.
  DbfShortRecordSize = 0x02,
};

enum class MemoKind { None, Dbt, Fpt };

// The numeric values are relied on by callers (Memo is 5).
enum class DbfFieldType : uint8_t { Other = 0, Char = 1, Date = 2, Number = 3, Logic = 4, Memo = 5 };

// dBase IV, FoxPro and Visual FoxPro allow 255 fields; records are limited
// by the header's 16-bit record size.
constexpr int kDbfMaxFields = 255;
constexpr int kDbfRecordBufferSize = 65535;
// A new table takes at most this many field definition lines.
constexpr int kDbfMaxCreatedFields = 128;
constexpr int kDbfHeaderSize = 32;
constexpr int kDbtBlockSize = 512;

// One field descriptor as read, with bytes 12..15 replaced by the field's
// offset within the record.
struct DbfField {
  uint8_t Name[32] = {};  // 32 bytes in dBase 7, else 10 and zeros
  uint8_t Type = 0;
  uint32_t FieldPosition = 0;
  // Clipper, FoxPro and Harbour keep a Character field longer than 255 as
  // length byte + 256 x decimals byte; Length is then the true length and
  // Decimals 0.
  uint16_t Length = 0;
  uint8_t Decimals = 0;
  uint8_t Rest[14] = {};
  // dBase 7 autoincrement: the value the next appended record takes.
  uint32_t NextAutoincrement = 0;
};

// The code page a table's language-driver byte (header byte 29) names, as
// far as the DOS Russian, Windows Russian and Windows Western drivers go;
// 0 and every other driver name none the program converts for.
enum class DbfCodePage { Unknown, Dos866, Windows1251, Windows1252 };
DbfCodePage CodePageOfLanguageDriver(uint8_t driver);
// The code page (its Windows number) of a language-driver byte whose page
// is one of single bytes; 0 for none.
int CodePageNumberOfLanguageDriver(uint8_t driver);
// The code page a dBase 7 language driver name ("DB866RU0", "DBWINUS0")
// names; 0 for none.
int CodePageOfDriverName(const std::string& name);
// The language-driver byte that names a code page (0 for Unknown).
uint8_t LanguageDriverOf(DbfCodePage page);

// The memo kind a version byte selects (None for bytes outside the flavours).
MemoKind MemoKindOfVersion(uint8_t version);
// Whether a field type of a table of this version refers to memo blocks:
// memo texts 'M', FoxPro's General 'G', Picture 'P' and Blob 'W', and
// dBase's binary 'B' (a double inside the record in Visual FoxPro).
bool IsMemoReferenceField(uint8_t version, uint8_t type);
// Whether memo blocks of this flavour start with dBase IV's 8-byte header.
bool UsesDbase4MemoBlocks(uint8_t version);
// Visual FoxPro flavours keep memo references as 4-byte integers.
bool IsVisualFoxPro(uint8_t version);
// The memo block a field of record refers to (0: none), and storing one:
// a 4-byte little-endian integer in Visual FoxPro's 4-byte fields, decimal
// text right-justified elsewhere. Put is false when the field cannot hold
// the number whole (a cut number would point at another memo).
uint64_t GetMemoReference(uint8_t version, const DbfField& field, const uint8_t* record);
bool PutMemoReference(uint8_t version, const DbfField& field, uint8_t* record, uint64_t block);

struct PackJournal;
struct MemoFileHeader;
class WriteJournal;
class DbfLockHold;
enum class DbfLockScope;

const char* DbfMemoFaultText(DbfMemoFault fault);

// A memo reference a pack could not read: the record's number before the
// pack, the field, the block it names and why.
struct DbfBrokenMemo {
  uint32_t Record = 0;
  std::string Field;
  uint64_t Block = 0;
  DbfMemoFault Fault = DbfMemoFault::Damaged;
};

struct DbfPackOptions {
  // Unreadable memo references are cleared (the record kept, its memo
  // lost) instead of refusing the pack.
  bool ClearBrokenMemos = false;
};

class DbfTable {
 public:
  DbfTable(std::string file_name, std::string memo_file_name, bool auto_post, DbfFileSystem& fs);
  ~DbfTable();
  DbfTable(const DbfTable&) = delete;
  DbfTable& operator=(const DbfTable&) = delete;

  std::function<void(DbfTable& sender, bool& allow)> OnBeforeMove;
  std::function<void(DbfTable& sender, bool& allow)> OnBeforeDelete;
  std::function<void(DbfTable& sender)> OnAfterAppend;

  // The files: set before opening (the memo file may be empty: none).
  const std::string& GetFileName() const { return FileName; }
  const std::string& GetMemoFileName() const { return MemoFileName; }
  void SetFileNames(const std::string& file_name, const std::string& memo_file_name) {
    FileName = file_name;
    MemoFileName = memo_file_name;
  }
  // Set before opening: the files are opened for reading only whatever
  // they allow, so the table is read-only and nothing is ever written; a
  // cut-off pack is left for a writer to finish (the open is refused with
  // DbfJournalNeedsWrite meanwhile). For a second reader of a table that
  // another DbfTable works on.
  void SetReadingOnly(bool value) { ReadingOnly = value; }
  // Set while the table is open, to keep files beside it in step with its
  // records (null: none). The follower outlives the writes it follows.
  void SetRecordFollower(DbfRecordFollower* follower) { follower_ = follower; }
  // The files an open found named by a rebuild journal (a pack or removal
  // cut off before its index files were built anew): the caller builds
  // them and then removes the journal (RemoveWriteJournal).
  const std::vector<std::string>& GetPendingRebuild() const { return pending_rebuild_; }
  // Record n's stored bytes (RecordSize() of them), without moving the
  // current record; false when it cannot be read.
  bool ReadRecordAt(uint32_t n, uint8_t* out);
  // Whether a change of the current record is posted before it moves.
  void SetAutoPost(bool value) { AutoPost = value; }

  // State.
  bool IsActive() const { return Active; }
  // The last open could read the data file (or the memo file) but not write
  // it (a read-only medium or share, a locked or read-only file): the table
  // is shown, and every change is refused with DbfReadOnly.
  bool IsReadOnly() const { return ReadOnly; }
  int32_t GetRecNo() const { return RecNo; }
  int32_t GetFieldCount() const { return FieldCount; }
  // Field n's descriptor (1..GetFieldCount()).
  const DbfField& GetField(int32_t n) const { return Fields[n]; }
  const uint8_t* GetHeader() const { return Header; }
  // The current record's bytes, RecordSize() of them.
  const uint8_t* GetRecordBuffer() const { return RecordBuffer; }
  bool IsRecordModified() const { return RecordModified; }
  // The sticky error: the code (0: none) and its text; cleared by the caller.
  uint8_t GetErrorCode() const { return ErrorCode; }
  const std::string& GetErrorText() const { return ErrorText; }
  void ClearError() {
    ErrorCode = 0;
    ErrorText.clear();
  }

  // Header values.
  uint8_t GetVersion() const { return Header[0]; }
  uint32_t RecordCount() const;
  uint16_t HeaderSize() const;
  uint16_t RecordSize() const;
  MemoKind GetMemoKind() const;
  uint8_t GetLanguageDriver() const { return Header[29]; }
  // dBase 7's language driver name ("DBWINUS0"); empty in other flavours.
  const std::string& GetLanguageDriverName() const { return driver_name_; }
  // The table has dBase 7's header and descriptors.
  bool IsDbase7() const { return dbase7_; }
  // DbfLayoutWarning bits of the open table (0: its layout is sound).
  uint8_t GetLayoutWarnings() const { return layout_warnings_; }
  DbfFileSystem& FileSystem() const { return fs_; }

  // Open and records.
  void SetActive(bool value);
  void GoTo(int32_t n);
  void First() { GoTo(1); }
  void Next() { GoTo(RecNo + 1); }
  void PostRecord();
  void ReadRecord();
  void WriteRecord();
  // Makes every change so far survive a power loss, flushing in the order
  // that keeps the table old or new at every moment: the memo blocks, then
  // the records, then the header with the count that covers appended
  // records. Closing does it. Until then writes are ordered, not flushed:
  // an appended record counts on disk only from here, and a record that
  // counts on disk gets a new memo reference only once its memo blocks are
  // flushed. So work over many records in one open flushes a few times,
  // not once per record (but once per record whose memo changes). False,
  // with the error set, when a write or flush fails; the count on disk is
  // then the old one unless the records it covers were flushed.
  bool FlushWrites();

  // Field values.
  std::string GetFieldName(int32_t n);
  DbfFieldType GetFieldType(int32_t n);
  // The stored value: text types with trailing blanks removed, binary
  // layouts as their raw bytes. PutFieldByNumber fits text to the field;
  // a binary field takes exactly its width in bytes (anything else is
  // refused with error 28), so that writing back what FieldByNumber read
  // leaves every byte as it was.
  std::string FieldByNumber(int32_t n);
  void PutFieldByNumber(int32_t n, const std::string& value);
  DbfValueLayout GetValueLayout(int32_t n);
  // The value as a user reads it: text as FieldByNumber gives it, binary
  // numbers in decimal, date and time as "DD.MM.YYYY hh:mm:ss", a null
  // value (Visual FoxPro's _NullFlags) as "". A reference to binary data
  // gives its block number, and bytes of no known layout their hexadecimal
  // pairs: HasTextForm tells callers to show a marker instead.
  std::string GetFieldText(int32_t n);
  // Stores typed text after checking it suits the field (field_values.h);
  // a refused text sets error 28 and changes nothing. The field's own
  // GetFieldText changes nothing either, so a value rewritten unchanged
  // leaves the record byte for byte as it was.
  void PutFieldText(int32_t n, const std::string& text);
  void SetError(uint8_t code, const std::string& detail);

  // Memo texts of the current record. Without a memo file (or for a layout
  // the engine does not know) a memo field's read or write sets error 29.
  // *binary (when asked) tells a block its file marks as binary data
  // (FoxPro's pictures and objects) from a text.
  void ReadMemo(int32_t n, std::string& text, bool* binary = nullptr);
  void WriteMemo(int32_t n, const std::string& text);
  // Whether field n refers to memo blocks (texts, or binary data).
  bool RefersToMemo(int32_t n) const;

  // Every lock other programs honour, taken for a run of writes (an
  // import's appends), so that the writes between take none of their own:
  // other programs wait for the whole run rather than each record. False,
  // with DbfLockedElsewhere set, when another program holds one. Closing
  // the table releases them too. Meanwhile the data file's writes are
  // gathered into large ones (DbfStream::SetGathering): a write the file
  // refuses shows at the latest at FlushWrites, before any count covers it.
  bool LockTable();
  void UnlockTable();

  // Record maintenance.
  void AppendBlank();
  void SetDeleted(bool deleted);
  // The deletion mark of the record in the buffer.
  bool IsDeleted() const { return RecordBuffer[0] == '*'; }
  // Packing drops the records marked deleted, rebuilds the memo file (when
  // open) to hold just the blocks the kept records refer to, and ends the
  // data file right after the records. RemoveRecord takes record n out
  // whatever its mark; its memo blocks stay. Both are all-or-nothing, also
  // when the process dies or the power fails midway: the next open puts the
  // old table back (a pack) or finishes the removal.
  // Neither leaves a current record (RecNo 0).
  // A memo reference that cannot be read refuses the pack (error 36: the
  // record, the field and the reason), changing nothing, unless the
  // options clear such references; cleared (when given) lists each one.
  int32_t Pack();
  int32_t Pack(const DbfPackOptions& options, std::vector<DbfBrokenMemo>* cleared);
  void RemoveRecord(int32_t n);

  // The open table's files against their own layout (dbf_check.cpp).
  std::vector<DbfProblem> CheckFiles();

  // Creation.
  // language_driver goes into header byte 29, so that other programs know
  // the code page of the table's text (0: none named).
  bool CreateTable(const std::string& file_name, const std::vector<std::string>& lines,
                   uint8_t language_driver = 0);
  bool GetStructure(std::vector<std::string>* lines);
  bool CopyStructure(const std::string& new_file_name);

  // True while RecordBuffer holds the bytes of record RecNo (or RecNo is 0).
  // After a failed or out-of-range read it does not, and changes are refused
  // so that a blank buffer is never posted over a real record.
  bool BufferHoldsRecord() const { return buffer_holds_record_; }

 private:
  std::string FileName;
  std::string MemoFileName;
  int32_t RecNo = 0;
  int32_t FieldCount = 0;
  bool Active = false;
  bool RecordModified = false;
  bool AutoPost = false;
  uint8_t Header[kDbfHeaderSize] = {};
  std::unique_ptr<DbfStream> DataStream;
  DbfField Fields[kDbfMaxFields + 1];  // entries 1..FieldCount are valid
  uint8_t RecordBuffer[kDbfRecordBufferSize] = {};
  std::unique_ptr<DbfStream> MemoStream;
  bool HeaderModified = false;
  bool ReadOnly = false;
  bool ReadingOnly = false;
  uint8_t ErrorCode = 0;
  std::string ErrorText;

  bool ReadHeader();
  void SetRecordCount(uint32_t count);
  // Today's date into a header's date of the last update.
  void StampDate(uint8_t* header);
  // True, with DbfReadOnly set, when the table was opened for reading only.
  bool RefusedReadOnly();
  // Takes the locks other xBase programs honour that a write needs
  // (dbf_locks.h) into hold, without waiting. False, with
  // DbfLockedElsewhere set and nothing held, when another program holds
  // one of them; nothing may be written then.
  bool LockForWrite(DbfLockHold& hold, DbfLockScope scope, int32_t n);
  uint64_t RecordOffset(int32_t n) const;
  size_t BufferedRecordSize() const;
  bool AcceptChange();
  bool StoreRecord();
  void CloseStreams();
  uint32_t MemoReference(int32_t n);
  void ReadDbtMemo(int32_t n, std::string& text);
  void ReadFptMemo(int32_t n, std::string& text, bool* binary);
  void WriteDbtMemo(int32_t n, const std::string& text);
  void WriteFptMemo(int32_t n, const std::string& text);
  bool AppendMemo(int32_t n, const MemoFileHeader& header, const std::string& text);
  bool StoreMemoReference(int32_t n, uint64_t block);
  bool RecoverPass();
  bool RecoverWrite();
  bool RecoverUnderLock();
  bool FollowRecordWrite(uint32_t record, uint64_t offset, const uint8_t* now, bool appended);
  // A followed write that failed after the followers took it: their
  // changes are dropped, and the journal stays for the next open to put
  // back what the run wrote to the table.
  bool DropFollowedRun();
  bool FlushTableWrites();
  bool BeginRenumber();
  bool EndRenumber(bool renumbered);
  bool ApplyJournal(DbfStream& journal, const PackJournal& saved, const std::string& memo_file);
  std::string JournalMemoFile(const PackJournal& saved);
  bool IsSameFile(const std::string& a, const std::string& b);
  bool SetJournalAside(const std::string& journal_name);
  bool StartPass(uint64_t region_offset, bool with_memo, const std::string& detail,
                 std::unique_ptr<DbfFile>* journal, PackJournal* saved);
  bool EndDataAt(uint64_t end);
  bool MoveRecordsForward(DbfFile& journal, const PackJournal& saved, const uint8_t* header,
                          uint64_t done, uint64_t sequence);
  bool ResumeRemoval(const std::string& journal_name, DbfStream& journal,
                     const PackJournal& saved);
  bool CommitPass(std::unique_ptr<DbfFile> journal, bool with_memo);
  void UndoPass(std::unique_ptr<DbfFile> journal);
  void EndPass();
  // Blanks, or zero bytes where a field keeps binary values.
  void BlankRecordBuffer();
  bool KeepsRawBytes(int32_t n) const;
  // The bit of _NullFlags that marks field n null (or, with length_bit,
  // shorter than its width); -1 when it has none.
  int NullFlagsBit(int32_t n, bool length_bit) const;
  bool NullFlagSet(int bit) const;
  void ClearNullFlag(int bit);

  DbfFileSystem& fs_;
  // Every lock of the table, while LockTable holds them.
  std::unique_ptr<DbfLockHold> table_hold_;
  // The record count the header on disk holds; records past it may be
  // written without ordering, as nothing refers to them yet.
  uint32_t count_on_disk_ = 0;
  // An appended record is not yet counted by the header on disk.
  bool count_pending_ = false;
  DbfRecordFollower* follower_ = nullptr;
  std::unique_ptr<WriteJournal> write_journal_;
  std::vector<std::string> pending_rebuild_;
  bool buffer_holds_record_ = true;
  uint8_t refusal_code_ = 0;
  std::string refusal_detail_;
  bool dbase7_ = false;
  std::string driver_name_;
  uint8_t layout_warnings_ = 0;
  // The distance between records when it is not the header's (0: it is).
  uint16_t stride_ = 0;
  // Reads the descriptors; false when the layout cannot be read.
  bool ReadDescriptors(uint8_t* code);
  // Gives the dBase 7 autoincrement fields of the blank record in the
  // buffer their values, and the descriptors the next ones.
  bool NumberAutoincrements();
};

// The dBase memo file beside a table file: its name with the last
// character replaced by "t" (X.DBF -> X.DBt); CreateTable writes it there.
std::string DbtFileNameFor(const std::string& table_file);

// Clears the structural-index flag (header byte 28, bit 0x01) of a closed
// table file by writing that one byte, flushed: a one-byte write leaves the
// byte old or new, never torn. True when the flag is clear afterwards.
bool ClearStructuralIndexFlagOf(const std::string& table_file, DbfFileSystem& fs);

// A closed table; touches no file. fs defaults to the platform's.
std::unique_ptr<DbfTable> NewDbfTable(const std::string& file_name,
                                      const std::string& memo_file_name, bool auto_post,
                                      DbfFileSystem* fs = nullptr);

// Text fitted to a width: PadLeft keeps the rightmost characters of a longer
// text and fills a shorter one with leading spaces; PadRight keeps the
// leftmost and fills with trailing spaces.
std::string PadLeft(const std::string& text, size_t width);
std::string PadRight(const std::string& text, size_t width);

// An optional sign and decimal digits, stopping at the first other byte;
// no digits give 0. Saturates instead of overflowing.
int64_t ParseLeadingInteger(const std::string& text);

// Bytes of 0x20 or less removed at both ends (TrimRight: at the end only).
std::string TrimBlanks(std::string text);
std::string TrimRightBlanks(const std::string& text);

}  // namespace tabulon
