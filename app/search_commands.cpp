// Searching a field with a mask, and jumping to a hit.
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "main_window.h"
#include "mask_match.h"
#include "program.h"
#include "texts.h"

namespace tabulon {

namespace {

// The hits listed at most: a longer list helps no one find a record, and
// each line costs the list memory and time.
constexpr size_t kMaxHits = 65535;
// How long a search runs at most before the window answers again.
constexpr std::chrono::milliseconds kAnswerEvery{100};

}  // namespace

// Every record of the file is searched, one field read each, in the field
// the current column shows. Values are matched and listed as the view
// shows them (binary numbers in decimal, DOS text converted when the view
// was filled so): the mask is typed in the display's code page, and every
// 866 byte has a display form, so Cyrillic folds by one code page's rules
// and box drawing matches the look-alike the user sees.
void MainWindow::RunSearch() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  SearchResultList->Clear();
  SearchHitRecords.clear();
  const int col = TableGrid->GetCurrentCell().Col;
  if (col < 0) return;  // no current column, no field to search
  if (!OpenTable()) return;
  const int field = FieldOfColumn(col);
  // A column whose field the file no longer has would read empty values
  // and list them as hits.
  if (field < 1 || field > Table->FieldCount) {
    Table->SetActive(false);
    return;
  }
  const std::string mask = SearchMaskEdit->GetText();
  const uint32_t records = Table->RecordCount();
  SetStatus(texts::kStatusSearch);
  std::vector<std::string> lines;
  std::vector<std::string> hit_records;
  bool more_hits = false;
  std::string value;
  auto answered = std::chrono::steady_clock::now();
  for (uint32_t n = 1; n <= records && n <= uint32_t(INT32_MAX); ++n) {
    // A long search lets the window repaint and answer now and then (other
    // commands are refused meanwhile); the status says what runs.
    if (n % 1024 == 0 && std::chrono::steady_clock::now() - answered > kAnswerEvery) {
      program_.GetApplet().ProcessMessages();
      answered = std::chrono::steady_clock::now();
    }
    Table->GoTo(int32_t(n));
    // A record that cannot be read has no value to match (the engine
    // blanks its buffer).
    if (!Table->BufferHoldsRecord()) continue;
    value = DisplayText(field);  // a memo without its memo file reads empty
    if (!MaskMatches(value, mask)) continue;
    if (lines.size() == kMaxHits) {
      more_hits = true;
      break;
    }
    lines.push_back(value);
    hit_records.push_back(std::to_string(n));
  }
  // Only read and nothing refilled: the view is as old as before, so what
  // it last saw of the files stays the measure for the next write.
  Table->SetActive(false);
  // One batch: line by line, a list of thousands of hits takes minutes.
  SearchResultList->SetLines(lines);
  SearchHitRecords = std::move(hit_records);
  SetStatus(texts::kStatusOk);
  if (more_hits) Tell(texts::kTooManyHits);
}

// The record number found at search time picks the row; the column stays.
void MainWindow::JumpToHit() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  const int line = SearchResultList->GetItemIndex();
  if (line < 0 || size_t(line) >= SearchHitRecords.size()) return;
  const int64_t record = ParseLeadingInteger(SearchHitRecords[size_t(line)]);
  // The grid would move to the nearest row instead: a hit beyond the rows
  // the view shows has no row to go to.
  if (record < 1 || record > TableGrid->RowCount()) return;
  TableGrid->SetCurrentCell(TableGrid->GetCurrentCell().Col, int(record - 1));
}

}  // namespace tabulon
