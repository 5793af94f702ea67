#include "xl_grid.h"

namespace tabulon {

XLGridCell::XLGridCell(XLGrid& owner, CellLook* look) : look_(look), owner_(&owner) {
  LookTable::AddUse(look_);
}

XLGridCell::~XLGridCell() {
  if (look_ != nullptr) owner_->Looks().Release(look_);
}

XLGridCell::XLGridCell(XLGridCell&& o) noexcept
    : text_(std::move(o.text_)), look_(o.look_), owner_(o.owner_), select_count_(o.select_count_) {
  o.look_ = nullptr;
}

XLGridCell& XLGridCell::operator=(XLGridCell&& o) noexcept {
  if (this == &o) return *this;
  if (look_ != nullptr) owner_->Looks().Release(look_);
  text_ = std::move(o.text_);
  look_ = o.look_;
  owner_ = o.owner_;
  select_count_ = o.select_count_;
  o.look_ = nullptr;
  return *this;
}

// Copy on write: the cell moves to the interned look equal to its own with
// the change applied; the old look is freed when no cell uses it any more.
template <typename F>
void XLGridCell::ChangeLook(F change) {
  CellLook value(*look_);
  change(value);
  if (value.SameLook(*look_)) return;
  owner_->BeginUpdate();
  LookTable& table = owner_->Looks();
  CellLook* next = table.Acquire(value);
  table.Release(look_);
  look_ = next;
  owner_->EndUpdate();
}

void XLGridCell::SetText(const std::string& text) {
  owner_->BeginUpdate();
  text_ = text;
  owner_->EndUpdate();
}

void XLGridCell::SetColor(Color color) {
  ChangeLook([color](CellLook& l) { l.Background = color; });
}

void XLGridCell::SetHAlign(uint8_t align) {
  ChangeLook([align](CellLook& l) { l.HAlign = align; });
}

void XLGridCell::SetVAlign(uint8_t align) {
  ChangeLook([align](CellLook& l) { l.VAlign = align; });
}

void XLGridCell::SetLine(XLGridSide side, Color color, int width) {
  ChangeLook([=](CellLook& l) {
    l.LineColors[side] = color;
    l.LineWidths[side] = width;
  });
}

void XLGridCell::SetMargins(const XLGridSides& m) {
  ChangeLook([&m](CellLook& l) {
    l.Margins[kSideLeft] = m.Left;
    l.Margins[kSideTop] = m.Top;
    l.Margins[kSideRight] = m.Right;
    l.Margins[kSideBottom] = m.Bottom;
  });
}

void XLGridCell::SetFont(const Font& font) {
  ChangeLook([&font](CellLook& l) { l.CellFont = font; });
}

void XLGridCell::SetMultiLine(bool on) {
  ChangeLook([on](CellLook& l) { l.MultiLine = on; });
}

void XLGridCell::SetDimmed(bool on) {
  ChangeLook([on](CellLook& l) { l.Dimmed = on; });
}

}  // namespace tabulon
