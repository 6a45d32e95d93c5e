#include "views/plotRun.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "core/readInput.h"
#include "core/readings.h"
#include "core/recordCatalogue.h"
#include "core/sampleClock.h"
#include "views/accelerationRange.h"
#include "views/recordsPerSecond.h"
#include "views/teeView.h"

namespace zolt {

namespace {

int64_t secondsToMicros(int64_t seconds) { return seconds * kMicrosecondsPerSecond; }

// Adds the accelerations of `records` whole data records to one column.
void addAccelerationsTo(PlotColumn& column, const uint8_t* records, uint64_t count) {
  const AccelerationRange range = accelerationRange(records, count);
  for (size_t axis = 0; axis < kAccAxes; ++axis) {
    Envelope values;
    values.min = range.least[axis] * kAccCount;
    values.max = range.greatest[axis] * kAccCount;
    values.sum = static_cast<double>(range.sum[axis]) * kAccCount;
    values.count = count;
    column.series[kSeriesAccX + axis].merge(values);
  }
}

// Feeds one file's records to the run's columns.
class PlotView : public TimedViewBase {
 public:
  explicit PlotView(PlotGathering& run) : run_(run) {}

  void record(TimedRecord<kFileHeader> record) {
    const FileHeader header = record.read();
    if (!run_.facts.id) {
      run_.facts.id = header.id;
      run_.facts.rate = header.rate;
    }
  }

  // The gaps of the run's clock.
  void second(const SecondStep& step) {
    if (step.placed || !step.previous) return;
    if (step.step() > 1) addGap(secondsToMicros(*step.previous + 1), secondsToMicros(step.time));
  }

  void samples(const Samples& samples) {
    if (!samples.timed()) return;
    const Samples kept = samples.within(run_.window);
    addAccelerations(kept);
    perSecond_.add(kept, [this](int64_t start, uint64_t records) { addSecond(start, records); });
  }

  // The input is over: so is the second it ended in.
  void finish() {
    perSecond_.finish([this](int64_t start, uint64_t records) { addSecond(start, records); });
  }

  void record(TimedRecord<kPressureRecord> record) {
    if (record.time != kNoTime) add(record.time, kSeriesExtPress, pressureReadings(record.read().counts).bar);
  }

  void record(TimedRecord<kSystemRecord> record) {
    const SystemReadings values = systemReadings(record.read());
    add(record.time, kSeriesTemp, values.tempDegC);
    add(record.time, kSeriesHum, values.humPct);
    add(record.time, kSeriesIntPress, values.intPressPsia);
    add(record.time, kSeriesBatt, values.battV);
    add(record.time, kSeriesModem, values.vmodemV);
  }

  // The picture draws nothing of the other records.
  template <RecordType Type>
  void record(TimedRecord<Type> /*record*/) {}

 private:
  bool inWindow(int64_t time) const { return time >= run_.window.from && time < run_.window.to; }

  void add(int64_t time, PlotSeries series, double value) {
    if (inWindow(time)) run_.columns.at(time).series[series].add(value);
  }

  // A second that begins before the window counts where the window begins.
  void addSecond(int64_t start, uint64_t records) {
    add(std::max(start, run_.window.from), kSeriesRecordsPerSecond, static_cast<double>(records));
  }

  void addGap(int64_t from, int64_t to) {
    run_.columns.addGap(std::max(from, run_.window.from), std::min(to, run_.window.to));
  }

  // The samples the window keeps, in chunks that each fall in one column.
  void addAccelerations(const Samples& samples) {
    for (uint64_t first = samples.first; first < samples.end();) {
      const int64_t time = samples.timeOf(first);
      PlotColumn& column = run_.columns.at(time);
      const uint64_t last =
          std::min(samples.end(), firstSampleAtOrAfter(run_.columns.columnEnd(time) - samples.marker, samples.rate));
      addAccelerationsTo(column, samples.record(first), last - first);
      // The span of the picture ends at the last sample drawn, which lies
      // in the same column.
      run_.columns.at(samples.timeOf(last - 1));
      first = last;
    }
  }

  PlotGathering& run_;
  RecordsPerSecond perSecond_;
};

}  // namespace

void PlotDepthRows::depth(const SurfaceReading& reading, double depth) {
  if (reading.time >= window_.from && reading.time < window_.to && std::isfinite(depth))
    columns_.at(reading.time).series[kSeriesDepth].add(depth);
}

void PlotDepthRows::dive(const Dive& dive) {
  if (dive.end > window_.from && dive.start < window_.to) dives.push_back({dive.start, dive.end, dive.number});
}

FileOutcome gatherPlot(PlotGathering& run, const Input& input, const KeepGoing& keepGoing, bool salvage) {
  PlotView records(run);
  TeeView<PlotView, AnalysisView<PlotDepthRows>> view(records, run.analysis);
  FileOutcome outcome = readInput(input, run.clock, view, keepGoing, salvage);
  records.finish();
  // Only the files read are named in the title.
  if (outcome.ok()) {
    try {
      run.facts.names.emplace_back(input.name());
    } catch (const std::bad_alloc&) {
      outcome.error = outOfMemory();
    }
  }
  return outcome;
}

PlotRun::PlotRun(PlotOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->gathered.window = options.window;
  impl_->keepGoing = std::move(options.keepGoing);
  impl_->salvage = options.salvage;
}

PlotRun::~PlotRun() = default;
PlotRun::PlotRun(PlotRun&&) noexcept = default;
PlotRun& PlotRun::operator=(PlotRun&&) noexcept = default;

FileOutcome PlotRun::add(const Input& input) {
  if (impl_ == nullptr) return {{Errc::kInvalidArgument, EINVAL}, {}};
  return gatherPlot(impl_->gathered, input, impl_->keepGoing, impl_->salvage);
}

}  // namespace zolt
