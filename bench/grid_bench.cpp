// The grid paths a user waits for: filling a 65,535 by 20 grid (a table
// being loaded) and painting a full 1,280 by 1,024 view of it; and what a
// cell costs in memory, counted by the allocator.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "form.h"
#include "headless_driver.h"
#include "xl_grid.h"

namespace {

// Bytes in live allocations, as the allocator hands them out (its rounding
// included).
std::atomic<size_t> g_allocated{0};

}  // namespace

// Every allocation of the process is counted while it lives, so the memory
// a grid holds can be read off before and after it is filled.
void* operator new(size_t size) {
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    g_allocated += malloc_usable_size(p);
    return p;
  }
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  if (p != nullptr) g_allocated -= malloc_usable_size(p);
  std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace tabulon {
namespace {

constexpr int kCols = 20;
constexpr int kRows = 65535;
constexpr uint8_t kTableViewOptions = 0x7C;
// The grid's window has a one-pixel border and both scroll bars.
constexpr int kFrame = 2 * headless::kBorderSize + headless::kScrollBarSize;

struct Fixture {
  Fixture() {
    form = NewForm("bench");
    form->SetClientSize(1400, 1100);
    form->Show();
    grid = NewXLGrid(form.get(), 0, 0, kTableViewOptions);
    grid->SetBounds(0, 0, 1280 + kFrame, 1024 + kFrame);
  }
  void Fill(int rows = kRows) {
    grid->BeginUpdate();
    grid->SetColCount(kCols);
    grid->SetRowCount(rows);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < kCols; ++c) grid->GetCell(c, r).SetText(Text(c, r));
    grid->EndUpdate();
  }
  static std::string Text(int c, int r) {
    std::string t = "R" + std::to_string(r) + "C" + std::to_string(c);
    t.resize(10, '.');
    return t;
  }
  std::unique_ptr<Form> form;
  std::unique_ptr<XLGrid> grid;
};

void BM_FillGrid(benchmark::State& state) {
  for (auto _ : state) {
    Fixture f;
    f.Fill();
    benchmark::DoNotOptimize(f.grid->GetCell(kCols - 1, kRows - 1).GetText().data());
    state.PauseTiming();
    f.grid.reset();  // freeing is not part of the fill
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FillGrid)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PaintFullView(benchmark::State& state) {
  Fixture f;
  f.Fill();
  f.grid->SetCurrentCell(3, 30000);
  auto window = f.grid->NewWindowCanvas();
  headless::HeadlessCanvas* buffer = headless::AsHeadless(f.grid->GetBuffer().GetCanvas());
  headless::HeadlessCanvas* screen = headless::AsHeadless(*window);
  for (auto _ : state) {
    f.grid->Paint(*window);
    state.PauseTiming();
    buffer->ClearLog();  // the headless canvas's own record is not painting
    screen->ClearLog();
    state.ResumeTiming();
  }
  state.counters["cells"] = double(f.grid->VisibleColCount() + 1) * (f.grid->VisibleRowCount() + 1);
}
BENCHMARK(BM_PaintFullView)->Unit(benchmark::kMillisecond);

// Bytes the grid allocates per cell once filled, besides the texts, which
// at 10 characters sit inside the string objects themselves. The form, the
// grid's window and their drawing surfaces cost the same for one row as
// for all of them: a grid of one row is the baseline that takes them out.
void BM_BytesPerCell(benchmark::State& state) {
  auto filled_bytes = [](int rows) {
    const size_t before = g_allocated;
    Fixture f;
    f.Fill(rows);
    return g_allocated - before;
  };
  for (auto _ : state) {
    const size_t one_row = filled_bytes(1);
    const size_t all_rows = filled_bytes(kRows);
    state.counters["bytes_per_cell"] = double(all_rows - one_row) / (double(kCols) * (kRows - 1));
    state.counters["window_bytes"] = double(one_row);
  }
  state.counters["sizeof_cell"] = double(sizeof(XLGridCell));
  Fixture f;
  f.Fill();
  state.counters["looks"] = double(f.grid->GetLookCount());
}
BENCHMARK(BM_BytesPerCell)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace tabulon

BENCHMARK_MAIN();
