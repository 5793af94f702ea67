// Searching a field with a mask, and jumping to a hit.
#include <cstdint>
#include <string>
#include <vector>

#include "main_window.h"
#include "program.h"
#include "text.h"
#include "texts.h"

namespace tabulon {

namespace {

// The hits listed at most: a longer list helps no one find a record, and
// each line costs the list memory and time.
constexpr size_t kMaxHits = 65535;
}  // namespace

// Every record of the file is searched, in the field the current column
// shows, and hits are listed as the view shows them.
void MainWindow::RunSearch() {
  CommandScope command(*this);
  if (!command.Entered()) return;
  SearchResultList->Clear();
  SearchHitRecords.clear();
  const int col = TableGrid->GetCurrentCell().Col;
  if (col < 0) return;  // no current column, no field to search
  SetStatus(texts::kStatusSearch);
  std::vector<SearchHit> hits;
  bool more_hits = false;
  // A long search lets the window repaint and answer now and then (other
  // commands are refused meanwhile); the status says what runs.
  const Outcome o = Session->Search(FieldOfColumn(col), (SearchMaskEdit->GetText()), kMaxHits, &hits,
                                    &more_hits, [this] { program_.GetApplet().ProcessMessages(); });
  if (!Report(o)) return;
  std::vector<std::string> lines;
  lines.reserve(hits.size());
  SearchHitRecords.reserve(hits.size());
  for (const SearchHit& hit : hits) {
    // The record number first: many hits may read alike.
    lines.push_back(std::to_string(hit.Record) + texts::kHitSeparator + (hit.Text));
    SearchHitRecords.push_back(std::to_string(hit.Record));
  }
  // One batch: line by line, a list of thousands of hits takes minutes.
  SearchResultList->SetLines(lines);
  SearchTitle->SetText(texts::kSearchTitle + std::string(texts::kHitCountPrefix) + std::to_string(hits.size()) +
                       (more_hits ? "+" : ""));
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
