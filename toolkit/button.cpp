#include "button.h"

namespace tabulon {
namespace {

ControlParams Params(ControlKind kind, int width, int height) {
  ControlParams p;
  p.Kind = kind;
  p.Bounds = NewRectOfSize(0, 0, width, height);
  return p;
}

}  // namespace

Button::Button(Control* parent, const std::string& caption)
    : Control(parent, Params(ControlKind::Button, 64, 22)) {
  SetText(caption);
}

void Button::Notify(uint32_t code) {
  if (code == kBnClicked && OnClick) OnClick(*this);
}

CheckBox::CheckBox(Control* parent, const std::string& caption)
    : Control(parent, Params(ControlKind::CheckBox, 97, 17)) {
  SetText(caption);
}

bool CheckBox::IsChecked() const {
  return Perform(kBmGetCheck) == 1;
}

void CheckBox::SetChecked(bool checked) { Perform(kBmSetCheck, checked ? 1 : 0); }

void CheckBox::Notify(uint32_t code) {
  if (code == kBnClicked && OnClick) OnClick(*this);
}

std::unique_ptr<Button> NewButton(Control* parent, const std::string& caption) {
  return std::make_unique<Button>(parent, caption);
}

std::unique_ptr<CheckBox> NewCheckBox(Control* parent, const std::string& caption) {
  return std::make_unique<CheckBox>(parent, caption);
}

}  // namespace tabulon
