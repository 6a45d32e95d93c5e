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
#include <cmath>
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

  // The batch path, for a view that wants each sample's VeDBA alone (a
  // dive's mean): hold() takes a sample without handing any on, and
  // takeVedba() hands on, as take(time, vedba), every sample whose window
  // is complete (every one held, with `all`), without working out the rest
  // of a sample's activity. The VeDBA is the one next() would give. Use one
  // path or the other on a filter, not both.
  void hold(int64_t time, double x, double y, double z) {
    if (!samples_.empty() && time < samples_.back().time) cut();
    // Field by field: a Sample built whole and copied in stalls on the
    // stores of its parts.
    Sample& held = samples_.emplace_back();
    held.time = time;
    held.acceleration[0] = x;
    held.acceleration[1] = y;
    held.acceleration[2] = z;
  }
  template <typename Take>
  void takeVedba(bool all, Take&& take) {
    walk(all, [&](const Sample& sample, double perSample) {
      double squares = 0;
      for (size_t axis = 0; axis < 3; ++axis) {
        const double dynamic = sample.acceleration[axis] - sum_[axis] * perSample;
        squares += dynamic * dynamic;
      }
      take(sample.time, std::sqrt(squares));
    });
  }

 private:
  ActivityFilter(const ActivityParameters& parameters, const Orientation& orientation);

  struct Sample {
    int64_t time;
    std::array<double, 3> acceleration;
    std::array<double, 4> quaternion;
  };

  void handOn(bool all);
  void handOnOne(double perSample);

  // A sample's window is every sample within half a window of it; it is
  // whole once a later sample lies beyond it. Each sample whose window is
  // whole goes to handOn(sample, 1 / samples in its window) with the
  // window's sum in sum_.
  template <typename HandOn>
  void walk(bool all, HandOn&& handOn) {
    const size_t held = samples_.size();
    while (next_ < held) {
      const int64_t time = samples_[next_].time;
      while (last_ < held && samples_[last_].time - time <= halfWindow_) {
        for (size_t axis = 0; axis < 3; ++axis) sum_[axis] += samples_[last_].acceleration[axis];
        ++last_;
      }
      if (last_ == held && !all) break;
      while (time - samples_[first_].time > halfWindow_) {
        for (size_t axis = 0; axis < 3; ++axis) sum_[axis] -= samples_[first_].acceleration[axis];
        ++first_;
      }
      // The window holds as many samples from one to the next but near a cut.
      if (last_ - first_ != windowSamples_) {
        windowSamples_ = last_ - first_;
        perSample_ = 1.0 / static_cast<double>(windowSamples_);
      }
      handOn(samples_[next_], perSample_);
      ++next_;
    }
    forgetBefore(first_);
  }
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
  size_t windowSamples_ = 0;  // last_ - first_, and 1 / it
  double perSample_ = 0;
  std::vector<ActivitySample> ready_;  // the first readyCount_ are ready
  size_t readyCount_ = 0;
  size_t taken_ = 0;
};

}  // namespace zolt
