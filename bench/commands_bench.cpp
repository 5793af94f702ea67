// The table commands a user waits for: packing a 50,000-record memo table
// with half of it marked deleted, appending and deleting a record of a
// 65,535-record table, each with the refill of the view; and the first
// screen of a table with and without its index files.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench_files.h"
#include "headless_driver.h"
#include "program.h"
#include "support/index_bytes.h"
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
  test::TableLayout t;
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
  test::TableLayout t;
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

// Arg 1: a structural .cdx of three tags and loose .ntx and .ndx files
// beside the table, found, opened and read at the load; Arg 0: none.
void BM_FirstScreenWithIndexes(benchmark::State& state) {
  const test::TempFolder temp("tabulon-bench");
  const std::string folder = temp.Path();
  test::TableLayout t;
  t.Version = 0x30;
  for (int f = 0; f < 10; ++f) t.Fields.push_back({"F" + std::to_string(f), 'C', 10});
  test::IndexKeys keys;
  for (int r = 0; r < 65534; ++r) {
    std::string rec = " ";
    for (int f = 0; f < 10; ++f) rec += Padded("v" + std::to_string(r * 10 + f), 10);
    t.Records.push_back(rec);
    if (r < 100) keys.emplace_back(Padded("k" + std::to_string(1000 + r), 8), uint32_t(r + 1));
  }
  test::Bytes table = test::MakeTable(t);
  if (state.range(0) == 1) {
    table[28] = 0x01;
    WriteFile(folder + "/t.cdx", test::MakeCdx({{"F0", "F0", "", "", 8, false, false, keys},
                                                {"F1", "UPPER(F1)", "", "", 8, false, false, keys},
                                                {"F2", "F2+F3", "!DELETED()", "", 8, false, false, keys}}));
    WriteFile(folder + "/t.ntx", test::MakeNtx("F4", 8, keys));
    WriteFile(folder + "/f5.ndx", test::MakeNdx("F5", 8, keys));
  }
  WriteFile(folder + "/t.dbf", table);
  for (auto _ : state) {
    Session s(folder + "/t.dbf");
    state.PauseTiming();
    if (s.window->TableGrid->RowCount() != 65534) state.SkipWithError("the load went wrong");
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstScreenWithIndexes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tabulon

BENCHMARK_MAIN();
