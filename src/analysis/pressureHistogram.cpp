#include "analysis/pressureHistogram.h"

#include <algorithm>
#include <cmath>

namespace zolt {

PressureHistogram::PressureHistogram() : counts_(kBins), sums_(kBins) {}

void PressureHistogram::add(double bar) {
  if (!(bar >= kLowest && bar < kHighest)) return;
  const auto bin = std::min(static_cast<size_t>((bar - kLowest) / kBinWidth), kBins - 1);
  ++counts_[bin];
  sums_[bin] += bar;
  ++count_;
}

void PressureHistogram::add(const PressureHistogram& other) {
  for (size_t bin = 0; bin < kBins; ++bin) {
    counts_[bin] += other.counts_[bin];
    sums_[bin] += other.sums_[bin];
  }
  count_ += other.count_;
}

size_t PressureHistogram::binAtOrAbove(uint64_t rank) const {
  uint64_t below = 0;
  for (size_t bin = 0; bin < kBins; ++bin) {
    below += counts_[bin];
    if (below > rank) return bin;
  }
  return kBins - 1;
}

std::optional<double> PressureHistogram::lowQuantile(double quantile, double band, double spikes,
                                                     uint64_t least) const {
  if (count_ == 0) return std::nullopt;
  const size_t floor = binAtOrAbove(static_cast<uint64_t>(spikes * static_cast<double>(count_)));
  const size_t top = std::min(kBins - 1, floor + static_cast<size_t>(std::ceil(band / kBinWidth)));
  uint64_t near = 0;
  for (size_t bin = 0; bin <= top; ++bin) near += counts_[bin];
  if (near < std::max<uint64_t>(least, 1)) return std::nullopt;
  const auto rank = std::min(near - 1, static_cast<uint64_t>(quantile * static_cast<double>(near)));
  const size_t bin = binAtOrAbove(rank);
  return sums_[bin] / counts_[bin];
}

}  // namespace zolt
