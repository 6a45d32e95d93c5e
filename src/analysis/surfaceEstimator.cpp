#include "analysis/surfaceEstimator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "analysis/parameterError.h"

namespace zolt {

namespace {

// A window is this many slices either side of its own, and its own.
constexpr int64_t kHalfWindowSlices = 6;
constexpr double kWindowSlices = 2 * kHalfWindowSlices + 1;
// Of a window's readings near the surface, the lowest thousandth may be
// spikes; fewer than ten is no sign of the surface.
constexpr double kSpikes = 0.001;
constexpr uint64_t kLeastNearSurface = 10;
constexpr double kLongestWindow = 366 * 86400.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Between two knots, or the one of them that has a value.
double between(double before, int64_t beforeTime, double after, int64_t afterTime, int64_t time) {
  if (std::isnan(before)) return after;
  if (std::isnan(after) || afterTime == beforeTime) return before;
  const double fraction = static_cast<double>(time - beforeTime) / static_cast<double>(afterTime - beforeTime);
  return before + (after - before) * fraction;
}

}  // namespace

Result<SurfaceEstimator> SurfaceEstimator::make(const SurfaceParameters& parameters) {
  if (parameters.fixedBar && !std::isfinite(*parameters.fixedBar))
    return parameterError("surface pressure", "a number of bar", *parameters.fixedBar);
  if (!(parameters.window > 0 && parameters.window <= kLongestWindow))
    return parameterError("window of the surface pressure", "more than 0 and at most a year of seconds",
                          parameters.window);
  if (!(parameters.quantile >= 0 && parameters.quantile <= 1))
    return parameterError("quantile of the surface pressure", "from 0 to 1", parameters.quantile);
  if (!(parameters.band > 0 && parameters.band <= PressureHistogram::kHighest))
    return parameterError("band near the surface", "more than 0 and at most 2 bar", parameters.band);
  return SurfaceEstimator(parameters);
}

SurfaceEstimator::SurfaceEstimator(const SurfaceParameters& parameters)
    : parameters_(parameters),
      sliceLength_(std::max<int64_t>(1, std::llround(parameters.window * 1e6 / kWindowSlices))),
      carried_(kNaN) {}

// Unsigned, so that no time however far from the first overflows.
int64_t SurfaceEstimator::sliceOf(int64_t time) const {
  const uint64_t since = static_cast<uint64_t>(time) - static_cast<uint64_t>(origin_);
  return static_cast<int64_t>(since / static_cast<uint64_t>(sliceLength_));
}

void SurfaceEstimator::add(int64_t time, double bar) {
  const bool stepBack = started_ && time < lastTime_;
  const bool cutBefore = std::exchange(cutPending_, false) || stepBack || finished_;
  if (stepBack) finish();
  if (finished_) forget();
  lastTime_ = time;
  if (!started_) {
    started_ = true;
    origin_ = time;
  }
  if (parameters_.fixedBar) {
    ready_.push_back({time, bar, *parameters_.fixedBar, cutBefore});
    return;
  }
  const int64_t slice = sliceOf(time);
  // Nothing is decided, and so nothing handed on, but as a slice begins.
  if (slices_.empty() || slices_.back().index != slice) {
    closeSlicesBefore(slice);
    slices_.push_back({slice, {}});
    const auto start =
        static_cast<uint64_t>(origin_) + static_cast<uint64_t>(slice) * static_cast<uint64_t>(sliceLength_);
    knots_.push_back({slice, static_cast<int64_t>(start + static_cast<uint64_t>(sliceLength_ / 2)), kNaN, false,
                      false});
  }
  slices_.back().histogram.add(bar);
  held_.push_back({time, bar, slice, cutBefore});
}

void SurfaceEstimator::cut() { cutPending_ = true; }

// Slices before `slice` take no more readings: the knots whose windows
// they complete are decided, and the slices no window still needs go.
void SurfaceEstimator::closeSlicesBefore(int64_t slice) {
  for (Knot& knot : knots_)
    if (!knot.decided && knot.index + kHalfWindowSlices < slice) decide(knot);
  handOnReady();
  int64_t needed = slice;
  for (const Knot& knot : knots_)
    if (!knot.decided) needed = std::min(needed, knot.index);
  while (!slices_.empty() && slices_.front().index < needed - kHalfWindowSlices) slices_.pop_front();
}

void SurfaceEstimator::decide(Knot& knot) {
  PressureHistogram window;
  for (const Slice& slice : slices_)
    if (std::abs(slice.index - knot.index) <= kHalfWindowSlices) window.add(slice.histogram);
  const std::optional<double> estimate =
      window.lowQuantile(parameters_.quantile, parameters_.band, kSpikes, kLeastNearSurface);
  if (estimate) carried_ = *estimate;
  knot.value = carried_;
  knot.own = estimate.has_value();
  knot.decided = true;
}

// A reading lies between the knot before its time and the knot after it,
// one of them its own slice's; both must be decided.
bool SurfaceEstimator::handOn(const Held& reading) {
  const auto own = std::lower_bound(knots_.begin(), knots_.end(), reading.slice,
                                    [](const Knot& knot, int64_t index) { return knot.index < index; });
  const Knot* before = nullptr;
  const Knot* after = nullptr;
  if (reading.time < own->centre) {
    before = own == knots_.begin() ? nullptr : &*(own - 1);
    after = &*own;
  } else {
    before = &*own;
    after = own + 1 == knots_.end() ? nullptr : &*(own + 1);
    if (after == nullptr && !finished_) return false;
  }
  if (!own->decided || (after != nullptr && !after->decided)) return false;
  const double surface = after == nullptr    ? before->value
                         : before == nullptr ? after->value
                                             : between(before->value, before->centre, after->value, after->centre,
                                                       reading.time);
  ready_.push_back({reading.time, reading.bar, surface, reading.cutBefore});
  return true;
}

// Hands on what can be, and keeps of the knots the one before the first
// reading still held, and those after.
void SurfaceEstimator::handOnReady() {
  while (!held_.empty() && handOn(held_.front())) held_.pop_front();
  const int64_t needed = held_.empty() ? (knots_.empty() ? 0 : knots_.back().index) : held_.front().slice;
  while (knots_.size() >= 2 && knots_[1].index < needed) knots_.pop_front();
}

void SurfaceEstimator::finish() {
  if (!started_) return;
  for (Knot& knot : knots_)
    if (!knot.decided) decide(knot);
  finished_ = true;
  handOnReady();
}

void SurfaceEstimator::forget() {
  slices_.clear();
  knots_.clear();
  held_.clear();
  started_ = false;
  finished_ = false;
}

std::optional<SurfaceReading> SurfaceEstimator::next() {
  if (ready_.empty()) return std::nullopt;
  const SurfaceReading reading = ready_.front();
  ready_.pop_front();
  return reading;
}

}  // namespace zolt
