#include "cell_look.h"

#include <functional>

namespace tabulon {

bool CellLook::SameLook(const CellLook& o) const {
  for (int i = 0; i < 4; ++i) {
    if (LineColors[i] != o.LineColors[i] || LineWidths[i] != o.LineWidths[i] ||
        Margins[i] != o.Margins[i])
      return false;
  }
  return HAlign == o.HAlign && VAlign == o.VAlign && Background == o.Background &&
         MultiLine == o.MultiLine && Dimmed == o.Dimmed && CellFont.SameFace(o.CellFont);
}

size_t CellLook::Hash() const {
  size_t h = std::hash<std::string>()(CellFont.GetName());
  auto mix = [&h](uint64_t v) { h ^= size_t(v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2)); };
  for (int i = 0; i < 4; ++i) {
    mix(LineColors[i]);
    mix(uint32_t(LineWidths[i]));
    mix(uint32_t(Margins[i]));
  }
  mix(HAlign | (uint32_t(VAlign) << 8) | (uint32_t(MultiLine) << 16) | (uint32_t(Dimmed) << 17));
  mix(Background);
  mix(uint32_t(CellFont.GetSize()) | (uint64_t(CellFont.GetStyle()) << 32) |
      (uint64_t(CellFont.GetCharSet()) << 40));
  mix(CellFont.GetColor());
  return h;
}

LookTable::~LookTable() {
  for (CellLook* l : looks_) delete l;
}

CellLook* LookTable::Acquire(const CellLook& value) {
  auto it = looks_.find(const_cast<CellLook*>(&value));
  CellLook* look;
  if (it != looks_.end()) {
    look = *it;
  } else {
    look = new CellLook(value);
    look->Uses = 0;
    look->Forward = nullptr;
    looks_.insert(look);
  }
  ++look->Uses;
  return look;
}

void LookTable::Release(CellLook* look) {
  if (look == nullptr || --look->Uses > 0) return;
  looks_.erase(look);
  delete look;
}

}  // namespace tabulon
