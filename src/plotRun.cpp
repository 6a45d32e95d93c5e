#include "plotRun.h"

#include <algorithm>

#include "accelerationRange.h"
#include "decode.h"
#include "namedInput.h"
#include "recordScanner.h"
#include "reportWriter.h"
#include "sampleClock.h"

namespace {

constexpr int64_t kNoTime = INT64_MIN;

int64_t secondsToMicros(int64_t seconds) { return seconds * kMicrosecondsPerSecond; }

// Adds the accelerations of `records` whole data records to one column.
void addAccelerations(Column& column, const uint8_t* records, uint64_t count) {
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

}  // namespace

// Feeds one file's records to the run's columns.
class PlotView {
 public:
  explicit PlotView(PlotRun& run) : run_(run) {}

  void fileHeader(const uint8_t* body) {
    const FileHeaderFields header = readFileHeader(body);
    run_.rate_ = header.rate;
    if (!run_.facts_.id) {
      run_.facts_.id = header.id;
      run_.facts_.rate = header.rate;
    }
  }

  void secondMarker(const uint8_t* body) {
    const uint8_t* at = body;
    skipPadByte(at);
    const int32_t time = readTimestamp(at);
    if (run_.lastMarker_) {
      const int64_t previous = *run_.lastMarker_;
      if (time - previous == 1 && markerTime_ != kNoTime) {
        add(secondsToMicros(previous), kSeriesRecordsPerSecond, static_cast<double>(sample_));
      }
      if (time - previous > 1) addGap(secondsToMicros(previous + 1), secondsToMicros(time));
    }
    run_.lastMarker_ = time;
    markerTime_ = secondsToMicros(time);
    sample_ = 0;
  }

  void dataRecords(const uint8_t* records, size_t count) {
    if (markerTime_ != kNoTime) addAccelerations(records, count);
    sample_ += count;
  }

  void pressure(const uint8_t* body) {
    const uint8_t* at = body;
    skipPadByte(at);
    if (markerTime_ != kNoTime) add(markerTime_, kSeriesExtPress, adcEngValue(kExtPressure, readWord(at), nullptr));
  }

  void index(const uint8_t* /*body*/) {}

  void system(const uint8_t* body) {
    const SystemFields fields = readSystem(body);
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
  bool inWindow(int64_t time) const { return time >= run_.window_.from && time < run_.window_.to; }

  void add(int64_t time, PlotSeries series, double value) {
    if (inWindow(time)) run_.columns_.at(time).series[series].add(value);
  }

  void addGap(int64_t from, int64_t to) {
    run_.columns_.addGap(std::max(from, run_.window_.from), std::min(to, run_.window_.to));
  }

  // The samples [first, end) of the run since the marker that fall in the
  // window, in chunks that each fall in one column.
  void addAccelerations(const uint8_t* records, size_t count) {
    const uint16_t rate = run_.rate_;
    const uint64_t base = sample_;
    uint64_t first = std::max(base, firstSampleAtOrAfter(edgeOffset(run_.window_.from), rate));
    const uint64_t end = std::min(base + count, firstSampleAtOrAfter(edgeOffset(run_.window_.to), rate));
    while (first < end) {
      const int64_t time = markerTime_ + sampleOffset(first, rate);
      Column& column = run_.columns_.at(time);
      const uint64_t last = std::min(end, firstSampleAtOrAfter(run_.columns_.columnEnd(time) - markerTime_, rate));
      ::addAccelerations(column, records + (first - base) * kDataRecordSize, last - first);
      first = last;
    }
  }

  // How far a window edge lies after the marker, kept within reach.
  int64_t edgeOffset(int64_t edge) const {
    if (edge == INT64_MIN) return INT64_MIN;
    if (edge == INT64_MAX) return INT64_MAX;
    return edge - markerTime_;
  }

  PlotRun& run_;
  int64_t markerTime_ = kNoTime;  // of the latest second marker in this file
  uint64_t sample_ = 0;           // data records since then
};

bool PlotRun::addFile(const char* name) {
  facts_.names.emplace_back(name);
  PlotView view(*this);
  return scanNamedInput(name, view);
}
