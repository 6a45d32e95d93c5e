// The rows of a table gathered into intervals as they arrive, in one pass:
// what both the CSV text and the typed columns of averages are made from,
// so that their figures agree to the last bit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "zolt/averages.h"
#include "zolt/error.h"

namespace zolt {

// One interval, closed: its start (us since 1970), its rows, and per column
// the mean, least and greatest value (NaN where no row knew it).
struct IntervalRow {
  int64_t start;
  uint64_t count;
  std::span<const double> mean;
  std::span<const double> min;
  std::span<const double> max;
};

class IntervalSink {
 public:
  virtual ~IntervalSink() = default;
  virtual void interval(const IntervalRow& row) = 0;
  // Why the intervals go nowhere any more (a failed write), which ends the
  // reading.
  virtual Error failure() const { return {}; }
};

// The names of the averaged table's columns after "time" and "count": per
// column its mean under its own name, then name_min and name_max when
// asked for.
std::vector<std::string> averagedNames(std::span<const std::string_view> columns, const Averaging& averaging);

class IntervalAverages {
 public:
  IntervalAverages(size_t columns, const Averaging& averaging, IntervalSink& sink);

  // One row, its values in the columns' order. A row whose interval lies
  // after the open one closes it (and, with fill, gives the empty ones
  // between); one whose interval lies before it (a clock set back) closes
  // it too and opens its own with none between, so the intervals follow
  // the rows' order and one may come twice.
  void add(int64_t time, std::span<const double> values) {
    const int64_t number = intervalOf(time);
    if (!open_ || number != number_) moveTo(number);
    ++count_;
    for (size_t i = 0; i < values.size(); ++i) {
      const double value = values[i];
      if (std::isnan(value)) continue;
      ++known_[i];
      sum_[i] += value;
      if (value < min_[i]) min_[i] = value;
      if (value > max_[i]) max_[i] = value;
    }
  }
  // Rows of one interval that the caller summed, every value known. The
  // sums must be exact (as the inertial samples' counts summed as integers
  // are), so that adding them gives what adding the rows one by one would.
  void addSums(int64_t time, uint64_t rows, std::span<const double> sums, std::span<const double> mins,
               std::span<const double> maxs) {
    const int64_t number = intervalOf(time);
    if (!open_ || number != number_) moveTo(number);
    count_ += rows;
    for (size_t i = 0; i < sums.size(); ++i) {
      known_[i] += rows;
      sum_[i] += sums[i];
      min_[i] = std::min(min_[i], mins[i]);
      max_[i] = std::max(max_[i], maxs[i]);
    }
  }
  // Where the interval that holds `time` ends.
  int64_t intervalEnd(int64_t time) const { return (intervalOf(time) + 1) * every_; }
  // Closes the open interval, if any.
  void finish();
  Error failure() const { return sink_.failure(); }

 private:
  int64_t intervalOf(int64_t time) const {
    // Floor division: an interval before 1970 starts before its rows too.
    const int64_t quotient = time / every_;
    return quotient - (time % every_ < 0 ? 1 : 0);
  }
  void moveTo(int64_t number);
  void close();
  void reset();
  void emitEmpty(int64_t number);

  int64_t every_;
  bool fill_;
  IntervalSink& sink_;
  bool open_ = false;
  int64_t number_ = 0;
  uint64_t count_ = 0;
  std::vector<uint64_t> known_;
  std::vector<double> sum_, min_, max_, mean_;
  std::vector<double> nan_;
};

}  // namespace zolt
