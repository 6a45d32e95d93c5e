// The rows of a record table handed to interval averages instead of being
// kept: the Rows of TableRowsView behind every form of averages on read.
// The values are those the table's typed columns hold, so that a mean is
// the mean of what a plain read gives.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "core/recordCatalogue.h"
#include "core/sampleClock.h"
#include "core/timedView.h"
#include "views/cellValue.h"
#include "views/intervalAverages.h"
#include "zolt/tables.h"

namespace zolt {

// The columns a table's averages are made of: its real CSV columns, by
// their place in columnsOf().
std::vector<size_t> averagedColumns(TableKind kind);
std::vector<std::string_view> averagedColumnNames(TableKind kind);

class AveragedRows {
 public:
  AveragedRows(TableKind kind, const Averaging& averaging, IntervalSink& sink)
      : columns_(averagedColumns(kind)), values_(columns_.size()), averages_(columns_.size(), averaging, sink) {}

  template <RecordType Type>
  void row(int64_t time, RecordBody<Type> body) {
    if (time == kNoTime) return;
    const std::span<const CatalogueColumn> columns = entryOf(Type).columns;
    for (size_t i = 0; i < columns_.size(); ++i) values_[i] = valueOf(columns[columns_[i]].cell(body.bytes));
    averages_.add(time, values_);
  }

  void data(const Samples& samples) {
    if (!samples.timed()) return;
    static_assert(dataColumns::kQuat == dataColumns::kAcc + kAccAxes);
    std::array<double, kAccAxes + kQuatParts> values{};
    SampleClock clock(samples.first, samples.rate);
    for (size_t i = 0; i < samples.count; ++i, clock.step()) {
      const uint8_t* const body = samples.records + i * kDataRecordSize + 1;
      for (size_t axis = 0; axis < kAccAxes; ++axis) values[axis] = accCount(body + accOffset(axis)) * kAccCount;
      for (size_t part = 0; part < kQuatParts; ++part) {
        values[kAccAxes + part] = quatCount(body + quatOffset(part)) * kQuatCount;
      }
      averages_.add(samples.marker + clock.offset(), values);
    }
  }

  void finish() { averages_.finish(); }
  Error failure() const { return averages_.failure(); }

 private:
  std::vector<size_t> columns_;
  std::vector<double> values_;
  IntervalAverages averages_;
};

}  // namespace zolt
