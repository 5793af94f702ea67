// Index files of a table of 2,000,000 records: building one C(30) tag from
// the table, one cell edit of a key field with three tags kept (the
// session's whole command: open, journal, table and index pages written
// and flushed, close), and a check of the three tags against the table.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "bench_files.h"
#include "dbf_table.h"
#include "index_check.h"
#include "support/index_bytes.h"
#include "table_session.h"

namespace tabulon {
namespace {

constexpr uint32_t kRecords = 2000000;

const test::TempFolder& Folder() {
  static const test::TempFolder folder("tabulon-index-bench");
  return folder;
}

// NAME C(30) in no order, QTY N(8), BORN D(8); t.cdx with a tag on each
// and t.ntx on NAME, all built once.
std::string Table() {
  static std::string path;
  if (!path.empty()) return path;
  path = Folder().Path("t.dbf");
  test::TableLayout layout;
  layout.Fields = {{"NAME", 'C', 30}, {"QTY", 'N', 8}, {"BORN", 'D', 8}};
  layout.CountInHeader = int(kRecords);
  layout.EndMarker = false;
  test::Bytes head = test::MakeTable(layout);
  head[28] = 0x01;
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(head.data(), 1, head.size(), f);
  std::string chunk;
  for (uint32_t r = 1; r <= kRecords; ++r) {
    char record[48];
    std::snprintf(record, sizeof record, " %-30s%8u%08u", ("name " + std::to_string((r * 2654435761u) % 999983)).c_str(),
                  r % 100000, 19000101 + (r % 100) * 10000 + (r % 12) * 100 + r % 28);
    chunk.append(record, 47);
    if (chunk.size() > (1 << 20)) {
      std::fwrite(chunk.data(), 1, chunk.size(), f);
      chunk.clear();
    }
  }
  chunk += '\x1A';
  std::fwrite(chunk.data(), 1, chunk.size(), f);
  std::fclose(f);
  bench::WriteFile(Folder().Path("t.cdx"), test::MakeCdx({{"NAME", "NAME", "", "", 30, false, false, {}},
                                                          {"QTY", "QTY", "", "", 8, false, false, {}},
                                                          {"BORN", "DTOS(BORN)", "", "", 8, false, false, {}}}));
  bench::WriteFile(Folder().Path("t.ntx"), test::MakeNtx("NAME", 30, {}));
  TableSession session;
  if (!session.Load(path).IsDone() || !session.Reindex().IsDone()) path = "failed";
  return path;
}

void BM_ReindexOneCharacterTag(benchmark::State& state) {
  TableSession session;
  if (!session.Load(Table()).IsDone()) state.SkipWithError("no table");
  for (auto _ : state)
    if (!session.Reindex(Folder().Path("t.ntx")).IsDone()) state.SkipWithError("reindex failed");
}
BENCHMARK(BM_ReindexOneCharacterTag)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_KeyEditWithThreeTags(benchmark::State& state) {
  // Only the structural file's three tags.
  std::rename(Folder().Path("t.ntx").c_str(), Folder().Path("t.ntx-aside").c_str());
  TableSession session;
  if (!session.Load(Table()).IsDone()) state.SkipWithError("no table");
  std::mt19937 random(5);
  for (auto _ : state) {
    const int32_t record = int32_t(1 + random() % kRecords);
    if (!session.EditCell(record, 1, "edited " + std::to_string(random())).IsDone())
      state.SkipWithError("edit failed");
  }
  std::rename(Folder().Path("t.ntx-aside").c_str(), Folder().Path("t.ntx").c_str());
}
BENCHMARK(BM_KeyEditWithThreeTags)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_CheckThreeTags(benchmark::State& state) {
  const std::string path = Table();
  for (auto _ : state) {
    DbfTable table(path, "", false, PlatformFileSystem());
    table.SetActive(true);
    std::string error;
    auto index = OpenIndexFile(Folder().Path("t.cdx"), IndexKind::Cdx, PlatformFileSystem(),
                               {{"NAME", 'C'}, {"QTY", 'N'}, {"BORN", 'D'}}, &error);
    if (!index) state.SkipWithError(error.c_str());
    for (size_t tag = 0; index && tag < index->GetTags().size(); ++tag)
      if (!CheckIndexTag(*index, tag, table).empty()) state.SkipWithError("problems found");
  }
}
BENCHMARK(BM_CheckThreeTags)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace tabulon

BENCHMARK_MAIN();
