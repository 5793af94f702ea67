#include "index_check.h"

#include <set>

#include "index_expression.h"
#include "index_keys.h"
#include "index_writer.h"

namespace tabulon {
namespace {

// Key bytes as a reader can print them: printable ASCII kept, the rest in
// hex, the blanks that pad the key left out.
std::string Printable(const std::string& key) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : key.substr(0, key.find_last_not_of(' ') + 1)) {
    const uint8_t c = uint8_t(ch);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += ch;
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

}  // namespace

std::vector<IndexTagProblem> CheckIndexTag(IndexFile& index, size_t tag, DbfTable& table, size_t most) {
  std::vector<IndexTagProblem> problems;
  const IndexTagInfo& info = index.GetTags()[tag];
  auto add = [&](uint32_t record, const std::string& text) {
    if (problems.size() < most) problems.push_back(IndexTagProblem{record, text});
    return problems.size() < most;
  };
  const IndexTableShape shape = IndexTableShapeOf(table);
  const IndexExpression key = ParseIndexExpression(info.Key, shape);
  const IndexExpression condition = ParseIndexExpression(info.ForExpr.empty() ? ".T." : info.ForExpr, shape);
  if (!key.IsSupported() || !condition.IsSupported()) {
    add(0, "not checked: " + (key.IsSupported() ? condition : key).GetUnsupportedReason());
    return problems;
  }
  const IndexKeyFormat format = IndexKeyFormatOf(index.GetKind());
  const uint32_t count = table.RecordCount();
  std::vector<std::string> keys(size_t(count) + 1);
  std::vector<bool> held(size_t(count) + 1, false);
  std::set<std::string> held_keys;
  std::string previous;
  bool first = true;
  const bool walked = index.Walk(tag, [&](const IndexEntry& e) {
    // A key out of order is one a search never finds.
    if (!first && CompareIndexEntryKeys(previous, e.Key, index.GetKind(), info, key.GetResultType()) > 0 &&
        !add(e.Record, "the key '" + Printable(e.Key) + "' is out of order after '" + Printable(previous) + "'"))
      return false;
    first = false;
    previous = e.Key;
    if (e.Record == 0 || e.Record > count)
      return add(e.Record, "a key points past the table's " + std::to_string(count) + " records");
    if (held[e.Record]) return add(e.Record, "the record is in the tag twice");
    held[e.Record] = true;
    keys[e.Record] = e.Key;
    held_keys.insert(e.Key);
    return true;
  });
  if (!walked) add(0, index.GetErrorText());
  for (uint32_t r = 1; r <= count && problems.size() < most; ++r) {
    table.GoTo(int32_t(r));
    const IndexRecord record{table.GetRecordBuffer(), table.RecordSize()};
    const bool belongs = EvaluateIndexCondition(condition, record);
    const std::string expected = EvaluateIndexKey(key, record, format, info.KeyLength);
    if (belongs && !held[r]) {
      // A unique tag holds one record of each key.
      if (!info.Unique || held_keys.count(expected) == 0) add(r, "the record is missing from the tag");
    } else if (!belongs && held[r]) {
      add(r, "the record is in the tag, its FOR condition leaves it out");
    } else if (held[r] && keys[r] != expected) {
      add(r, "the record is under the key '" + Printable(keys[r]) + "', its values give '" +
                 Printable(expected) + "'");
    }
  }
  return problems;
}

}  // namespace tabulon
