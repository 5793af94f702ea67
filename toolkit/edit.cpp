#include "edit.h"

#include "driver.h"

namespace tabulon {
namespace {

ControlParams EditParams(const EditOptions& o) {
  ControlParams p;
  p.Kind = ControlKind::Edit;
  p.Options = kOptBorderSunken | kOptAutoHScroll;
  if (o.DigitsOnly) p.Options |= kOptDigitsOnly;
  if (o.ReadOnly) p.Options |= kOptReadOnly;
  p.Bounds = NewRectOfSize(0, 0, 100, 22);
  return p;
}

ControlParams MemoParams(const MemoOptions& o) {
  ControlParams p;
  p.Kind = ControlKind::Memo;
  if (o.VScrollBar) p.Options |= kOptVScrollBar;
  if (o.HScrollBar) p.Options |= kOptHScrollBar;
  if (o.AutoVScroll) p.Options |= kOptAutoVScroll;
  if (o.AutoHScroll) p.Options |= kOptAutoHScroll;
  if (o.ReadOnly) p.Options |= kOptReadOnly;
  if (o.Border == BorderStyle::Single) p.Options |= kOptBorderSingle;
  if (o.Border == BorderStyle::Sunken) p.Options |= kOptBorderSunken;
  p.Bounds = NewRectOfSize(0, 0, 200, 200);
  return p;
}

}  // namespace

Edit::Edit(Control* parent, const EditOptions& options) : Control(parent, EditParams(options)) {}
Edit::Edit(Control* parent, const ControlParams& params) : Control(parent, params) {}

void Edit::SetMaxLength(int chars) { Perform(kEmSetLimitText, uintptr_t(chars < 0 ? 0 : chars)); }
int Edit::GetMaxLength() const { return int(Perform(kEmGetLimitText)); }
void Edit::SetReadOnly(bool on) { Perform(kEmSetReadOnly, on ? 1 : 0); }

void Edit::Notify(uint32_t code) {
  if (code == kEnChange && OnChange) OnChange(*this);
}

Memo::Memo(Control* parent, const MemoOptions& options) : Edit(parent, MemoParams(options)) {}

void Memo::Append(const std::string& text) { GetPeer().AppendText(text); }
int Memo::GetLineCount() { return int(Perform(kEmGetLineCount)); }

std::unique_ptr<Edit> NewEdit(Control* parent, const EditOptions& options) {
  return std::make_unique<Edit>(parent, options);
}

std::unique_ptr<Memo> NewMemo(Control* parent, const MemoOptions& options) {
  return std::make_unique<Memo>(parent, options);
}

}  // namespace tabulon
