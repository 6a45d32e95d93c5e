#include "analysis/levelCrossings.h"

#include <algorithm>

namespace zolt {

namespace {

constexpr double kTolerance = 1e-3;  // m

// The time at which the straight line from `from` to `to` passes `level`,
// or the nearer end's when it does not.
double crossing(DepthPoint from, DepthPoint to, double level) {
  const double span = to.depth - from.depth;
  if (span == 0) return from.time;
  const double fraction = std::clamp((level - from.depth) / span, 0.0, 1.0);
  return from.time + fraction * (to.time - from.time);
}

}  // namespace

void LevelCrossings::clear() {
  any_ = false;
  lastLedgeOpen_ = false;
  descents_.clear();
  ledges_.clear();
}

void LevelCrossings::add(DepthPoint point) {
  if (!any_) {
    descents_.push_back({point, point});
  } else if (point.depth > descents_.back().point.depth + kTolerance) {
    descents_.push_back({previous_, point});
  }
  if (lastLedgeOpen_) ledges_.back().after = point;
  while (!ledges_.empty() && ledges_.back().point.depth <= point.depth) ledges_.pop_back();
  lastLedgeOpen_ = ledges_.empty() || ledges_.back().point.depth > point.depth + kTolerance;
  if (lastLedgeOpen_) ledges_.push_back({point, point});
  previous_ = point;
  any_ = true;
}

double LevelCrossings::firstReaching(double level) const {
  if (descents_.empty()) return 0;
  const auto step = std::partition_point(descents_.begin(), descents_.end(),
                                         [level](const Step& candidate) { return candidate.point.depth < level; });
  if (step == descents_.end()) return descents_.back().point.time;
  return crossing(step->before, step->point, level);
}

double LevelCrossings::lastLeaving(double level) const {
  if (ledges_.empty()) return 0;
  // Deepest first: the last ledge at or below the level.
  const auto shallower = std::partition_point(ledges_.begin(), ledges_.end(),
                                              [level](const Ledge& ledge) { return ledge.point.depth >= level; });
  if (shallower == ledges_.begin()) return ledges_.front().point.time;
  const Ledge& ledge = *(shallower - 1);
  return crossing(ledge.point, ledge.after, level);
}

}  // namespace zolt
