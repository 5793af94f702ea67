// The table commands a user waits for: packing a 50,000-record memo table
// with half of it marked deleted, and appending and deleting a record of a
// 65,535-record table, each with the refill of the view.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench_files.h"
#include "headless_driver.h"
#include "program.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

using bench::Padded;
using bench::WriteFile;

struct Session {
  explicit Session(const std::string& path) {
    headless::Reset();
    program = NewProgram();
    window = &program->GetMainWindow();
    window->Window->Show();
    headless::QueueFileDialogAnswer(path);
    window->LoadTable();
  }
  std::unique_ptr<Program> program;
  MainWindow* window = nullptr;
};

void WriteMemoTable(const std::string& folder) {
  std::vector<std::string> texts;
  for (int r = 0; r < 50000; ++r) texts.push_back("memo text of record " + std::to_string(r));
  const std::vector<uint32_t> blocks = test::DbtBlocks(texts);
  test::TableSpec t;
  t.Version = 0x83;
  t.Fields = {{"NAME", 'C', 20}, {"NOTE", 'M', 10}, {"N", 'N', 8}};
  for (int r = 0; r < 50000; ++r)
    t.Records.push_back(std::string(r % 2 == 0 ? " " : "*") + Padded("name" + std::to_string(r), 20) +
                        test::Ref(blocks[size_t(r)]) + "       1");
  WriteFile(folder + "/pack.dbf", test::MakeTable(t));
  WriteFile(folder + "/pack.dbt", test::MakeDbt(texts));
}

void BM_PackMemoTable(benchmark::State& state) {
  const test::TempFolder temp("tabulon-bench");
  const std::string folder = temp.Path();
  for (auto _ : state) {
    state.PauseTiming();
    WriteMemoTable(folder);
    Session s(folder + "/pack.dbf");
    state.ResumeTiming();
    s.window->PackTable();
    state.PauseTiming();
    if (s.window->TableGrid->RowCount() != 25000) state.SkipWithError("the pack went wrong");
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PackMemoTable)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AppendAndDeleteInALongTable(benchmark::State& state) {
  const test::TempFolder temp("tabulon-bench");
  const std::string folder = temp.Path();
  test::TableSpec t;
  for (int f = 0; f < 10; ++f) t.Fields.push_back({"F" + std::to_string(f), 'C', 10});
  for (int r = 0; r < 65534; ++r) {
    std::string rec = " ";
    for (int f = 0; f < 10; ++f) rec += Padded("v" + std::to_string(r * 10 + f), 10);
    t.Records.push_back(rec);
  }
  WriteFile(folder + "/long.dbf", test::MakeTable(t));
  Session s(folder + "/long.dbf");
  for (auto _ : state) {
    s.window->AppendRecord();
    s.window->TableGrid->SetCurrentCell(0, 65534);
    s.window->DeleteRecord();
  }
  if (s.window->TableGrid->RowCount() != 65534) state.SkipWithError("append or delete went wrong");
}
BENCHMARK(BM_AppendAndDeleteInALongTable)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace tabulon

BENCHMARK_MAIN();
