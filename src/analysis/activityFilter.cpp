#include "analysis/activityFilter.h"

#include <cmath>
#include <limits>

#include "analysis/parameterError.h"

namespace zolt {

namespace {
constexpr double kLongestWindow = 86400;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

Result<ActivityFilter> ActivityFilter::make(const ActivityParameters& parameters) {
  if (!(parameters.window > 0 && parameters.window <= kLongestWindow))
    return parameterError("window of the static acceleration", "more than 0 and at most a day of seconds",
                          parameters.window);
  Result<Orientation> orientation = Orientation::make(parameters.orientation);
  if (!orientation.ok()) return orientation.error();
  return ActivityFilter(parameters, orientation.value());
}

ActivityFilter::ActivityFilter(const ActivityParameters& parameters, const Orientation& orientation)
    : halfWindow_(std::llround(parameters.window * 1e6 / 2)), angles_(parameters.angles), orientation_(orientation) {}

void ActivityFilter::add(int64_t time, const std::array<double, 3>& acceleration,
                         const std::array<double, 4>& quaternion) {
  if (!samples_.empty() && time < samples_.back().time) cut();
  samples_.push_back({time, acceleration, quaternion});
  handOn(false);
}

void ActivityFilter::cut() {
  handOn(true);
  samples_.clear();
  next_ = first_ = last_ = 0;
  sum_ = {};
}

void ActivityFilter::handOn(bool all) {
  walk(all, [this](const Sample& /*sample*/, double perSample) { handOnOne(perSample); });
}

// Samples before the window go, a block at a time.
void ActivityFilter::forgetBefore(size_t sample) {
  if (sample < 4096 || sample < samples_.size() / 2) return;
  samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(sample));
  next_ -= sample;
  first_ -= sample;
  last_ -= sample;
}

void ActivityFilter::handOnOne(double perSample) {
  if (taken_ == readyCount_) taken_ = readyCount_ = 0;
  // Written in place, in a slot used before once there is one: a sample is
  // handed on for every one that comes in.
  if (readyCount_ == ready_.size()) ready_.emplace_back();
  ActivitySample& out = ready_[readyCount_++];
  const Sample& sample = samples_[next_];
  out.time = sample.time;
  double absolutes = 0;
  double squares = 0;
  for (size_t axis = 0; axis < 3; ++axis) {
    out.staticAcceleration[axis] = sum_[axis] * perSample;
    out.dynamicAcceleration[axis] = sample.acceleration[axis] - out.staticAcceleration[axis];
    absolutes += std::abs(out.dynamicAcceleration[axis]);
    squares += out.dynamicAcceleration[axis] * out.dynamicAcceleration[axis];
  }
  out.odba = absolutes;
  out.vedba = std::sqrt(squares);
  if (angles_) {
    out.gravity = orientation_.fromGravity(out.staticAcceleration);
    out.quaternion = orientation_.fromQuaternion(sample.quaternion);
  } else {
    out.gravity = out.quaternion = {kNaN, kNaN, kNaN};
  }
}

std::optional<ActivitySample> ActivityFilter::next() {
  if (taken_ == readyCount_) return std::nullopt;
  return ready_[taken_++];
}

}  // namespace zolt
