// Searching a field of every record with a mask.
#include <chrono>

#include "mask_match.h"
#include "table_session.h"
#include "text.h"

namespace tabulon {

namespace {

// How long a search runs at most before the caller may answer the user.
constexpr std::chrono::milliseconds kAnswerEvery{100};

}  // namespace

// Every record of the file is searched, one field read each. Values are
// matched as shown (binary numbers in decimal, DOS text converted when
// shown so): every stored byte has a display form, so letters fold alike
// in every code page and box drawing matches the look-alike the user sees.
Outcome TableSession::Search(int field, const std::string& mask, size_t max_hits,
                             std::vector<SearchHit>* hits, bool* more,
                             const std::function<void()>& answer) {
  hits->clear();
  *more = false;
  Outcome opened = OpenTable();
  if (opened.Kind != OutcomeKind::Done) return opened;
  DbfTable& t = *table_;
  // A field the file no longer has would read empty values and list them.
  if (field < 1 || field > t.GetFieldCount()) {
    t.SetActive(false);
    return opened;
  }
  const uint32_t records = t.RecordCount();
  std::string value;
  auto answered = std::chrono::steady_clock::now();
  for (uint32_t n = 1; n <= records && n <= uint32_t(INT32_MAX); ++n) {
    if (answer && n % 1024 == 0 && std::chrono::steady_clock::now() - answered > kAnswerEvery) {
      answer();
      answered = std::chrono::steady_clock::now();
    }
    t.GoTo(int32_t(n));
    // A record that cannot be read has no value to match.
    if (!t.BufferHoldsRecord()) continue;
    value = ShownText(t, field);  // a memo without its memo file reads empty
    if (!MaskMatchesUtf8(value, mask)) continue;
    if (hits->size() == max_hits) {
      *more = true;
      break;
    }
    hits->push_back(SearchHit{int32_t(n), value});
  }
  ClearEngineError();
  // Only read: what the user last saw of the files stays the measure for
  // the next write.
  t.SetActive(false);
  return opened;
}

}  // namespace tabulon
