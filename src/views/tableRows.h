// The rows of one table from the records of one input: which records make
// rows, when each was taken and which the window keeps. Every form of a
// table (CSV text, typed columns) is made from these rows, so they all hold
// the same rows. What a row becomes is up to `Rows`:
//
//   void header(int64_t time, const FileHeader& record);
//   void marker(int64_t time);
//   // `count` data records from sample number `firstSample` since a marker
//   // at `markerTime` (kNoTime when none), whole records, type byte first:
//   void data(int64_t markerTime, uint16_t rate, uint64_t firstSample, const uint8_t* records, size_t count);
//   void pressure(int64_t time, uint16_t counts);
//   void index(int64_t time, const IndexRecord& record);
//   void system(int64_t time, const SystemRecord& record);
//
// and, if it can fail, Error failure() const.
#pragma once

#include "core/recordFormat.h"
#include "core/sampleClock.h"
#include "zolt/tables.h"

namespace zolt {

constexpr int64_t microsOf(int32_t seconds, uint32_t ms = 0) { return (int64_t{seconds} * 1000 + ms) * 1000; }

template <typename Rows>
class TableRowsView {
 public:
  // `rate` is that of the latest file header before this input.
  TableRowsView(TableKind kind, const TimeWindow& window, uint16_t rate, Rows& rows)
      : kind_(kind), window_(window), rate_(rate), rows_(rows) {}

  // The rate of the latest file header so far, for the next input.
  uint16_t rate() const { return rate_; }

  void fileHeader(const uint8_t* body) {
    const FileHeader header = readFileHeader(body);
    rate_ = header.rate;
    const int64_t time = microsOf(header.time, header.ms);
    if (kind_ == TableKind::kHeader && window_.keeps(time)) rows_.header(time, header);
  }

  void secondMarker(const uint8_t* body) {
    markerTime_ = microsOf(readMarkerTime(body));
    sample_ = 0;
    if (kind_ == TableKind::kMarker && window_.keeps(markerTime_)) rows_.marker(markerTime_);
  }

  void dataRecords(const uint8_t* records, size_t count) {
    if (kind_ == TableKind::kData) keptData(records, count);
    sample_ += count;
  }

  void pressure(const uint8_t* body) {
    if (kind_ == TableKind::kPressure && window_.keeps(markerTime_)) rows_.pressure(markerTime_, readPressureCounts(body));
  }

  void index(const uint8_t* body) {
    if (kind_ != TableKind::kIndex) return;
    const IndexRecord index = readIndex(body);
    const int64_t time = microsOf(index.time, index.ms);
    if (window_.keeps(time)) rows_.index(time, index);
  }

  void system(const uint8_t* body) {
    if (kind_ != TableKind::kSystem) return;
    const SystemRecord system = readSystem(body);
    const int64_t time = microsOf(system.time);
    if (window_.keeps(time)) rows_.system(time, system);
  }

  void unknownType(uint8_t /*type*/, uint64_t /*offset*/) {}
  // Zeros in place of the missing bytes would be invented data: a cut
  // record makes no row.
  void cutRecord(const uint8_t* /*bytes*/, size_t /*size*/, uint64_t /*offset*/) {}

  Error failure() const {
    if constexpr (requires { rows_.failure(); }) return rows_.failure();
    return {};
  }

 private:
  // Times rise through a run of data records after one marker, so the rows
  // a window keeps lie together.
  void keptData(const uint8_t* records, size_t count) {
    if (markerTime_ == kNoTime) {
      if (!window_.given) rows_.data(kNoTime, rate_, sample_, records, count);
      return;
    }
    const SampleSpan span = samplesWithin(markerTime_, rate_, sample_, count, window_.from, window_.to);
    if (span.end == span.first) return;
    rows_.data(markerTime_, rate_, span.first, records + (span.first - sample_) * kDataRecordSize,
               static_cast<size_t>(span.end - span.first));
  }

  TableKind kind_;
  const TimeWindow& window_;
  uint16_t rate_;
  Rows& rows_;
  int64_t markerTime_ = kNoTime;  // of the latest second marker in this input
  uint64_t sample_ = 0;           // data records since that marker
};

}  // namespace zolt
