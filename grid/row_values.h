// RowValues: one number for each row of a grid of any size (a height, a
// mark counter), held as the value the rows share plus the rows that differ
// from it. A grid of millions of rows costs only the rows the user changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

namespace tabulon {

class RowValues {
 public:
  explicit RowValues(int32_t shared = 0) : shared_(shared) {}

  int32_t Get(int32_t row) const;
  void Set(int32_t row, int32_t value);
  // Every row takes value; the rows that differed are forgotten.
  void SetAll(int32_t value);
  // Rows from count on are forgotten: they are not rows any more.
  void Cut(int32_t count);
  // Rows old_count..new_count-1 are new and take value; the rows before
  // keep theirs, whichever of the two groups has to be written out.
  void Grow(int32_t old_count, int32_t new_count, int32_t value);
  // The sum over rows first..end-1 (nothing when end <= first), summed
  // from the differing rows in the range, not row by row.
  int64_t Sum(int32_t first, int32_t end) const;
  // The value of row from moves to row to; the rows between shift by one.
  void Move(int32_t from, int32_t to);
  // Rows whose value differs from the shared one (what the values cost).
  size_t DifferingCount() const { return own_.size(); }
  // Calls f(row), in order, for each of rows 0..count-1 whose value is
  // above floor: only the differing rows are walked unless every other
  // row is above it too.
  template <typename F>
  void ForEachAbove(int32_t count, int32_t floor, F f) const {
    if (shared_ > floor) {
      for (int32_t r = 0; r < count; ++r)
        if (Get(r) > floor) f(r);
      return;
    }
    for (const auto& [row, value] : own_) {
      if (row >= count) break;
      if (value > floor) f(row);
    }
  }

 private:
  int32_t shared_;
  std::map<int32_t, int32_t> own_;
};

}  // namespace tabulon
