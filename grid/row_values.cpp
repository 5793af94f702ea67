#include "row_values.h"

#include <utility>
#include <vector>

namespace tabulon {

int32_t RowValues::Get(int32_t row) const {
  const auto it = own_.find(row);
  return it == own_.end() ? shared_ : it->second;
}

void RowValues::Set(int32_t row, int32_t value) {
  if (value == shared_)
    own_.erase(row);
  else
    own_[row] = value;
}

void RowValues::SetAll(int32_t value) {
  own_.clear();
  shared_ = value;
}

void RowValues::Cut(int32_t count) { own_.erase(own_.lower_bound(count), own_.end()); }

void RowValues::Grow(int32_t old_count, int32_t new_count, int32_t value) {
  if (new_count <= old_count || value == shared_) return;
  if (new_count - old_count <= old_count) {
    for (int32_t r = old_count; r < new_count; ++r) own_[r] = value;
    return;
  }
  // Fewer old rows than new ones: the old rows are written out and the
  // new value becomes the shared one.
  std::map<int32_t, int32_t> old;
  for (int32_t r = 0; r < old_count; ++r) {
    const int32_t v = Get(r);
    if (v != value) old.emplace(r, v);
  }
  own_ = std::move(old);
  shared_ = value;
}

int64_t RowValues::Sum(int32_t first, int32_t end) const {
  if (end <= first) return 0;
  int64_t sum = int64_t(end - first) * shared_;
  for (auto it = own_.lower_bound(first); it != own_.end() && it->first < end; ++it)
    sum += int64_t(it->second) - shared_;
  return sum;
}

void RowValues::Move(int32_t from, int32_t to) {
  if (from == to) return;
  const int32_t moving = Get(from);
  const int32_t lo = from < to ? from : to;
  const int32_t hi = from < to ? to : from;
  // The differing rows in lo..hi shift by one towards from's old place.
  std::vector<std::pair<int32_t, int32_t>> shifted;
  for (auto it = own_.lower_bound(lo); it != own_.end() && it->first <= hi;) {
    if (it->first != from) shifted.emplace_back(it->first + (from < to ? -1 : 1), it->second);
    it = own_.erase(it);
  }
  for (const auto& [row, value] : shifted) own_[row] = value;
  Set(to, moving);
}

}  // namespace tabulon
