// When the depth of a dive first reached a level and when it last was at
// it, for any level asked once the dive is over (the bottom of a dive is
// known only from its greatest depth), without keeping the dive's readings:
// only the readings that went deeper than every one before them can be the
// first to reach a level, and only those deeper than every one after them
// the last. Of either kind, one within a millimetre of the one kept before
// it is not kept, so that a dive of any length keeps at most one reading
// for each millimetre of its depth.
#pragma once

#include <cstdint>
#include <vector>

namespace zolt {

struct DepthPoint {
  double time;   // microseconds
  double depth;  // metres
};

class LevelCrossings {
 public:
  void clear();
  // The points of one dive, in time order.
  void add(DepthPoint point);
  // The time, interpolated between points, at which the depth first came
  // down to `level` and at which it last came up past it; the first or
  // last point's time when no point reached it.
  double firstReaching(double level) const;
  double lastLeaving(double level) const;

 private:
  struct Step {
    DepthPoint before;  // the point before this one
    DepthPoint point;
  };
  struct Ledge {
    DepthPoint point;
    DepthPoint after;  // the point after it; its own until there is one
  };

  DepthPoint previous_{};
  bool any_ = false;
  bool lastLedgeOpen_ = false;
  std::vector<Step> descents_;   // ever deeper
  std::vector<Ledge> ledges_;    // ever shallower, each deeper than all after it
};

}  // namespace zolt
