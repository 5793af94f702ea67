// A grid data source for tests, on every backend.
#pragma once

#include <functional>
#include <string>

#include "xl_grid.h"

namespace tabulon {

// A data source made of the handlers a test sets; a handler not set
// answers as a grid without a source would.
struct TestSource final : XLGridDataSource {
  std::function<void(int, int, Control*&, Control*&, XLGridSides&)> Begin;
  std::function<void(int, int, std::string&, bool, bool&)> End;
  std::function<void(int, int)> Fetch;
  std::function<void(int, int, XLGridCellData&)> Cell;
  std::function<void(int, std::string&)> Title;

  void FetchRows(int first, int last) override {
    if (Fetch) Fetch(first, last);
  }
  XLGridCellData GetCellData(int col, int row) override {
    XLGridCellData data;
    if (Cell) Cell(col, row, data);
    return data;
  }
  std::string GetRowTitle(int row) override {
    std::string title;
    if (Title) Title(row, title);
    return title;
  }
  XLGridEditor BeginEdit(int col, int row) override {
    XLGridEditor lent;
    if (Begin) Begin(col, row, lent.Editor, lent.EditControl, lent.Margins);
    return lent;
  }
  bool EndEdit(int col, int row, std::string& text, bool accept) override {
    bool allow = true;
    if (End) End(col, row, text, accept, allow);
    return allow;
  }
};

}  // namespace tabulon
