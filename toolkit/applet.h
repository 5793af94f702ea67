// Applet: the program's top-level object with its caption and message loop,
// and the message box every command reports through.
#pragma once

#include <memory>
#include <string>

namespace tabulon {

class Form;

class Applet {
 public:
  explicit Applet(const std::string& caption);
  ~Applet();
  Applet(const Applet&) = delete;
  Applet& operator=(const Applet&) = delete;

  const std::string& GetCaption() const { return caption_; }
  // Shows the main form and dispatches messages until it closes.
  void Run(Form& main_form);
  // Dispatches the messages waiting now (repaints included) and returns.
  void ProcessMessages();
  // Ends Run after the current message.
  void Terminate();
  // A message box with an OK button only, the applet's caption, brought to
  // the foreground; returns when the user closed it.
  void ShowMessage(const std::string& text);
  // The same with "Yes" and "No"; true when the user answered "Yes".
  bool Ask(const std::string& text);

 private:
  std::string caption_;
};

std::unique_ptr<Applet> NewApplet(const std::string& caption);

// Any message box: text and caption in UTF-8, kMb* flags; the
// button the user pressed (kIdOk, kIdYes, kIdNo).
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags);

}  // namespace tabulon
