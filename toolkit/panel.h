// Panel: a plain container, usually aligned to an edge of its parent, with
// an optional raised one-pixel edge.
#pragma once

#include <memory>

#include "control.h"

namespace tabulon {

struct PanelOptions {
  Align Alignment = Align::None;
  int Height = 41;  // for top and bottom alignment
  bool RaisedEdge = true;
};

class Panel : public Control {
 public:
  explicit Panel(Control* parent, const PanelOptions& options);
};

std::unique_ptr<Panel> NewPanel(Control* parent, const PanelOptions& options = {});

}  // namespace tabulon
