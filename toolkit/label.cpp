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

void Label::SetText(const std::string& text) {
  Control::SetText(text);
  FitText();
}

void Label::SetAutoSize(bool on) {
  auto_size_ = on;
  FitText();
}

void Label::FontChanged() { FitText(); }

void Label::FitText() {
  if (!auto_size_) return;
  Size s = GetPeer().MeasureText(GetText());
  Rect b = GetBounds();
  if (b.GetWidth() != s.Width || b.GetHeight() != s.Height) SetSize(s.Width, s.Height);
}

std::unique_ptr<Label> NewLabel(Control* parent, const std::string& text) {
  return std::make_unique<Label>(parent, text);
}

}  // namespace tabulon
