#include "list_box.h"

#include "driver.h"

namespace tabulon {
namespace {

ControlParams ListParams(const ListBoxOptions& o) {
  ControlParams p;
  p.Kind = ControlKind::ListBox;
  p.Options = kOptVScrollBar | kOptBorderSunken | (o.IntegralHeight ? 0 : kOptNoIntegralHeight);
  p.Bounds = NewRectOfSize(0, 0, 120, 84);
  return p;
}

ControlParams ComboParams(const ComboBoxOptions& o) {
  ControlParams p;
  p.Kind = ControlKind::ComboBox;
  p.Options = o.IntegralHeight ? 0 : kOptNoIntegralHeight;
  p.Style = uint32_t(o.DropDownLines);
  p.Bounds = NewRectOfSize(0, 0, 100, 22);
  return p;
}

}  // namespace

ListBox::ListBox(Control* parent, const ListBoxOptions& options) : Control(parent, ListParams(options)) {}

void ListBox::Clear() { Perform(kLbResetContent); }
void ListBox::AddLine(const std::string& line) { GetPeer().AddItem(line); }

void ListBox::SetLines(const std::vector<std::string>& lines) {
  Clear();
  GetPeer().AddItems(lines);
}
int ListBox::GetCount() const { return int(Perform(kLbGetCount)); }
std::string ListBox::GetLine(int index) const { return GetPeer().GetItem(index); }
int ListBox::GetItemIndex() const { return int(Perform(kLbGetCurSel)); }
void ListBox::SetItemIndex(int index) { Perform(kLbSetCurSel, uintptr_t(intptr_t(index))); }

void ListBox::Notify(uint32_t code) {
  if (code == kLbnDblClk && OnDblClick) OnDblClick(*this);
  if (code == kLbnSelChange && OnChange) OnChange(*this);
}

ComboBox::ComboBox(Control* parent, const ComboBoxOptions& options)
    : Control(parent, ComboParams(options)) {}

void ComboBox::Clear() { Perform(kCbResetContent); }
void ComboBox::AddItem(const std::string& item) { GetPeer().AddItem(item); }

void ComboBox::SetItems(const std::vector<std::string>& items) {
  Clear();
  for (const std::string& item : items) AddItem(item);
}

int ComboBox::GetCount() const { return int(Perform(kCbGetCount)); }
std::string ComboBox::GetItem(int index) const { return GetPeer().GetItem(index); }
int ComboBox::GetItemIndex() const { return int(Perform(kCbGetCurSel)); }
void ComboBox::SetItemIndex(int index) { Perform(kCbSetCurSel, uintptr_t(intptr_t(index))); }

std::string ComboBox::GetText() const {
  int i = GetItemIndex();
  return i < 0 ? std::string() : GetItem(i);
}

void ComboBox::Notify(uint32_t code) {
  if (code == kCbnSelChange && OnChange) OnChange(*this);
}

std::unique_ptr<ListBox> NewListBox(Control* parent, const ListBoxOptions& options) {
  return std::make_unique<ListBox>(parent, options);
}

std::unique_ptr<ComboBox> NewComboBox(Control* parent, const ComboBoxOptions& options) {
  return std::make_unique<ComboBox>(parent, options);
}

}  // namespace tabulon
