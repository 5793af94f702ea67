#include "custom_control.h"

namespace tabulon {
namespace {

ControlParams CustomParams(const CustomControlOptions& o) {
  ControlParams p;
  p.Kind = ControlKind::Custom;
  p.ClassName = o.ClassName;
  p.Style = o.Style | kWsChild | kWsVisible;
  p.ClassStyle = o.ClassStyle;
  p.Bounds = o.Bounds;
  return p;
}

}  // namespace

CustomControl::CustomControl(Control* parent, const CustomControlOptions& options)
    : Control(parent, CustomParams(options)) {
  SetBounds(options.Bounds);
}

std::unique_ptr<CustomControl> NewCustomControl(Control* parent, const CustomControlOptions& options) {
  return std::make_unique<CustomControl>(parent, options);
}

}  // namespace tabulon
