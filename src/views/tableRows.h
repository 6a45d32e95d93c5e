// The rows of one table from the records of one input: which records make
// rows, when each was taken and which the window keeps. Every form of a
// table (CSV text, typed columns) is made from these rows, so they all hold
// the same rows. What a row becomes is up to `Rows`:
//
//   // One record of the table's type, with its row's time (kNoTime when
//   // it has none):
//   template <RecordType Type> void row(int64_t time, RecordBody<Type> body);
//   // `count` data records from sample number `firstSample` since a marker
//   // at `markerTime` (kNoTime when none), whole records, type byte first:
//   void data(int64_t markerTime, uint16_t rate, uint64_t firstSample, const uint8_t* records, size_t count);
//
// and, if it can fail, Error failure() const.
#pragma once

#include "core/recordCatalogue.h"
#include "core/sampleClock.h"
#include "zolt/tables.h"

namespace zolt {

template <typename Rows>
class TableRowsView {
 public:
  // `rate` is that of the latest file header before this input.
  TableRowsView(TableKind kind, const TimeWindow& window, uint16_t rate, Rows& rows)
      : kind_(kind), window_(window), rate_(rate), rows_(rows) {}

  // The rate of the latest file header so far, for the next input.
  uint16_t rate() const { return rate_; }

  // Any record but a data record: its row, when its table is this one.
  template <RecordType Type>
  void record(RecordBody<Type> body) {
    if constexpr (Type == kFileHeader) rate_ = body.read().rate;
    if constexpr (Type == kSecondMarker) {
      markerTime_ = Record<kSecondMarker>::time(body.bytes);
      sample_ = 0;
    }
    if (static_cast<RecordType>(kind_) != Type) return;
    const int64_t time = timeOf(body);
    if (window_.keeps(time)) rows_.row(time, body);
  }

  void dataRecords(const uint8_t* records, size_t count) {
    if (kind_ == TableKind::kData) keptData(records, count);
    sample_ += count;
  }

  // Salvage lost this many data records of the second: the samples after
  // them keep their numbers.
  void lostDataRecords(uint64_t count) { sample_ += count; }
  // A file whose header is lost: its rate, from its data, unless one was
  // carried in.
  void salvagedRate(uint16_t rate) {
    if (rate_ == 0) rate_ = rate;
  }
  // Salvage lost the second's marker: it was `markerTime`, and the records
  // that follow are its samples from `firstSample` on.
  void placeSecond(int32_t markerTime, uint64_t firstSample) {
    markerTime_ = microsOf(markerTime);
    sample_ = firstSample;
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
  template <RecordType Type>
  int64_t timeOf(RecordBody<Type> body) const {
    // The catalogue holds that a record has a time of its own exactly when
    // its row lies at that time.
    if constexpr (requires { Record<Type>::time(body.bytes); }) return Record<Type>::time(body.bytes);
    return markerTime_;
  }

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
