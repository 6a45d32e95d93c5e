#include "views/plotRun.h"

#include <algorithm>

#include "views/accelerationRange.h"
#include "core/readInput.h"
#include "core/recordFormat.h"
#include "core/sampleClock.h"
#include "zolt/units.h"

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
  explicit PlotView(PlotRun::Impl& run) : run_(run) {}

  void fileHeader(const uint8_t* body) {
    const FileHeader header = readFileHeader(body);
    run_.rate = header.rate;
    if (!run_.facts.id) {
      run_.facts.id = header.id;
      run_.facts.rate = header.rate;
    }
  }

  void secondMarker(const uint8_t* body) {
    const int32_t time = readMarkerTime(body);
    if (run_.lastMarker) {
      const int64_t previous = *run_.lastMarker;
      if (time - previous == 1 && markerTime_ != kNoTime) {
        add(secondsToMicros(previous), kSeriesRecordsPerSecond, static_cast<double>(sample_));
      }
      if (time - previous > 1) addGap(secondsToMicros(previous + 1), secondsToMicros(time));
    }
    run_.lastMarker = time;
    markerTime_ = secondsToMicros(time);
    sample_ = 0;
  }

  void dataRecords(const uint8_t* records, size_t count) {
    if (markerTime_ != kNoTime) addAccelerations(records, count);
    sample_ += count;
  }

  void pressure(const uint8_t* body) {
    if (markerTime_ != kNoTime) {
      add(markerTime_, kSeriesExtPress, adcEngValue(kExtPressure, readPressureCounts(body), nullptr));
    }
  }

  void index(const uint8_t* /*body*/) {}

  void system(const uint8_t* body) {
    const SystemRecord fields = readSystem(body);
    const int64_t time = secondsToMicros(fields.time);
    add(time, kSeriesTemp, adcEngValue(kTemperature, fields.temp, nullptr));
    add(time, kSeriesHum, adcEngValue(kHumidity, fields.hum, nullptr));
    add(time, kSeriesIntPress, adcEngValue(kIntPressure, fields.intPress, nullptr));
    add(time, kSeriesBatt, supplyVolts(fields.batt));
    add(time, kSeriesModem, supplyVolts(fields.vmodem));
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

  PlotRun::Impl& run_;
  int64_t markerTime_ = kNoTime;  // of the latest second marker in this file
  uint64_t sample_ = 0;           // data records since then
};

}  // namespace

PlotRun::PlotRun(const TimeWindow& window) : impl_(std::make_unique<Impl>()) { impl_->window = window; }

PlotRun::~PlotRun() = default;

FileOutcome PlotRun::add(std::string_view name, const Input& input, const KeepGoing& keepGoing) {
  PlotView view(*impl_);
  FileOutcome outcome = readInput(input, view, keepGoing);
  // Only the files read are named in the title.
  if (outcome.ok()) {
    try {
      impl_->facts.names.emplace_back(name);
    } catch (const std::bad_alloc&) {
      outcome.error = outOfMemory();
    }
  }
  return outcome;
}

}  // namespace zolt
