// How the readings near the surface fall: counts of absolute pressure in
// bins of a millibar from 0 to 2 bar, a range that holds the surface of any
// water on the Earth. Readings outside it are deeper than about 10 m below
// a sea-level surface (or are not pressures at all) and are not counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace zolt {

class PressureHistogram {
 public:
  static constexpr size_t kBins = 2000;
  static constexpr double kBinWidth = 1e-3;  // bar
  static constexpr double kLowest = 0;       // bar
  static constexpr double kHighest = kLowest + kBins * kBinWidth;

  PressureHistogram();

  void add(double bar);
  void add(const PressureHistogram& other);
  uint64_t count() const { return count_; }

  // The `quantile` (0 to 1) of the counted readings no more than `band` bar
  // above the floor: the level below which lie a fraction `spikes` of them
  // all, so that a stray low reading does not pass for the surface. A
  // quantile's value is the mean of the readings in its bin. Nothing when
  // fewer than `least` readings lie so low.
  std::optional<double> lowQuantile(double quantile, double band, double spikes, uint64_t least) const;

 private:
  size_t binAtOrAbove(uint64_t rank) const;  // the first bin whose cumulative count exceeds `rank`

  std::vector<uint32_t> counts_;
  std::vector<double> sums_;
  uint64_t count_ = 0;
};

}  // namespace zolt
