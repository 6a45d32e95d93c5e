// The rows of a record table handed to interval averages instead of being
// kept: the Rows of TableRowsView behind every form of averages on read.
// The values are those the table's typed columns hold, so that a mean is
// the mean of what a plain read gives.
#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <stdexcept>
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
      : extremes_(averaging.min || averaging.max),
        columns_(averagedColumns(kind)),
        values_(columns_.size()),
        averages_(columns_.size(), averaging, sink) {
    if (kind == TableKind::kData && columns_.size() != kDataFigures) throw std::logic_error("the data table's figures");
  }

  template <RecordType Type>
  void row(int64_t time, RecordBody<Type> body) {
    if (time == kNoTime) return;
    const std::span<const CatalogueColumn> columns = entryOf(Type).columns;
    for (size_t i = 0; i < columns_.size(); ++i) values_[i] = valueOf(columns[columns_[i]].cell(body.bytes));
    averages_.add(time, values_);
  }

  // The samples of each interval summed as their integer counts, which is
  // exact and so the same as summing their values one by one, at a
  // fraction of the cost.
  void data(const Samples& samples) {
    if (!samples.timed()) return;
    for (uint64_t at = samples.first; at < samples.end();) {
      const int64_t time = samples.timeOf(at);
      const int64_t end = averages_.intervalEnd(time);
      const uint64_t stop = samplesWithin(samples.marker, samples.rate, at, samples.end() - at, INT64_MIN, end).end;
      if (extremes_) {
        addSamples<true>(time, samples.record(at) + 1, stop - at);
      } else {
        addSamples<false>(time, samples.record(at) + 1, stop - at);
      }
      at = stop;
    }
  }

  void finish() { averages_.finish(); }
  Error failure() const { return averages_.failure(); }

 private:
  static constexpr size_t kDataFigures = kAccAxes + kQuatParts;

  // One column of a block at a time, its sum and extremes in registers.
  template <bool Extremes, typename Count>
  static void sumColumn(const uint8_t* field, uint64_t count, Count read, double scale, double& sum, double& least,
                        double& most) {
    int64_t total = 0;
    int32_t low = INT32_MAX;
    int32_t high = INT32_MIN;
    for (uint64_t i = 0; i < count; ++i) {
      const int32_t value = read(field + i * kDataRecordSize);
      total += value;
      if constexpr (Extremes) {
        low = std::min(low, value);
        high = std::max(high, value);
      }
    }
    sum = static_cast<double>(total) * scale;
    least = low * scale;
    most = high * scale;
  }

  template <bool Extremes>
  void addSamples(int64_t time, const uint8_t* bodies, uint64_t count) {
    std::array<double, kDataFigures> sums{};
    std::array<double, kDataFigures> least{};
    std::array<double, kDataFigures> most{};
    for (size_t axis = 0; axis < kAccAxes; ++axis) {
      sumColumn<Extremes>(bodies + accOffset(axis), count, [](const uint8_t* at) { return accCount(at); }, kAccCount,
                          sums[axis], least[axis], most[axis]);
    }
    for (size_t part = 0; part < kQuatParts; ++part) {
      const size_t k = kAccAxes + part;
      sumColumn<Extremes>(bodies + quatOffset(part), count, [](const uint8_t* at) { return int32_t{quatCount(at)}; },
                          kQuatCount, sums[k], least[k], most[k]);
    }
    averages_.addSums(time, count, sums, least, most);
  }

  bool extremes_;
  std::vector<size_t> columns_;
  std::vector<double> values_;
  IntervalAverages averages_;
};

}  // namespace zolt
