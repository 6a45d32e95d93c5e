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
#include "views/dataPlace.h"
#include "zolt/tables.h"

namespace zolt {

template <typename Rows>
class TableRowsView {
 public:
  // `rate` is that of the latest file header before this input.
  TableRowsView(TableKind kind, const TimeWindow& window, uint16_t rate, Rows& rows)
      : kind_(kind), window_(window), rows_(rows) {
    place_.rate = rate;
  }

  // The rate of the latest file header so far, for the next input.
  uint16_t rate() const { return place_.rate; }

  // Any record but a data record: its row, when its table is this one.
  template <RecordType Type>
  void record(RecordBody<Type> body) {
    if constexpr (Type == kFileHeader) place_.rate = body.read().rate;
    if constexpr (Type == kSecondMarker) place_.marker(body);
    if (static_cast<RecordType>(kind_) != Type) return;
    const int64_t time = timeOf(body);
    if (window_.keeps(time)) rows_.row(time, body);
  }

  void dataRecords(const uint8_t* records, size_t count) {
    if (kind_ == TableKind::kData) keptData(records, count);
    place_.sample += count;
  }

  void lostDataRecords(uint64_t count) { place_.lostDataRecords(count); }
  void salvagedRate(uint16_t rate) { place_.salvagedRate(rate); }
  void placeSecond(int32_t markerTime, uint64_t firstSample) { place_.placeSecond(markerTime, firstSample); }

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
    return place_.markerTime;
  }

  // Times rise through a run of data records after one marker, so the rows
  // a window keeps lie together.
  void keptData(const uint8_t* records, size_t count) {
    const DataPlace& at = place_;
    if (at.markerTime == kNoTime) {
      if (!window_.given) rows_.data(kNoTime, at.rate, at.sample, records, count);
      return;
    }
    const SampleSpan span = samplesWithin(at.markerTime, at.rate, at.sample, count, window_.from, window_.to);
    if (span.end == span.first) return;
    rows_.data(at.markerTime, at.rate, span.first, records + (span.first - at.sample) * kDataRecordSize,
               static_cast<size_t>(span.end - span.first));
  }

  TableKind kind_;
  const TimeWindow& window_;
  Rows& rows_;
  DataPlace place_;
};

}  // namespace zolt
