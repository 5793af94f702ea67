// Program: the applet and its windows, made in start-up order and
// destroyed in reverse when the program ends.
#pragma once

#include <memory>

#include "applet.h"
#include "dbf_file.h"
#include "csv_import_window.h"
#include "info_windows.h"
#include "main_window.h"
#include "memo_editor_window.h"

namespace tabulon {

class Program {
 public:
  // fs defaults to the platform's file system.
  explicit Program(DbfFileSystem* fs = nullptr);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Shows the main window and runs the message loop until it is closed.
  void Run();

  Applet& GetApplet() { return *applet_; }
  MainWindow& GetMainWindow() { return *main_window_; }
  MemoEditorWindow& GetMemoEditorWindow() { return *memo_editor_; }
  CsvImportWindow& GetCsvImportWindow() { return *csv_import_; }
  HelpWindow& GetHelpWindow() { return *help_; }
  AboutWindow& GetAboutWindow() { return *about_; }

 private:
  // Made in this order, destroyed in reverse: the secondary windows before
  // the main one, the applet last.
  std::unique_ptr<Applet> applet_;
  std::unique_ptr<MainWindow> main_window_;
  std::unique_ptr<MemoEditorWindow> memo_editor_;
  std::unique_ptr<CsvImportWindow> csv_import_;
  std::unique_ptr<HelpWindow> help_;
  std::unique_ptr<AboutWindow> about_;
};

std::unique_ptr<Program> NewProgram(DbfFileSystem* fs = nullptr);

}  // namespace tabulon
