// The rows of one table from the records of one input, as the clock times
// them: which records make rows and which the window keeps. Every form of a
// table (CSV text, typed columns) is made from these rows, so they all hold
// the same rows. What a row becomes is up to `Rows`:
//
//   // One record of the table's type, with its row's time (kNoTime when
//   // it has none):
//   template <RecordType Type> void row(int64_t time, RecordBody<Type> body);
//   // Data records the window keeps, one after the other in one second:
//   void data(const Samples& samples);
//
// and, if it can fail, Error failure() const.
#pragma once

#include "core/recordCatalogue.h"
#include "core/timedView.h"
#include "zolt/tables.h"

namespace zolt {

template <typename Rows>
class TableRowsView : public TimedViewBase {
 public:
  TableRowsView(TableKind kind, const TimeWindow& window, Rows& rows) : kind_(kind), window_(window), rows_(rows) {}

  // Any record but a data record: its row, when its table is this one.
  template <RecordType Type>
  void record(TimedRecord<Type> record) {
    if (static_cast<RecordType>(kind_) != Type) return;
    if (window_.keeps(record.time)) rows_.row(record.time, record.body);
  }

  // Times rise through a run of samples, so the rows a window keeps lie
  // together.
  void samples(const Samples& samples) {
    if (kind_ != TableKind::kData) return;
    const Samples kept = samples.within(window_);
    if (kept.count > 0) rows_.data(kept);
  }

  Error failure() const {
    if constexpr (requires { rows_.failure(); }) return rows_.failure();
    return {};
  }

 private:
  TableKind kind_;
  const TimeWindow& window_;
  Rows& rows_;
};

}  // namespace zolt
