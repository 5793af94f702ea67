#include "panel.h"

namespace tabulon {
namespace {

ControlParams PanelParams(const PanelOptions& o) {
  ControlParams p;
  p.Kind = ControlKind::Panel;
  p.Options = o.RaisedEdge ? kOptRaisedEdge : 0;
  p.Bounds = NewRectOfSize(0, 0, 185, o.Height);
  return p;
}

}  // namespace

Panel::Panel(Control* parent, const PanelOptions& options) : Control(parent, PanelParams(options)) {
  SetBounds(0, 0, 185, options.Height);
  SetAlign(options.Alignment);
}

std::unique_ptr<Panel> NewPanel(Control* parent, const PanelOptions& options) {
  return std::make_unique<Panel>(parent, options);
}

}  // namespace tabulon
