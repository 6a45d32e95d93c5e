// What the deployment check says of the dives: how many, how many were cut
// short, the deepest, the longest and the time under water in all, as the
// rows of an analysis view (views/analysisView.h) that keeps no row.
#pragma once

#include <cmath>
#include <cstdint>

#include "analysis/activityFilter.h"
#include "analysis/diveFinder.h"
#include "analysis/surfaceEstimator.h"
#include "zolt/time.h"

namespace zolt {

struct DiveSummary {
  uint64_t dives = 0;
  uint64_t cut = 0;  // of them
  double deepest = 0;  // metres
  int64_t deepestTime = kNoTime;
  double longest = 0;  // seconds
  int64_t longestStart = kNoTime;
  double submerged = 0;  // seconds, the dives' durations summed
};

class DiveTally {
 public:
  void depth(const SurfaceReading& /*reading*/, double /*depth*/) {}
  void activity(const ActivitySample& /*sample*/) {}
  void dive(const Dive& dive) {
    ++summary.dives;
    if (!dive.complete()) ++summary.cut;
    if (summary.deepestTime == kNoTime || dive.maxDepth > summary.deepest) {
      summary.deepest = dive.maxDepth;
      summary.deepestTime = dive.maxDepthTime;
    }
    if (summary.longestStart == kNoTime || dive.duration > summary.longest) {
      summary.longest = dive.duration;
      summary.longestStart = dive.start;
    }
    summary.submerged += dive.duration;
  }

  DiveSummary summary;
};

}  // namespace zolt
