// Dynamic body acceleration that came in ahead of the depth which will say
// whether it was taken in a dive (the surface pressure, and so the depth,
// is known only some hours after the reading): summed in bins of a quarter
// of a second, at most a day of them; a bin falls in a dive when its
// centre does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace zolt {

class DbaBins {
 public:
  static constexpr int64_t kBinLength = 250'000;  // us
  static constexpr size_t kMostBins = size_t{86400} * 4;

  // Samples in time order; one older than the bins kept is dropped.
  void add(int64_t time, double value) {
    // Samples come many to a bin: most fall in the newest one.
    if (!bins_.empty() && time >= newestStart_ && time < newestStart_ + kBinLength) {
      bins_.back().sum += value;
      ++bins_.back().count;
      return;
    }
    addElsewhere(time, value);
  }
  // Hands on, oldest first, the bins whose centres are at or before `time`
  // as take(centre, sum, count).
  template <typename Take>
  void takeUntil(int64_t time, Take&& take) {
    while (!bins_.empty() && centreOf(bins_.front().index) <= time) {
      const Bin bin = bins_.front();
      bins_.pop_front();
      take(centreOf(bin.index), bin.sum, bin.count);
    }
  }

 private:
  struct Bin {
    int64_t index;
    double sum;
    uint64_t count;
  };
  void addElsewhere(int64_t time, double value);
  static int64_t indexOf(int64_t time);
  static int64_t centreOf(int64_t index) { return index * kBinLength + kBinLength / 2; }

  std::deque<Bin> bins_;
  int64_t newestStart_ = 0;  // of bins_.back()
};

}  // namespace zolt
