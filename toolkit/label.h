// Label: static text, left-aligned, sized to its text while AutoSize is on.
#pragma once

#include <memory>
#include <string>

#include "control.h"

namespace tabulon {

class Label : public Control {
 public:
  Label(Control* parent, const std::string& text);
  void SetText(const std::string& text) override;
  // On: the label takes the size of its text now and at every change.
  void SetAutoSize(bool on);
  bool GetAutoSize() const { return auto_size_; }

 protected:
  void FontChanged() override;

 private:
  void FitText(const std::string& text);
  bool auto_size_ = true;
};

std::unique_ptr<Label> NewLabel(Control* parent, const std::string& text);

}  // namespace tabulon
