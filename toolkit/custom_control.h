// CustomControl: a child window of a class of its own that paints itself
// and takes every message through its message hook (the grid is one).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "control.h"

namespace tabulon {

struct CustomControlOptions {
  std::string ClassName = "TabulonCustom";
  // Win32 window style; kWsChild and kWsVisible are always added.
  uint32_t Style = kWsChild | kWsVisible | kWsTabStop;
  // Class style (kCsDblClks for double clicks, kCsHRedraw | kCsVRedraw to
  // repaint the whole window when it is resized).
  uint32_t ClassStyle = kCsDblClks;
  Rect Bounds = Rect{0, 0, 200, 100};
};

class CustomControl : public Control {
 public:
  CustomControl(Control* parent, const CustomControlOptions& options);
};

std::unique_ptr<CustomControl> NewCustomControl(Control* parent,
                                                const CustomControlOptions& options = {});

}  // namespace tabulon
