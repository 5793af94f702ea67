// Push buttons and check boxes (one short file each in the backends).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "control.h"

namespace tabulon {

// Default size 64 x 22.
class Button : public Control {
 public:
  Button(Control* parent, const std::string& caption);
  std::function<void(Button& sender)> OnClick;

 protected:
  void Notify(uint32_t code) override;
};

// A check box that toggles itself when clicked. Default size 97 x 17.
class CheckBox : public Control {
 public:
  CheckBox(Control* parent, const std::string& caption);
  bool IsChecked() const;
  void SetChecked(bool checked);
  // Raised after the user toggled the box.
  std::function<void(CheckBox& sender)> OnClick;

 protected:
  void Notify(uint32_t code) override;
};

std::unique_ptr<Button> NewButton(Control* parent, const std::string& caption);
std::unique_ptr<CheckBox> NewCheckBox(Control* parent, const std::string& caption);

}  // namespace tabulon
