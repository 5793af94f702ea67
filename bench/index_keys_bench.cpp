// Index keys made from record bytes: the part of a check or a rebuild of a
// tag over a large table that is the engine's own work besides reading.
// 2,000,000 keys of a C(30) field, over a ring of records in memory so that
// the figure is the evaluation's and not the disk's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "index_keys.h"

namespace tabulon {
namespace {

constexpr int kKeys = 2000000;
constexpr size_t kRing = 4096;
constexpr size_t kRecordSize = 1 + 30 + 10;

IndexTableShape Shape() {
  IndexTableShape shape;
  DbfField name, amount;
  std::memcpy(name.Name, "NAME", 4);
  name.Type = 'C';
  name.FieldPosition = 1;
  name.Length = 30;
  std::memcpy(amount.Name, "AMOUNT", 6);
  amount.Type = 'N';
  amount.FieldPosition = 31;
  amount.Length = 10;
  amount.Decimals = 2;
  shape.Fields = {name, amount};
  return shape;
}

std::vector<uint8_t> Records() {
  std::vector<uint8_t> bytes(kRing * kRecordSize, ' ');
  for (size_t i = 0; i < kRing; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, " Customer %-20zu%10.2f", (i * 7919) % kRing, double(i) / 3);
    std::memcpy(&bytes[i * kRecordSize], text, kRecordSize);
  }
  return bytes;
}

// Arg: 0 the field alone (FoxPro), 1 UPPER(name) + STR(amount, 10, 2)
// (FoxPro), 2 the field alone (Clipper).
void BM_IndexKeysOfC30(benchmark::State& state) {
  static const char* const kExpressions[] = {"name", "UPPER(name) + STR(amount, 10, 2)", "name"};
  static const IndexKeyFormat kFormats[] = {IndexKeyFormat::FoxPro, IndexKeyFormat::FoxPro,
                                            IndexKeyFormat::Ntx};
  const IndexExpression e = ParseIndexExpression(kExpressions[state.range(0)], Shape());
  const std::vector<uint8_t> records = Records();
  for (auto _ : state) {
    size_t total = 0;
    for (int i = 0; i < kKeys; ++i) {
      const IndexRecord record{&records[(size_t(i) % kRing) * kRecordSize], kRecordSize};
      total += EvaluateIndexKey(e, record, kFormats[state.range(0)]).size();
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_IndexKeysOfC30)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tabulon
