// Loading tables into the table view, as the user waits for it: a
// 65,535-record table of 20 fields, and 20,000 records with 2 KB memos.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "headless_driver.h"
#include "program.h"
#include "support/table_bytes.h"

namespace tabulon {
namespace {

std::string MakeFolder() {
  char pattern[] = "/tmp/tabulon-bench-XXXXXX";
  return mkdtemp(pattern) != nullptr ? std::string(pattern) : std::string("/tmp");
}

void WriteFile(const std::string& path, const test::Bytes& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

std::string Padded(const std::string& text, size_t width) {
  std::string s = text.substr(0, width);
  s.resize(width, ' ');
  return s;
}

void Load(benchmark::State& state, const std::string& path, int expected_rows) {
  headless::Reset();
  auto program = NewProgram();
  MainWindow& w = program->GetMainWindow();
  w.Window->Show();
  for (auto _ : state) {
    headless::QueueFileDialogAnswer(path);
    w.LoadTable();
  }
  if (w.TableGrid->RowCount() != expected_rows) state.SkipWithError("the table did not load");
}

void BM_LoadWideTable(benchmark::State& state) {
  const std::string folder = MakeFolder();
  test::TableSpec t;
  for (int f = 0; f < 20; ++f) t.Fields.push_back({"F" + std::to_string(f), f % 4 == 3 ? 'N' : 'C', 10});
  t.Records.reserve(65535);
  for (int r = 0; r < 65535; ++r) {
    std::string rec = " ";
    for (int f = 0; f < 20; ++f) rec += Padded("v" + std::to_string(r * 20 + f), 10);
    t.Records.push_back(rec);
  }
  WriteFile(folder + "/wide.dbf", test::MakeTable(t));
  Load(state, folder + "/wide.dbf", 65535);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadWideTable)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadMemoTable(benchmark::State& state) {
  const std::string folder = MakeFolder();
  std::vector<std::string> texts;
  for (int r = 0; r < 20000; ++r) texts.push_back(std::string(2048, char('a' + r % 26)));
  const std::vector<uint32_t> blocks = test::DbtBlocks(texts);
  test::TableSpec t;
  t.Version = 0x83;
  t.Fields = {{"NAME", 'C', 20}, {"NOTE", 'M', 10}};
  for (int r = 0; r < 20000; ++r) t.Records.push_back(" " + Padded("name" + std::to_string(r), 20) + test::Ref(blocks[size_t(r)]));
  WriteFile(folder + "/memo.dbf", test::MakeTable(t));
  WriteFile(folder + "/memo.dbt", test::MakeDbt(texts));
  Load(state, folder + "/memo.dbf", 20000);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadMemoTable)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace tabulon

BENCHMARK_MAIN();
