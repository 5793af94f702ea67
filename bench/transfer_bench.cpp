// Export and import of a table of 2,000,000 records of 20 fields, in a
// process of their own so that the peak memory is theirs: to CSV and to
// SQLite (records streamed, never held), and a CSV file of 1,000,000 lines
// imported into a new table. The command line's own figures (and pgdbf's,
// for comparison) are taken with /usr/bin/time around tabulon-cli.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "csv_import.h"
#include "export_formats.h"
#include "support/large_table.h"
#include "support/temp_folder.h"
#include "table_session.h"

namespace tabulon {
namespace {

const test::TempFolder& Folder() {
  static const test::TempFolder folder("tabulon-transfer-bench");
  return folder;
}

// Written once, removed at exit; empty when it could not be written.
std::string Table(uint32_t records) {
  const std::string path = Folder().Path("large" + std::to_string(records) + ".dbf");
  if (!PlatformFileSystem().Exists(path) && !test::WriteLargeTable(path, records)) return std::string();
  return path;
}

void ReportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

template <typename NewSink>
void Export(benchmark::State& state, const NewSink& new_sink) {
  TableSession session;
  if (Table(2000000).empty() || !session.Load(Table(2000000)).IsDone()) return state.SkipWithError("no table");
  for (auto _ : state) {
    auto sink = new_sink(session);
    if (!sink || !ExportTable(session, ExportOptions{}, *sink).IsDone()) return state.SkipWithError("export failed");
  }
  ReportPeakMemory(state);
}

void BM_ExportCsv(benchmark::State& state) {
  Export(state, [](TableSession& s) { return NewCsvSink(s.FileSystem(), Folder().Path("out.csv"), CsvOptions{}); });
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kSecond)->Iterations(1);

void BM_ExportSqlite(benchmark::State& state) {
  Export(state, [](TableSession&) { return NewSqliteSink(Folder().Path("out.sqlite"), "large"); });
}
BENCHMARK(BM_ExportSqlite)->Unit(benchmark::kSecond)->Iterations(1);

void BM_ImportCsv(benchmark::State& state) {
  const std::string csv = Folder().Path("import.csv");
  {
    TableSession session;
    if (Table(1000000).empty() || !session.Load(Table(1000000)).IsDone()) return state.SkipWithError("no table");
    auto sink = NewCsvSink(session.FileSystem(), csv, CsvOptions{});
    if (!ExportTable(session, ExportOptions{}, *sink).IsDone()) return state.SkipWithError("no CSV file");
  }
  for (auto _ : state) {
    const std::string table = Folder().Path("imported.dbf");
    PlatformFileSystem().Remove(table);
    TableSession session;
    ImportPlan plan;
    if (!ImportCsvToNewTable(session, csv, table, ImportOptions{}, &plan).IsDone())
      return state.SkipWithError("import failed");
  }
  ReportPeakMemory(state);
}
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace tabulon

BENCHMARK_MAIN();
