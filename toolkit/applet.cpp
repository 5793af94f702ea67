#include "applet.h"

#include "driver.h"
#include "form.h"

namespace tabulon {

Applet::Applet(const std::string& caption) : caption_(caption) {}
Applet::~Applet() = default;

void Applet::Run(Form& main_form) {
  main_form.SetMainForm(true);
  main_form.ResetClosed();
  main_form.Show();
  RunMainLoop(main_form);
}

void Applet::ProcessMessages() { ProcessPendingMessages(); }
void Applet::Terminate() { TerminateMainLoop(); }

void Applet::ShowMessage(const std::string& text) {
  ShowMessageBox(text, caption_, kMbOk | kMbTaskModal | kMbSetForeground);
}

bool Applet::Ask(const std::string& text) {
  return ShowMessageBox(text, caption_, kMbYesNo | kMbIconQuestion | kMbTaskModal | kMbSetForeground) == kIdYes;
}

std::unique_ptr<Applet> NewApplet(const std::string& caption) {
  return std::make_unique<Applet>(caption);
}

}  // namespace tabulon
