// A grid on a shown form with a fixed client size, for the grid's suites.
#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "form.h"
#include "headless_driver.h"
#include "test_source.h"
#include "xl_grid.h"

namespace tabulon {

// The grid's window has a one-pixel border and both scroll bars.
constexpr int kGridFrame = 2 * headless::kBorderSize + headless::kScrollBarSize;

class GridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    form_ = NewForm("grid");
    form_->SetClientSize(1400, 1100);
    form_->Show();
  }

  // A grid whose client area is width by height pixels.
  XLGrid& Make(int cols, int rows, uint8_t options, int width = 400, int height = 300) {
    grid_ = NewXLGrid(form_.get(), cols, rows, options);
    grid_->SetDataSource(&source_);
    grid_->SetBounds(0, 0, width + kGridFrame, height + kGridFrame);
    return *grid_;
  }

  // The log of the grid's off-screen buffer after one paint of the window.
  const std::vector<headless::CanvasCall>& PaintLog() {
    headless::HeadlessCanvas* buffer = headless::AsHeadless(grid_->GetBuffer().GetCanvas());
    buffer->ClearLog();
    headless::SendMessageTo(*grid_, kWmPaint);
    return buffer->GetLog();
  }

  std::unique_ptr<Form> form_;
  TestSource source_;
  std::unique_ptr<XLGrid> grid_;
};

// Options of the program's two grids.
constexpr uint8_t kTableViewOptions = 0x7C;
constexpr uint8_t kFieldGridOptions = 0x5C;

}  // namespace tabulon
