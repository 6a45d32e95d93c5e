#include "views/plotRun.h"

#include <algorithm>
#include <cerrno>

#include "core/readInput.h"
#include "core/readings.h"
#include "core/recordCatalogue.h"
#include "core/sampleClock.h"
#include "views/accelerationRange.h"

namespace zolt {

namespace {

int64_t secondsToMicros(int64_t seconds) { return seconds * kMicrosecondsPerSecond; }

// Adds the accelerations of `records` whole data records to one column.
void addAccelerationsTo(PlotColumn& column, const uint8_t* records, uint64_t count) {
  const AccelerationRange range = accelerationRange(records, count);
  for (size_t axis = 0; axis < kAccAxes; ++axis) {
    Envelope values;
    values.min = range.least[axis] / 65536.0;
    values.max = range.greatest[axis] / 65536.0;
    values.sum = static_cast<double>(range.sum[axis]) / 65536.0;
    values.count = count;
    column.series[kSeriesAccX + axis].merge(values);
  }
}

// Feeds one file's records to the run's columns.
class PlotView {
 public:
  explicit PlotView(PlotGathering& run) : run_(run) {}

  void record(RecordBody<kFileHeader> body) {
    const FileHeader header = body.read();
    run_.rate = header.rate;
    if (!run_.facts.id) {
      run_.facts.id = header.id;
      run_.facts.rate = header.rate;
    }
  }

  void record(RecordBody<kSecondMarker> body) {
    const int32_t time = body.read().time;
    if (run_.lastMarker) {
      const int64_t previous = *run_.lastMarker;
      if (time - previous == 1 && markerTime_ != kNoTime && !placed_) {
        add(secondsToMicros(previous), kSeriesRecordsPerSecond, static_cast<double>(sample_));
      }
      if (time - previous > 1) addGap(secondsToMicros(previous + 1), secondsToMicros(time));
    }
    run_.lastMarker = time;
    markerTime_ = secondsToMicros(time);
    sample_ = 0;
    placed_ = false;
  }

  void dataRecords(const uint8_t* records, size_t count) {
    if (markerTime_ != kNoTime) addAccelerations(records, count);
    sample_ += count;
  }

  void record(RecordBody<kPressureRecord> body) {
    if (markerTime_ != kNoTime) add(markerTime_, kSeriesExtPress, pressureReadings(body.read().counts).bar);
  }

  void record(RecordBody<kSystemRecord> body) {
    const SystemRecord fields = body.read();
    const SystemReadings values = systemReadings(fields);
    const int64_t time = secondsToMicros(fields.time);
    add(time, kSeriesTemp, values.tempDegC);
    add(time, kSeriesHum, values.humPct);
    add(time, kSeriesIntPress, values.intPressPsia);
    add(time, kSeriesBatt, values.battV);
    add(time, kSeriesModem, values.vmodemV);
  }

  // The picture draws nothing of the other records.
  template <RecordType Type>
  void record(RecordBody<Type> /*body*/) {}

  void lostDataRecords(uint64_t count) { sample_ += count; }
  void salvagedRate(uint16_t rate) {
    if (run_.rate == 0) run_.rate = rate;
  }
  void placeSecond(int32_t markerTime, uint64_t firstSample) {
    // The lost marker's second counts no records of its own.
    run_.lastMarker = markerTime;
    markerTime_ = secondsToMicros(markerTime);
    sample_ = firstSample;
    placed_ = true;
  }
  void unknownType(uint8_t /*type*/, uint64_t /*offset*/) {}
  void cutRecord(const uint8_t* /*bytes*/, size_t /*size*/, uint64_t /*offset*/) {}

 private:
  bool inWindow(int64_t time) const { return time >= run_.window.from && time < run_.window.to; }

  void add(int64_t time, PlotSeries series, double value) {
    if (inWindow(time)) run_.columns.at(time).series[series].add(value);
  }

  void addGap(int64_t from, int64_t to) {
    run_.columns.addGap(std::max(from, run_.window.from), std::min(to, run_.window.to));
  }

  // The samples of the run since the marker that fall in the window, in
  // chunks that each fall in one column.
  void addAccelerations(const uint8_t* records, size_t count) {
    const uint16_t rate = run_.rate;
    const uint64_t base = sample_;
    const SampleSpan span = samplesWithin(markerTime_, rate, base, count, run_.window.from, run_.window.to);
    for (uint64_t first = span.first; first < span.end;) {
      const int64_t time = markerTime_ + sampleOffset(first, rate);
      PlotColumn& column = run_.columns.at(time);
      const uint64_t last = std::min(span.end, firstSampleAtOrAfter(run_.columns.columnEnd(time) - markerTime_, rate));
      addAccelerationsTo(column, records + (first - base) * kDataRecordSize, last - first);
      // The span of the picture ends at the last sample drawn, which lies
      // in the same column.
      run_.columns.at(markerTime_ + sampleOffset(last - 1, rate));
      first = last;
    }
  }

  PlotGathering& run_;
  int64_t markerTime_ = kNoTime;  // of the latest second marker in this file
  uint64_t sample_ = 0;           // data records since then
  bool placed_ = false;           // its marker was lost and salvage placed it
};

}  // namespace

FileOutcome gatherPlot(PlotGathering& run, const Input& input, const KeepGoing& keepGoing, bool salvage) {
  PlotView view(run);
  FileOutcome outcome = readInput(input, view, keepGoing, salvage);
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
