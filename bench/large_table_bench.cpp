// The table view of a table of 2,000,000 records of 20 fields, as the user
// waits for it: opening it to its first screen, jumping between its first
// and last records, paging down, searching one field of every record and
// editing one cell; and the command line printing every record, against
// the engine reading every value of every record.
// Each figure comes with the process's peak resident memory so far (its
// own executable, so that no other benchmark's tables count).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli_commands.h"
#include "headless_driver.h"
#include "input.h"
#include "program.h"
#include "support/large_table.h"
#include "support/temp_folder.h"

namespace tabulon {
namespace {

constexpr uint32_t kRecords = 2000000;

// Written once for every benchmark, removed at exit.
const std::string& LargeTablePath() {
  static const test::TempFolder folder("tabulon-bench");
  static const std::string path = [] {
    const std::string p = folder.Path("large.dbf");
    return test::WriteLargeTable(p, kRecords) ? p : std::string();
  }();
  return path;
}

void ReportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// The headless backend logs every drawing call for tests to read; the log
// is dropped after each paint so that memory counts what the program holds.
void PaintAndForget(XLGrid& grid) {
  grid.Update();
  headless::AsHeadless(grid.GetBuffer().GetCanvas())->ClearLog();
  headless::GetWindowSurface(grid).ClearLog();
}

// A fresh program with its window shown and the open dialog answered with
// the large table; none (the benchmark skipped) when it could not be written.
std::unique_ptr<Program> NewProgramAboutToOpen(benchmark::State& state) {
  if (LargeTablePath().empty()) {
    state.SkipWithError("the table could not be written");
    return nullptr;
  }
  headless::Reset();
  auto program = NewProgram();
  program->GetMainWindow().Window->Show();
  headless::QueueFileDialogAnswer(LargeTablePath());
  return program;
}

// Opening the table and drawing its first screen: what the user waits for.
void OpenToFirstScreen(Program& program) {
  MainWindow& w = program.GetMainWindow();
  w.LoadTable();
  PaintAndForget(*w.TableGrid);
}

// A fresh program whose window shows the large table, first screen drawn.
std::unique_ptr<Program> OpenLargeTable(benchmark::State& state) {
  auto program = NewProgramAboutToOpen(state);
  if (program) OpenToFirstScreen(*program);
  return program;
}

void BM_OpenToFirstScreen(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto program = NewProgramAboutToOpen(state);
    if (!program) return;
    state.ResumeTiming();
    OpenToFirstScreen(*program);
    state.PauseTiming();
    XLGrid& g = *program->GetMainWindow().TableGrid;
    if (g.RowCount() != int(kRecords) || g.GetCellText(0, 0) != "n1")
      state.SkipWithError("the table did not load");
    program.reset();
    state.ResumeTiming();
  }
  ReportPeakMemory(state);
}
BENCHMARK(BM_OpenToFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(5);

// Each jump goes to the other end of the table and paints it.
void BM_JumpBetweenFirstAndLastRecord(benchmark::State& state) {
  auto program = OpenLargeTable(state);
  if (!program) return;
  XLGrid& g = *program->GetMainWindow().TableGrid;
  int row = 0;
  for (auto _ : state) {
    row = row == 0 ? int(kRecords) - 1 : 0;
    g.SetCurrentCell(0, row);
    PaintAndForget(g);
  }
  if (g.GetCellText(0, int(kRecords) - 1) != "n" + std::to_string(kRecords))
    state.SkipWithError("the last record is not shown");
  ReportPeakMemory(state);
}
BENCHMARK(BM_JumpBetweenFirstAndLastRecord)->Unit(benchmark::kMillisecond)->Iterations(20);

// One page down and its paint per iteration, 100 in a row.
void BM_PageDown(benchmark::State& state) {
  auto program = OpenLargeTable(state);
  if (!program) return;
  XLGrid& g = *program->GetMainWindow().TableGrid;
  g.SetCurrentCell(0, int(kRecords) / 2);
  PaintAndForget(g);
  g.SetFocus();
  for (auto _ : state) {
    headless::PressKey(g, kVkNext);
    PaintAndForget(g);
  }
  if (g.GetCurrentCell().Row <= int(kRecords) / 2) state.SkipWithError("the view did not move");
  ReportPeakMemory(state);
}
BENCHMARK(BM_PageDown)->Unit(benchmark::kMillisecond)->Iterations(100);

// Field 0 of every record against a mask that 100 records match.
void BM_SearchOneFieldOfAllRecords(benchmark::State& state) {
  auto program = OpenLargeTable(state);
  if (!program) return;
  MainWindow& w = program->GetMainWindow();
  w.TableGrid->SetCurrentCell(0, 0);
  w.SearchMaskEdit->SetText("n1999??");
  for (auto _ : state) w.RunSearch();
  if (w.SearchResultList->GetCount() != 100) state.SkipWithError("wrong hits");
  ReportPeakMemory(state);
}
BENCHMARK(BM_SearchOneFieldOfAllRecords)->Unit(benchmark::kMillisecond)->Iterations(3);

// One in-place edit of a record in the middle, through the session, as
// the window's edit of a cell writes it: one open of the table.
void BM_EditOneCell(benchmark::State& state) {
  auto program = OpenLargeTable(state);
  if (!program) return;
  TableSession& session = *program->GetMainWindow().Session;
  int i = 0;
  for (auto _ : state) {
    const Outcome o = session.EditCell(int32_t(kRecords / 2), 1, "v" + std::to_string(++i % 10));
    if (!o.IsDone()) state.SkipWithError("the edit was not written");
  }
  ReportPeakMemory(state);
}
BENCHMARK(BM_EditOneCell)->Unit(benchmark::kMillisecond)->Iterations(20);

// The floor the command line is measured against: the engine reading
// every value of every record as a user reads it.
void BM_EngineReadsEveryValue(benchmark::State& state) {
  if (LargeTablePath().empty()) return state.SkipWithError("the table could not be written");
  size_t bytes = 0;
  for (auto _ : state) {
    auto table = NewDbfTable(LargeTablePath(), "", false);
    table->SetReadingOnly(true);
    table->SetActive(true);
    for (int32_t n = 1; n <= int32_t(table->RecordCount()); ++n) {
      table->GoTo(n);
      for (int f = 1; f <= table->GetFieldCount(); ++f) bytes += table->GetFieldText(f).size();
    }
    table->SetActive(false);
  }
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_EngineReadsEveryValue)->Unit(benchmark::kMillisecond)->Iterations(2);

// tabulon-cli show TABLE > /dev/null.
void BM_CommandLineShowsEveryRecord(benchmark::State& state) {
  if (LargeTablePath().empty()) return state.SkipWithError("the table could not be written");
  // Standard output goes to /dev/null for the runs, and back for the report.
  std::fflush(stdout);
  const int saved = dup(1);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  int status = -1;
  for (auto _ : state) {
    cli::Invocation run;
    run.Args = {LargeTablePath()};
    status = cli::RunShow(run);
  }
  std::fflush(stdout);
  dup2(saved, 1);
  close(null);
  close(saved);
  if (status != 0) state.SkipWithError("show failed");
}
BENCHMARK(BM_CommandLineShowsEveryRecord)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace tabulon

BENCHMARK_MAIN();
