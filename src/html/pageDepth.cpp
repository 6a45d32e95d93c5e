#include "html/pageDepth.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "html/pageSeries.h"

namespace zolt {

namespace {

// The depth in tenths of a millimetre, as --csv=depth rounds it; a depth
// not known is not drawn.
std::optional<int32_t> storedDepth(double depth) {
  if (!std::isfinite(depth)) return std::nullopt;
  const double scaled = std::round(depth * std::pow(10.0, kDepthDecimals));
  constexpr double kMost = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::clamp(scaled, -kMost, kMost));
}

}  // namespace

void PageDepthRows::depth(const SurfaceReading& reading, double depth) {
  if (!run_.window.keeps(reading.time)) return;
  if (const std::optional<int32_t> stored = storedDepth(depth)) run_[PageGroup::kDepth].add(reading.time, {*stored});
}

void PageDepthRows::dive(const Dive& dive) {
  if (!run_.window.keeps(dive.start)) return;
  ++run_.divesFound;
  if (run_.dives.size() < kMostPageDives) run_.dives.push_back({dive.number, dive.start, dive.end, dive.maxDepth});
}

// Depth and dives only: the samples' activity costs a filter over every
// sample, and the page names no dive's mean acceleration.
PageDepth::PageDepth(PageRun& run)
    : rows_(run), view_(AnalysisSettings{}, AnalysisParts{.depth = true, .dives = true}, rows_) {}

}  // namespace zolt
