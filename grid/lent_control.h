// LentControl: a control the grid uses but does not own, such as the editor
// its owner lends for one edit. The owner may destroy the control at any
// time; from then on it reads as none, so the grid never reaches a freed
// control (nor one that was later made at the same address).
#pragma once

#include <memory>

#include "control.h"

namespace tabulon {

class LentControl {
 public:
  LentControl& operator=(Control* control) {
    control_ = control;
    life_ = control != nullptr ? control->GetLifeToken() : std::weak_ptr<const void>();
    return *this;
  }
  // The control, or nullptr when none was lent or it has been destroyed.
  Control* Get() const { return life_.expired() ? nullptr : control_; }

 private:
  Control* control_ = nullptr;
  std::weak_ptr<const void> life_;
};

}  // namespace tabulon
