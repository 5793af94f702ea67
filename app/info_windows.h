// HelpWindow and AboutWindow: two fixed texts, each in a read-only edit box
// filling its window, opened from the menu and closed with the close box.
#pragma once

#include <memory>

#include "edit.h"
#include "form.h"

namespace tabulon {

// What both windows share: a form without minimise and maximise boxes whose
// close box ends the modal showing and leaves the window alive.
class InfoWindow {
 public:
  InfoWindow(const InfoWindow&) = delete;
  InfoWindow& operator=(const InfoWindow&) = delete;
  Form& GetForm() { return *Window; }

  std::unique_ptr<Form> Window;

 protected:
  InfoWindow(const char* caption, int left, int top, int width, int height);
};

class HelpWindow : public InfoWindow {
 public:
  HelpWindow();
  std::unique_ptr<Memo> HelpText;
};

class AboutWindow : public InfoWindow {
 public:
  AboutWindow();
  std::unique_ptr<Memo> AboutText;
};

}  // namespace tabulon
