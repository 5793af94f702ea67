// MainWindow: the window the user works in. It owns the table, the table
// view, the field grid of the new-table area, the four hidden controls the
// grids borrow as in-place editors, the file dialog, the button bar and the
// search area, and runs every command on them.
//
// The table is the session's: each command asks the session, which opens
// the table, works and closes it again, and the window shows the outcome.
// The table view holds no copy of the records: FillGrid gives it the
// table's counts and titles, and each paint asks the session for the
// records it shows (shown_rows.cpp). Grid row r shows record r + 1, and
// grid column c the field FieldOfColumn(c) (field c + 1 until the user
// moves columns).
//
// Commands run one at a time: while one processes pending messages (the
// memo editor, the pack), a click on another is refused.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "applet.h"
#include "button.h"
#include "edit.h"
#include "file_dialog.h"
#include "form.h"
#include "label.h"
#include "list_box.h"
#include "menu.h"
#include "panel.h"
#include "table_session.h"
#include "xl_grid.h"

namespace tabulon {

class Program;

// The most characters the in-place memo editor takes (the platform's edit
// limit); a longer memo opens in the memo editor.
constexpr int kMemoCellMaxLength = 32767;

class MainWindow {
 public:
  // Builds the window and every control, hidden; fs defaults to the
  // platform's file system.
  MainWindow(Program& program, DbfFileSystem* fs = nullptr);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  Form& GetForm() { return *Window; }

  // Loading (the menu's "load" item, "L", the table view's resize).
  void LoadTable();
  // Loads the table at path as the load item does after its dialog.
  void OpenTableFile(const std::string& path);
  void ReloadTable();
  // Gives the table view the open table's fields and record count; the
  // table stays open. The records are read as the view draws them.
  void FillGrid();
  void SpreadColumns();
  // Number columns right-aligned, every other column left-aligned.
  void AlignNumberColumns();
  // The table view's owner data (shown_rows.cpp): rows first..last are
  // read before a paint; a cell's text as shown, greyed when its record is
  // marked deleted; a row's title, its record number marked "*" when
  // deleted.
  void FetchShownRows(int first, int last);
  // Before a paint: a table another program packed or appended to shows as
  // many rows as its file now holds.
  void FollowRecordCount();
  XLGridCellData GetShownCell(int col, int row);
  std::string ShownRowTitle(int row);
  // The title column as wide as the numbers need.
  void FitRowTitles();
  // Ctrl+Delete in the table view: sets or clears the deletion mark of the
  // current record and writes it at once.
  void ToggleDeleted();
  // Ctrl+C and Ctrl+V in the table view (clipboard_commands.cpp).
  void CopyToClipboard();
  void PasteIntoCell();
  // What Ctrl+C copies: the marked rows under the column titles, as
  // tab-separated lines, or else the current cell's text.
  std::string CopiedText();

  // The menu's help and about items.
  void ShowHelp();
  void ShowAbout();

  // Editing records (edit_commands.cpp, memo_commands.cpp).
  // The table view's edits: the editor lent for a cell, and the text
  // written when the edit is accepted (false keeps the edit open).
  XLGridEditor BeginCellEdit(int col, int row);
  bool EndCellEdit(int col, int row, std::string& text, bool accept);
  void AppendRecord();
  void DeleteRecord();
  void ZoomIn();
  void ZoomOut();
  void EditMemo();
  // Packing (pack_commands.cpp).
  void PackTable();
  // Searching (search_commands.cpp).
  void RunSearch();
  void JumpToHit();
  // Creating a table (new_table_commands.cpp).
  void SetFieldRows();
  XLGridEditor BeginFieldEdit(int col, int row);
  void CreateNewTable();

  // Export and import (transfer_commands.cpp): the loaded table out to a
  // file of a format its extension names, and a CSV file into a new table
  // or onto the table shown.
  void ExportTable();
  void ImportTable();

  // The field (1-based) that table view column col shows.
  int FieldOfColumn(int col) const;
  // A command is running (and may be processing pending messages).
  bool IsBusy() const { return busy_; }

  // The window and its members, in creation order. Owned here; public so
  // that commands and tests reach them by the names the program uses.
  std::unique_ptr<Form> Window;
  std::unique_ptr<MenuBar> MainMenu;
  std::unique_ptr<TableSession> Session;
  std::unique_ptr<::tabulon::FileDialog> FileDialog;
  std::unique_ptr<XLGrid> TableGrid;
  std::unique_ptr<ComboBox> TypeCellEditor;
  std::unique_ptr<Edit> TextCellEditor;
  std::unique_ptr<Edit> SizeCellEditor;
  std::unique_ptr<Panel> NewTablePanel;
  std::unique_ptr<Label> FieldCountLabel;
  std::unique_ptr<Panel> NewTableTitleBar;
  std::unique_ptr<Label> NewTableTitle;
  std::unique_ptr<XLGrid> FieldGrid;
  std::unique_ptr<Button> FieldCountButton;
  std::unique_ptr<Edit> FieldCountEdit;
  std::unique_ptr<Button> CreateTableButton;
  std::unique_ptr<Memo> MemoCellEditor;
  std::unique_ptr<Panel> SearchPanel;
  std::unique_ptr<ListBox> SearchResultList;
  std::unique_ptr<Edit> SearchMaskEdit;
  std::unique_ptr<Button> SearchButton;
  std::unique_ptr<Panel> SearchTitleBar;
  std::unique_ptr<Label> SearchTitle;
  std::unique_ptr<Panel> ButtonBar;
  std::unique_ptr<Label> StatusLabel;
  // A line under the table naming its index files, shown when it has any.
  std::unique_ptr<Panel> IndexBar;
  std::unique_ptr<Label> IndexLabel;
  std::unique_ptr<Button> ZoomInButton;
  std::unique_ptr<Button> ZoomOutButton;
  std::unique_ptr<Button> DeleteButton;
  std::unique_ptr<Button> AddButton;
  std::unique_ptr<Button> ReloadButton;
  std::unique_ptr<Button> PackButton;
  std::unique_ptr<Button> MemoButton;
  std::unique_ptr<CheckBox> OemCheckBox;

  // State kept between commands.
  std::string MemoTransferText;
  int32_t SavedColWidth = 0;
  int32_t SavedRowHeight = 0;
  // The cell ZoomIn enlarged, until ZoomOut restores it (none otherwise).
  XLGridCoord ZoomedCell;
  std::vector<std::string> SearchHitRecords;
  std::vector<std::string> FieldDefinitionLines;

 private:
  // Marks a command as running for its lifetime; Entered() is false when
  // another one was running already, and the new one must not start.
  class CommandScope {
   public:
    explicit CommandScope(MainWindow& window);
    ~CommandScope();
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;
    bool Entered() const { return entered_; }

   private:
    MainWindow& window_;
    bool entered_;
  };

  void LoadTableFile(const std::string& path);
  // A table created from the new-table area, with the memo file its
  // creation wrote, shown as a loaded table is.
  void ShowCreatedTable(const std::string& path, const std::string& memo_file);
  // The view after a load: the new table from its first record, or empty
  // with the reason when it could not be loaded.
  void ShowLoaded(const Outcome& loaded);
  // The record a view row shows, as the session last read it.
  const ShownRecord& ShownRow(int row) { return Session->GetShownRecord(row + 1); }

  // The least client area at which every control of the window is whole.
  Size LeastClientSize() const;
  void BuildNewTableArea();
  void BuildSearchArea();
  void BuildButtonBar();
  void WireEvents();
  // Shows the help or about window modally and hides it afterwards.
  void ShowInfo(Form& window);
  // Shows FileDialog for a table file to open or to create; true when the
  // user chose one (its path in FileDialog's file name).
  bool ChooseTableFile(FileDialogMode mode);
  // One of the status words of texts.h (UTF-8).
  void SetStatus(const char* word);
  // Tells the user in a message box owned by the applet; text is UTF-8.
  void Tell(const std::string& text);
  // Empties the table view, so that it shows no table.
  void ClearTableView();
  // The caption names the table shown and its record count.
  void ShowTableInCaption();
  bool HasMemoFields() const;
  // A structural index the header announces and nobody finds makes the
  // applications that own the table refuse it: the user may clear the flag.
  void OfferToClearMissingIndexFlag();
  // The index line says which index files the table has, or goes away.
  void ShowIndexes();
  // Before a write: where the table has index files a write leaves stale,
  // the first write asks whether to write, only read, or do nothing.
  // False when this write is not to be made.
  bool MayWrite();
  // Empties the table view and ends an enlarged cell, so that a newly
  // loaded table starts at its first record with default sizes.
  void ForgetViewState();
  // Ends an in-place edit in progress, writing it; false when it stays open.
  bool EndPendingEdit();
  // Tells the user what became of a command that was not done (Russian,
  // with "ERROR"); a table changed by another program is shown anew first.
  // True when the outcome was done (a warning it carries is told too).
  bool Report(const Outcome& outcome);
  // A command's outcome in the user's words (UTF-8).
  std::string OutcomeText(const Outcome& outcome) const;
  // Why one line of a CSV file was refused, without its line number.
  std::string LineRefusal(const Outcome& outcome) const;
  // A CSV import's refused lines told: their count and the first of them.
  void TellRefusedLines(const std::vector<Outcome>& refused);
  // What a refused value of field f should have been, as a message naming
  // the field as its column is titled.
  std::string ValueRefusal(int field) const;
  // A failed load or reload: the view is emptied and the user told.
  void ReportLoadFailure(const Outcome& outcome);

  // What the two grids ask the window: the table view its rows and edits,
  // the field grid its editors.
  class TableViewSource final : public XLGridDataSource {
   public:
    explicit TableViewSource(MainWindow& window) : window_(window) {}
    void BeforePaint() override { window_.FollowRecordCount(); }
    void FetchRows(int first, int last) override { window_.FetchShownRows(first, last); }
    XLGridCellData GetCellData(int col, int row) override { return window_.GetShownCell(col, row); }
    std::string GetRowTitle(int row) override { return window_.ShownRowTitle(row); }
    XLGridEditor BeginEdit(int col, int row) override { return window_.BeginCellEdit(col, row); }
    bool EndEdit(int col, int row, std::string& text, bool accept) override {
      return window_.EndCellEdit(col, row, text, accept);
    }

   private:
    MainWindow& window_;
  };
  class FieldGridSource final : public XLGridDataSource {
   public:
    explicit FieldGridSource(MainWindow& window) : window_(window) {}
    XLGridEditor BeginEdit(int col, int row) override { return window_.BeginFieldEdit(col, row); }

   private:
    MainWindow& window_;
  };

  Program& program_;
  DbfFileSystem& fs_;
  TableViewSource table_view_source_{*this};
  FieldGridSource field_grid_source_{*this};
  bool busy_ = false;
  // column_fields_[c]: the field table view column c shows.
  std::vector<int> column_fields_;
  // The row of the in-place edit in progress (-1 for none) and its record
  // as the edit started from it.
  int edited_row_ = -1;
  ShownRecord edited_record_;
  // field_grid_roles_[c]: what field grid column c holds (0 name, 1 size,
  // 2 type), wherever the user moved it.
  std::vector<int> field_grid_roles_ = {0, 1, 2};
};

}  // namespace tabulon
