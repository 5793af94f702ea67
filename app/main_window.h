// MainWindow: the window the user works in. It owns the table, the table
// view, the field grid of the new-table area, the four hidden controls the
// grids borrow as in-place editors, the file dialog, the button bar and the
// search area, and runs every command on them.
//
// The table is closed whenever the message loop is idle: each command opens
// it, works through the engine and closes it again. The table view is a
// snapshot of the file that FillGrid rebuilds; grid column c shows field
// c + 1 and grid row r record r + 1.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "applet.h"
#include "button.h"
#include "dbf_table.h"
#include "edit.h"
#include "file_dialog.h"
#include "form.h"
#include "label.h"
#include "list_box.h"
#include "menu.h"
#include "panel.h"
#include "xl_grid.h"

namespace tabulon {

class Program;

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
  void ReloadTable();
  // Copies the open table into the table view; the table stays open.
  void FillGrid();
  void SpreadColumns();

  // The menu's help and about items.
  void ShowHelp();
  void ShowAbout();

  // The window and its members, in creation order. Owned here; public so
  // that commands and tests reach them by the names the program uses.
  std::unique_ptr<Form> Window;
  std::unique_ptr<MenuBar> MainMenu;
  std::unique_ptr<DbfTable> Table;
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
  std::unique_ptr<Button> ZoomInButton;
  std::unique_ptr<Button> ZoomOutButton;
  std::unique_ptr<Button> DeleteButton;
  std::unique_ptr<Button> AddButton;
  std::unique_ptr<Button> ReloadButton;
  std::unique_ptr<Button> PackButton;
  std::unique_ptr<Button> MemoButton;
  std::unique_ptr<CheckBox> OemCheckBox;

  // State kept between commands.
  std::string CurrentFileName;
  std::string MemoTransferText;
  int32_t SavedColWidth = 0;
  int32_t SavedRowHeight = 0;
  std::vector<std::string> SearchHitRecords;
  std::vector<std::string> FieldDefinitionLines;

 private:
  void BuildNewTableArea();
  void BuildSearchArea();
  void BuildButtonBar();
  void WireEvents();
  void SetStatus(const char* word);
  // Tells the user in a message box owned by the applet; text is UTF-8.
  void Tell(const std::string& text);
  // Opens the table for a command; on failure empties the table view, sets
  // "ERROR" and shows the engine's message. No table chosen yet is quiet.
  bool OpenTable();
  void ClearTableView();

  Program& program_;
  DbfFileSystem& fs_;
};

}  // namespace tabulon
