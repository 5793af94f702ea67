// Loading tables into the table view, as the user waits for it (to the
// first screen drawn): a 65,535-record table of 20 fields, and 20,000
// records with 2 KB memos, each the first load of a fresh window (reloads
// into a filled window are measured apart); searching a field of 65,535
// records with a mask.
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

// Each timed load is the first one of a fresh program: its window and grid
// are new and empty, as when a user opens a table after starting.
void FirstLoad(benchmark::State& state, const std::string& path, int expected_rows) {
  for (auto _ : state) {
    state.PauseTiming();
    headless::Reset();
    auto program = NewProgram();
    MainWindow& w = program->GetMainWindow();
    w.Window->Show();
    headless::QueueFileDialogAnswer(path);
    state.ResumeTiming();
    w.LoadTable();
    w.TableGrid->Update();
    state.PauseTiming();
    if (w.TableGrid->RowCount() != expected_rows) state.SkipWithError("the table did not load");
    program.reset();  // closing is not part of the load
    state.ResumeTiming();
  }
}

// Loading the same table again into the window that already shows it.
void Reload(benchmark::State& state, const std::string& path, int expected_rows) {
  headless::Reset();
  auto program = NewProgram();
  MainWindow& w = program->GetMainWindow();
  w.Window->Show();
  headless::QueueFileDialogAnswer(path);
  w.LoadTable();
  for (auto _ : state) {
    headless::QueueFileDialogAnswer(path);
    w.LoadTable();
    w.TableGrid->Update();
  }
  if (w.TableGrid->RowCount() != expected_rows) state.SkipWithError("the table did not load");
}

// 65,535 records of 20 fields of 10 characters.
void WriteWideTable(const std::string& path) {
  test::TableLayout t;
  for (int f = 0; f < 20; ++f) t.Fields.push_back({"F" + std::to_string(f), f % 4 == 3 ? 'N' : 'C', 10});
  t.Records.reserve(65535);
  for (int r = 0; r < 65535; ++r) {
    std::string rec = " ";
    for (int f = 0; f < 20; ++f) rec += Padded("v" + std::to_string(r * 20 + f), 10);
    t.Records.push_back(rec);
  }
  WriteFile(path, test::MakeTable(t));
}

void BM_LoadWideTable(benchmark::State& state) {
  const test::TempFolder temp("tabulon-bench");
  WriteWideTable(temp.Path("wide.dbf"));
  FirstLoad(state, temp.Path("wide.dbf"), 65535);
}
BENCHMARK(BM_LoadWideTable)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReloadWideTable(benchmark::State& state) {
  const test::TempFolder temp("tabulon-bench");
  WriteWideTable(temp.Path("wide.dbf"));
  Reload(state, temp.Path("wide.dbf"), 65535);
}
BENCHMARK(BM_ReloadWideTable)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadMemoTable(benchmark::State& state) {
  const test::TempFolder temp("tabulon-bench");
  const std::string folder = temp.Path();
  std::vector<std::string> texts;
  for (int r = 0; r < 20000; ++r) texts.push_back(std::string(2048, char('a' + r % 26)));
  const std::vector<uint32_t> blocks = test::DbtBlocks(texts);
  test::TableLayout t;
  t.Version = 0x83;
  t.Fields = {{"NAME", 'C', 20}, {"NOTE", 'M', 10}};
  for (int r = 0; r < 20000; ++r) t.Records.push_back(" " + Padded("name" + std::to_string(r), 20) + test::Ref(blocks[size_t(r)]));
  WriteFile(folder + "/memo.dbf", test::MakeTable(t));
  WriteFile(folder + "/memo.dbt", test::MakeDbt(texts));
  FirstLoad(state, folder + "/memo.dbf", 20000);
}
BENCHMARK(BM_LoadMemoTable)->Unit(benchmark::kMillisecond)->Iterations(3);

// Searches column 0 of a loaded table with the mask; every run must list
// expected_hits lines.
void Search(benchmark::State& state, const std::string& path, const std::string& mask,
            int expected_hits) {
  headless::Reset();
  auto program = NewProgram();
  MainWindow& w = program->GetMainWindow();
  w.Window->Show();
  headless::QueueFileDialogAnswer(path);
  w.LoadTable();
  w.TableGrid->SetCurrentCell(0, 0);
  w.SearchMaskEdit->SetText(mask);
  for (auto _ : state) w.RunSearch();
  if (w.SearchResultList->GetCount() != expected_hits) state.SkipWithError("wrong hits");
}

// Windows-1251 names, every other one holding a "к" or "К".
void BM_SearchCyrillicLetter(benchmark::State& state) {
  const test::TempFolder temp("tabulon-bench");
  const std::string folder = temp.Path();
  test::TableLayout t;
  t.Fields = {{"NAME", 'C', 20}, {"N", 'N', 6}};
  t.Records.reserve(65535);
  const std::string with_k[] = {"\xEA\xEE\xF2 ", "\xCA\xE0\xF1\xFF "};  // "кот", "Кася"
  const std::string without = "\xEB\xE8\xF1\xE0 ";                       // "лиса"
  for (int r = 0; r < 65535; ++r) {
    const std::string name = (r % 2 == 0 ? with_k[(r / 2) % 2] : without) + std::to_string(r);
    t.Records.push_back(" " + Padded(name, 20) + Padded(std::to_string(r), 6));
  }
  WriteFile(folder + "/names.dbf", test::MakeTable(t));
  Search(state, folder + "/names.dbf", "*\xEA*", 32768);
}
BENCHMARK(BM_SearchCyrillicLetter)->Unit(benchmark::kMillisecond)->Iterations(5);

// 200-character values of one letter, a few ending otherwise: a mask of
// many stars that almost matches each value.
void BM_SearchManyStars(benchmark::State& state) {
  const test::TempFolder temp("tabulon-bench");
  const std::string folder = temp.Path();
  test::TableLayout t;
  t.Fields = {{"TEXT", 'C', 200}};
  t.Records.reserve(65535);
  for (int r = 0; r < 65535; ++r)
    t.Records.push_back(" " + std::string(199, 'a') + (r % 1000 == 0 ? 'b' : 'a'));
  WriteFile(folder + "/letters.dbf", test::MakeTable(t));
  Search(state, folder + "/letters.dbf", "*a*a*a*a*a*b", 66);
}
BENCHMARK(BM_SearchManyStars)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace tabulon

BENCHMARK_MAIN();
