// The pressure at the surface (the zero offset), estimated from the
// readings themselves as the weather and the sensor drift, so that depth is
// measured from the surface of the day and not from a constant.
//
// Method: the readings are gathered in slices of a thirteenth of the
// window, each a histogram of the readings between 0 and 2 bar (deeper ones
// say nothing of the surface). At the centre of each slice, the estimate is
// a low quantile of the readings of the window centred there that lie near
// the surface: within `band` of the window's lowest readings, so that the
// time spent under water, however much of the window it fills, does not
// weigh. Between slice centres the estimate is interpolated; a window in
// which the logger never came near the surface carries the estimate before
// it. The lowest thousandth of a window's readings is taken for spikes.
//
// A centred window needs the readings of half a window ahead: each reading
// is handed on once its estimate is known, about 0.6 of a window after it
// came in, so the estimator holds that much of the readings and no more;
// its histograms take about 350 KB whatever the window.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "analysis/pressureHistogram.h"
#include "zolt/error.h"

namespace zolt {

struct SurfaceParameters {
  // The surface pressure of every reading, bar, when it is known: nothing is
  // estimated and nothing waits.
  std::optional<double> fixedBar;
  // Seconds of readings that each estimate rests on, centred on it. Six
  // hours follows the weather (a few millibars an hour at the most) within
  // a centimetre or two, and holds a window in which the logger surfaces
  // even when it spends nearly all its time under water.
  double window = 6 * 3600;
  // The fraction of the readings near the surface that lie below the
  // estimate: low, because waves and a logger at rest just under the
  // surface only ever read deeper than the surface.
  double quantile = 0.1;
  // How far above the lowest readings of a window a reading is still near
  // the surface, bar: about a metre of water, above waves of half a metre.
  double band = 0.1;
};

struct SurfaceReading {
  int64_t time;       // as it came in
  double bar;         // as it came in
  double surfaceBar;  // NaN where no window before or near it saw the surface
  // The readings before it do not run on to it: there was a cut(), a
  // finish() or a step back in time between.
  bool cutBefore;
};

class SurfaceEstimator {
 public:
  SurfaceEstimator() : SurfaceEstimator(SurfaceParameters{}) {}
  // Refuses a window that is not positive, a quantile outside 0 to 1, a
  // band that is not positive and a fixed pressure that is not a number.
  static Result<SurfaceEstimator> make(const SurfaceParameters& parameters);

  // One reading, absolute, in bar; times in microseconds. A time before the
  // one before ends the run of readings there, as finish() does.
  void add(int64_t time, double bar);
  // The readings on either side of here do not run on (a gap in the clock,
  // damage): the estimate takes no notice, but the next reading handed on
  // says so, for what follows it (the dive finder) to cut there too.
  void cut();
  // No reading to come belongs with those before: every reading held is
  // handed on, with the estimates of the windows as far as they go.
  void finish();
  // The next reading whose estimate is known, in the order they came in.
  std::optional<SurfaceReading> next();

 private:
  explicit SurfaceEstimator(const SurfaceParameters& parameters);

  struct Slice {
    int64_t index;
    PressureHistogram histogram;
  };
  struct Knot {
    int64_t index;
    int64_t centre;
    double value;  // NaN while there is none
    bool own;      // estimated in its window, not carried
    bool decided;
  };
  struct Held {
    int64_t time;
    double bar;
    int64_t slice;
    bool cutBefore;
  };

  int64_t sliceOf(int64_t time) const;
  void closeSlicesBefore(int64_t slice);
  void decide(Knot& knot);
  bool handOn(const Held& reading);
  void handOnReady();
  void forget();

  SurfaceParameters parameters_;
  int64_t sliceLength_;  // us
  bool started_ = false;
  bool finished_ = false;
  bool cutPending_ = false;
  int64_t origin_ = 0;
  int64_t lastTime_ = 0;
  double carried_;  // the latest estimate of a window, for those with none
  std::deque<Slice> slices_;
  std::deque<Knot> knots_;
  std::deque<Held> held_;
  std::deque<SurfaceReading> ready_;
};

}  // namespace zolt
