// A grid of millions of rows whose owner supplies the texts, and the
// per-row values (heights, marks) that cost only the rows that differ.
#include <random>
#include <string>
#include <vector>

#include "grid_test_support.h"
#include "input.h"
#include "row_values.h"

namespace tabulon {
namespace {

// Random changes to a few dozen rows, checked against one value per row.
TEST(RowValuesTest, MatchesAValuePerRowThroughEveryChange) {
  std::mt19937 random(7);
  RowValues values(20);
  std::vector<int32_t> model(40, 20);
  for (int step = 0; step < 3000; ++step) {
    const int n = int(model.size());
    const int a = int(random() % uint32_t(n)), b = int(random() % uint32_t(n));
    switch (random() % 6) {
      case 0: case 1: {
        const int32_t v = int32_t(random() % 4) + 19;
        values.Set(a, v);
        model[size_t(a)] = v;
        break;
      }
      case 2: {
        values.Move(a, b);
        const int32_t moved = model[size_t(a)];
        model.erase(model.begin() + a);
        model.insert(model.begin() + b, moved);
        break;
      }
      case 3: {  // shrink, then grow with another value
        const int32_t fill = int32_t(random() % 3) + 20;
        values.Cut(a + 1);
        values.Grow(a + 1, n, fill);
        std::fill(model.begin() + a + 1, model.end(), fill);
        break;
      }
      case 4:
        if (random() % 20 == 0) {
          values.SetAll(21);
          std::fill(model.begin(), model.end(), 21);
        }
        break;
      default: {
        int64_t sum = 0;
        for (int r = std::min(a, b); r < std::max(a, b); ++r) sum += model[size_t(r)];
        ASSERT_EQ(values.Sum(std::min(a, b), std::max(a, b)), sum) << step;
        std::vector<int> above, expected;
        values.ForEachAbove(n, 20, [&above](int32_t r) { above.push_back(r); });
        for (int r = 0; r < n; ++r)
          if (model[size_t(r)] > 20) expected.push_back(r);
        ASSERT_EQ(above, expected) << step;
      }
    }
    for (int r = 0; r < n; ++r) ASSERT_EQ(values.Get(r), model[size_t(r)]) << step << " row " << r;
  }
}

using GridOwnerData = GridTest;

TEST_F(GridOwnerData, AGridOfMillionsOfRowsDrawsWhatItsOwnerSays) {
  constexpr int kRows = 3000000;
  XLGrid& g = Make(3, 0, kTableViewOptions);
  g.SetOwnerData(true);
  std::vector<std::pair<int, int>> fetched;
  source_.Fetch = ([&](int first, int last) { fetched.emplace_back(first, last); });
  source_.Cell = ([](int col, int row, XLGridCellData& data) {
    data.Text = "c" + std::to_string(col) + "r" + std::to_string(row);
    data.Dimmed = row % 2 == 1;
  });
  source_.Title = ([](int row, std::string& title) { title = std::to_string(row + 1); });
  g.SetRowCount(kRows);
  ASSERT_EQ(g.RowCount(), kRows);
  EXPECT_EQ(g.GetRowExceptionCount(), 0u);

  // One fetch per paint, of the rows drawn; dimmed rows in grey.
  g.SetCurrentCell(1, kRows - 1);
  const int top = g.GetTopRow();
  EXPECT_EQ(top + g.VisibleRowCount(), kRows);
  fetched.clear();
  bool last_drawn = false, grey = false;
  for (const headless::CanvasCall& call : PaintLog()) {
    last_drawn |= call.Text == "c1r2999999";
    grey |= call.Text == "c0r2999999" && call.TextFont.GetColor() == kClGrayText;
  }
  EXPECT_TRUE(last_drawn);
  EXPECT_TRUE(grey);
  ASSERT_EQ(fetched.size(), 1u);
  EXPECT_EQ(fetched[0], std::make_pair(top, kRows - 1));
  EXPECT_EQ(g.GetRowTitle(kRows - 1), "3000000");

  // A row sized far above the view moves every row below it.
  const Rect before = g.CellRect(0, 0);
  g.SetRowHeight(5, g.GetDefaultRowHeight() + 30);
  EXPECT_EQ(g.CellRect(0, 0).Top, before.Top - 30);
  EXPECT_EQ(g.RowAtY(g.CellRect(0, kRows - 1).Top + 1), kRows - 1);
  // Marks and SelectAll cost no row each.
  g.MarkRow(kRows - 1, true);
  EXPECT_TRUE(g.IsCellSelected(0, kRows - 1));
  g.SelectAll(true);
  EXPECT_TRUE(g.IsCellSelected(2, 1234567));
  g.SelectAll(false);
  EXPECT_FALSE(g.IsCellSelected(2, 1234567));
  EXPECT_EQ(g.GetRowExceptionCount(), 1u);

  g.MoveRow(0, 1);  // the owner's rows stay in its order
  EXPECT_EQ(g.GetCellText(0, 0), "c0r0");

  // As many rows as int can count with a page to spare: the last page
  // and the keys past it stay within int.
  g.SetRowCount(INT32_MAX);
  EXPECT_EQ(g.RowCount(), kXLGridMaxRows);
  g.SetCurrentCell(0, kXLGridMaxRows - 1);
  g.SetFocus();
  for (int key : {kVkNext, kVkDown, kVkEnd}) headless::PressKey(g, key);
  PaintLog();
  EXPECT_EQ(g.GetCurrentCell().Row, kXLGridMaxRows - 1);
}

}  // namespace
}  // namespace tabulon
