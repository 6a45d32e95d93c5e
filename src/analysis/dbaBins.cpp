#include "analysis/dbaBins.h"

#include <algorithm>

namespace zolt {

int64_t DbaBins::indexOf(int64_t time) {
  const int64_t index = time / kBinLength;
  return time % kBinLength < 0 ? index - 1 : index;
}

void DbaBins::addElsewhere(int64_t time, double value) {
  const int64_t index = indexOf(time);
  if (bins_.empty() || bins_.back().index < index) {
    bins_.push_back({index, value, 1});
    newestStart_ = index * kBinLength;
    if (bins_.size() > kMostBins) bins_.pop_front();
    return;
  }
  if (bins_.back().index == index) {
    bins_.back().sum += value;
    ++bins_.back().count;
    return;
  }
  const auto bin = std::lower_bound(bins_.begin(), bins_.end(), index,
                                    [](const Bin& candidate, int64_t wanted) { return candidate.index < wanted; });
  if (bin == bins_.end() || bin->index != index) return;
  bin->sum += value;
  ++bin->count;
}

}  // namespace zolt
