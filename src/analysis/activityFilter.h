// Activity from the inertial samples: the static acceleration (gravity, as
// the logger's attitude turns it) is the running mean of the accelerations
// over a window centred on each sample; the dynamic acceleration, what the
// animal's movement adds, is the rest. ODBA sums the dynamic acceleration's
// magnitudes on the three axes, VeDBA is its length; both are in the
// accelerations' own unit. Pitch and roll come from the static
// acceleration, and pitch, roll and heading from the quaternion
// (analysis/orientation.h).
//
// A centred window needs half a window ahead: each sample is handed on once
// a sample more than half a window after it has come in, or at a cut. The
// window stops at a cut, so the samples within half a window of one have a
// shorter window on that side.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/orientation.h"
#include "zolt/error.h"

namespace zolt {

struct ActivityParameters {
  // Seconds. Two seconds spans several strokes of most swimming animals, so
  // that their rhythm falls in the dynamic part, and is short beside the
  // turns of a dive's descent and ascent, which stay in the static part.
  double window = 2;
  // Whether to work out the angles: a view that wants only the dynamic
  // acceleration need not pay for them (they are then NaN).
  bool angles = true;
  OrientationParameters orientation;
};

struct ActivitySample {
  int64_t time;
  std::array<double, 3> staticAcceleration;  // along the logger's axes
  std::array<double, 3> dynamicAcceleration;
  double odba;
  double vedba;
  Attitude gravity;     // pitch and roll from the static acceleration
  Attitude quaternion;  // pitch, roll and heading
};

class ActivityFilter {
 public:
  ActivityFilter() : ActivityFilter(ActivityParameters{}, Orientation{}) {}
  // Refuses a window that is not positive (or longer than a day) and axes
  // that are not a right-handed frame.
  static Result<ActivityFilter> make(const ActivityParameters& parameters);

  // One sample; times in microseconds, in order. A time before the one
  // before cuts there.
  void add(int64_t time, const std::array<double, 3>& acceleration, const std::array<double, 4>& quaternion);
  // The window spans nothing across this point; every sample held is
  // handed on.
  void cut();
  // The next sample whose window is complete, in order.
  std::optional<ActivitySample> next();
  // Every sample whose window is complete, in order, as take(sample), and
  // none of them again: next() without a copy of each.
  template <typename Take>
  void takeReady(Take&& take) {
    for (; taken_ < readyCount_; ++taken_) take(std::as_const(ready_[taken_]));
  }

 private:
  ActivityFilter(const ActivityParameters& parameters, const Orientation& orientation);

  struct Sample {
    int64_t time;
    std::array<double, 3> acceleration;
    std::array<double, 4> quaternion;
  };

  void handOn(bool all);
  void handOnOne();
  void forgetBefore(size_t sample);

  int64_t halfWindow_;  // us
  bool angles_;
  Orientation orientation_;
  // Held samples from samples_[first_] on; those before were let go.
  std::vector<Sample> samples_;
  size_t next_ = 0;   // the sample to hand on next
  size_t first_ = 0;  // the window of that sample: [first_, last_)
  size_t last_ = 0;
  std::array<double, 3> sum_{};
  std::vector<ActivitySample> ready_;  // the first readyCount_ are ready
  size_t readyCount_ = 0;
  size_t taken_ = 0;
};

}  // namespace zolt
