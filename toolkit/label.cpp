#include "label.h"

#include "driver.h"

namespace tabulon {
namespace {

ControlParams LabelParams() {
  ControlParams p;
  p.Kind = ControlKind::Label;
  p.Bounds = NewRectOfSize(0, 0, 65, 13);
  return p;
}

}  // namespace

Label::Label(Control* parent, const std::string& text) : Control(parent, LabelParams()) {
  SetText(text);
}

// Sized before the text changes: a static control shown at its old size
// lays a longer text out on two lines, and a resize afterwards repaints
// only the part it adds.
void Label::SetText(const std::string& text) {
  FitText(text);
  Control::SetText(text);
}

void Label::SetAutoSize(bool on) {
  auto_size_ = on;
  FitText(GetText());
}

void Label::FontChanged() { FitText(GetText()); }

void Label::FitText(const std::string& text) {
  if (!auto_size_) return;
  Size s = GetPeer().MeasureText(text);
  Rect b = GetBounds();
  if (b.GetWidth() != s.Width || b.GetHeight() != s.Height) SetSize(s.Width, s.Height);
}

std::unique_ptr<Label> NewLabel(Control* parent, const std::string& text) {
  return std::make_unique<Label>(parent, text);
}

}  // namespace tabulon
