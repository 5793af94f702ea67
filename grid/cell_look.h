// CellLook: what a data cell looks like (border lines, font, margins,
// alignments, background colour). Cells that look alike point at one shared
// look; a cell that changes any part of its look is given another look with
// that change, found again in the table when an equal one already exists.
// The looks are interned by value in a LookTable owned by the grid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_set>

#include "color.h"
#include "font.h"

namespace tabulon {

// Sides of a cell, in the order of the line and margin arrays.
enum XLGridSide : int { kSideLeft = 0, kSideTop = 1, kSideRight = 2, kSideBottom = 3 };

struct CellLook {
  Color LineColors[4] = {0, 0, 0, 0};
  int32_t LineWidths[4] = {0, 0, 0, 0};
  Font CellFont;
  int32_t Margins[4] = {0, 0, 0, 0};
  uint8_t HAlign = 0;
  uint8_t VAlign = 0;
  Color Background = 0;
  // The text is drawn on several lines: broken at its line breaks and
  // wrapped at the cell's width (otherwise one line, cut at the edge).
  bool MultiLine = false;
  // The text is drawn in the system's grey text colour (a row that counts
  // for less, such as a record marked deleted) unless the cell is selected.
  bool Dimmed = false;

  // Number of cells that use this look (the table's own entry not counted).
  uint32_t Uses = 0;
  // Scratch link used while every look is rewritten at once (font change).
  CellLook* Forward = nullptr;

  // Same appearance; Uses and Forward do not count.
  bool SameLook(const CellLook& o) const;
  size_t Hash() const;
};

class LookTable {
 public:
  LookTable() = default;
  ~LookTable();
  LookTable(const LookTable&) = delete;
  LookTable& operator=(const LookTable&) = delete;

  // The interned look equal to value, made when none exists; its Uses is
  // raised by one for the caller.
  CellLook* Acquire(const CellLook& value);
  // One more user of an interned look.
  static void AddUse(CellLook* look) { ++look->Uses; }
  // One user fewer; the look is freed when nobody uses it.
  void Release(CellLook* look);
  size_t GetCount() const { return looks_.size(); }

  // Every look, for rewriting them all (the table keeps ownership).
  template <typename F>
  void ForEach(F f) const {
    for (CellLook* l : looks_) f(l);
  }

 private:
  struct HashByValue {
    size_t operator()(const CellLook* l) const { return l->Hash(); }
  };
  struct EqualByValue {
    bool operator()(const CellLook* a, const CellLook* b) const { return a->SameLook(*b); }
  };
  std::unordered_set<CellLook*, HashByValue, EqualByValue> looks_;
};

}  // namespace tabulon
