// The analysis of a deployment as a timed view: the pressure readings
// through the surface estimate into depth and the dives, the inertial
// samples through the activity filter, each handed on to `Rows` as soon as
// it is known. One view lasts the whole run of files, so that a deployment
// split over many files is analysed as one; a gap in the clock, damage or a
// record cut short cuts the analysis there.
//
// `Rows` takes what it asks for:
//
//   void depth(const SurfaceReading& reading, double depth);
//   void dive(const Dive& dive);
//   void activity(const ActivitySample& sample);
//
// and, if it can fail, Error failure() const.
#pragma once

#include <array>
#include <cmath>

#include "analysis/analysisSettings.h"
#include "core/readings.h"
#include "core/recordCatalogue.h"
#include "core/recordFormat.h"
#include "core/sampleClock.h"
#include "core/timedView.h"

namespace zolt {

// What the analysis works out: each part costs time, so only what a view
// shows is.
struct AnalysisParts {
  bool depth = false;     // surface pressure and depth of each reading
  bool dives = false;     // depth, and the dives in it
  bool diveDba = false;   // each dive's mean dynamic acceleration, from the samples
  bool activity = false;  // every sample's activity and attitude
};

template <typename Rows>
class AnalysisView : public TimedViewBase {
 public:
  // The settings are sound: each component took them (cli/analysisOptions).
  AnalysisView(const AnalysisSettings& settings, AnalysisParts parts, Rows& rows)
      : parts_(parts),
        rows_(rows),
        surface_(SurfaceEstimator::make(settings.surface).value()),
        depth_(DepthFromPressure::make(settings.depth).value()),
        finder_(DiveFinder::make(settings.dives).value()),
        activity_(ActivityFilter::make(withAngles(settings.activity, parts.activity)).value()) {}

  // Another view in the state `other` is in, handing its rows on to `rows`
  // from here on: what `other` would make of the same records after this.
  AnalysisView(const AnalysisView& other, Rows& rows)
      : parts_(other.parts_),
        rows_(rows),
        surface_(other.surface_),
        depth_(other.depth_),
        finder_(other.finder_),
        activity_(other.activity_) {}

  template <RecordType Type>
  void record(TimedRecord<Type> record) {
    if constexpr (Type == kPressureRecord) {
      if (!readsPressure() || record.time == kNoTime) return;
      surface_.add(record.time, pressureReadings(record.read().counts).bar);
      drainSurface();
    }
  }

  void samples(const Samples& samples) {
    if (!readsSamples() || !samples.timed()) return;
    if (!parts_.activity) {
      holdAccelerations(samples);
      return;
    }
    for (uint64_t sample = samples.first; sample < samples.end(); ++sample) {
      const DataRecord data = Record<kDataRecord>::read(samples.record(sample) + 1);
      const std::array<double, 3> acceleration = {data.acc[0] * kAccCount, data.acc[1] * kAccCount,
                                                  data.acc[2] * kAccCount};
      const std::array<double, 4> quaternion = {data.quat[0] * kQuatCount, data.quat[1] * kQuatCount,
                                                data.quat[2] * kQuatCount, data.quat[3] * kQuatCount};
      activity_.add(samples.timeOf(sample), acceleration, quaternion);
    }
    drainActivity();
  }

  // A dive's mean VeDBA wants nothing else of a sample: the batch path,
  // which reads the accelerations alone.
  void holdAccelerations(const Samples& samples) {
    SampleOffsets offsets(samples.first, samples.rate);
    for (uint64_t sample = samples.first; sample < samples.end(); ++sample) {
      const uint8_t* body = samples.record(sample) + 1;
      activity_.hold(samples.marker + offsets.next(), accCount(body + accOffset(0)) * kAccCount,
                     accCount(body + accOffset(1)) * kAccCount, accCount(body + accOffset(2)) * kAccCount);
    }
    takeVedba(false);
  }
  void takeVedba(bool all) {
    activity_.takeVedba(all, [this](int64_t time, double vedba) { finder_.addDba(time, vedba); });
    drainDives();
  }

  // A second that does not follow the one before leaves a gap in both the
  // readings and the samples.
  void second(const SecondStep& step) {
    if (step.previous && step.step() != 1) cut();
  }
  void unknownType(uint8_t /*type*/, uint64_t /*offset*/) { cut(); }
  void cutRecord(const uint8_t* /*bytes*/, size_t /*size*/, uint64_t /*offset*/) { cut(); }
  void skipped(uint64_t /*offset*/, uint64_t /*size*/) { cut(); }

  // The run is over: everything held is handed on, a dive still open cut.
  void finish() {
    surface_.finish();
    drainSurface();
    endSamples();
    finder_.finish();
    drainDives();
  }

  Error failure() const {
    if constexpr (requires { rows_.failure(); }) return rows_.failure();
    return {};
  }

 private:
  static ActivityParameters withAngles(ActivityParameters parameters, bool angles) {
    parameters.angles = angles;
    return parameters;
  }
  bool readsPressure() const { return parts_.depth || parts_.dives; }
  bool readsSamples() const { return parts_.activity || (parts_.dives && parts_.diveDba); }

  void cut() {
    if (readsPressure()) {
      surface_.cut();
      drainSurface();
    }
    if (readsSamples()) endSamples();
  }
  // Every sample held is handed on, by the path that holds it.
  void endSamples() {
    if (!parts_.activity) takeVedba(true);
    activity_.cut();
    drainActivity();
  }

  void drainSurface() {
    while (const std::optional<SurfaceReading> reading = surface_.next()) {
      const double depth = depth_.depth(reading->bar, reading->surfaceBar);
      if (parts_.depth) rows_.depth(*reading, depth);
      if (!parts_.dives) continue;
      if (reading->cutBefore) finder_.cut();
      finder_.addDepth(reading->time, depth);
    }
    drainDives();
  }
  void drainActivity() {
    activity_.takeReady([this](const ActivitySample& sample) {
      if (parts_.activity) rows_.activity(sample);
      if (parts_.dives && parts_.diveDba) finder_.addDba(sample.time, sample.vedba);
    });
    drainDives();
  }
  void drainDives() {
    if (!parts_.dives) return;
    while (const std::optional<Dive> dive = finder_.next()) rows_.dive(*dive);
  }

  AnalysisParts parts_;
  Rows& rows_;
  SurfaceEstimator surface_;
  DepthFromPressure depth_;
  DiveFinder finder_;
  ActivityFilter activity_;
};

}  // namespace zolt
