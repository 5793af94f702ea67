// Start-up and shutdown.
#include "program.h"

#include "system.h"
#include "texts.h"

namespace tabulon {

Program::Program(DbfFileSystem* fs)
    : applet_(NewApplet(texts::kAppletCaption)),
      main_window_(std::make_unique<MainWindow>(*this, fs)),
      memo_editor_(std::make_unique<MemoEditorWindow>()),
      csv_import_(std::make_unique<CsvImportWindow>()),
      help_(std::make_unique<HelpWindow>()),
      about_(std::make_unique<AboutWindow>()) {}

Program::~Program() = default;

void Program::Run() {
  // A table given at start (Windows passes the file the user opened with
  // the program) is loaded into the shown window.
  const std::vector<std::string> arguments = GetProgramArguments();
  if (!arguments.empty()) {
    main_window_->GetForm().Show();
    main_window_->OpenTableFile(arguments[0]);
  }
  applet_->Run(main_window_->GetForm());
}

std::unique_ptr<Program> NewProgram(DbfFileSystem* fs) { return std::make_unique<Program>(fs); }

}  // namespace tabulon
