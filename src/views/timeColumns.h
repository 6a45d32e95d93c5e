// A time axis of at most kColumns columns that widens as the data arrive,
// for a run whose span is not known in advance: each column keeps the
// envelope (min, max, mean) of every series that falls in it, and how much
// of it lies in a gap of the clock. Widening merges neighbouring columns,
// which keeps every min and max exact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zolt {

enum PlotSeries : uint8_t {
  kSeriesExtPress,
  kSeriesTemp,
  kSeriesHum,
  kSeriesIntPress,
  kSeriesBatt,
  kSeriesModem,
  kSeriesAccX,
  kSeriesAccY,
  kSeriesAccZ,
  kSeriesRecordsPerSecond,
  kSeriesDepth,
  kPlotSeries,
};

struct Envelope {
  double min = 0;
  double max = 0;
  double sum = 0;
  uint64_t count = 0;
  void add(double value);
  void merge(const Envelope& other);
  double mean() const { return sum / static_cast<double>(count); }
};

struct PlotColumn {
  Envelope series[kPlotSeries];
  int64_t gapMicros = 0;  // time of the column that lies in a gap
  void merge(const PlotColumn& other);
};

class TimeColumns {
 public:
  static constexpr int64_t kColumns = 1000;
  // The narrowest column: 10 ms, for recordings of a few seconds.
  static constexpr int64_t kFirstWidth = 10000;

  TimeColumns();

  // The column that holds `micros` (microseconds since 1970), widening the
  // columns until the whole span so far fits.
  PlotColumn& at(int64_t micros);
  // Where the column that holds `micros` ends, for callers that add many
  // values in time order.
  int64_t columnEnd(int64_t micros) const;
  void addGap(int64_t from, int64_t to);

  bool empty() const { return !any_; }
  int64_t width() const { return width_; }
  // PlotColumn numbers counted from 1970 in columns of width(): first to last
  // inclusive are in use.
  int64_t first() const { return first_; }
  int64_t last() const { return last_; }
  const PlotColumn& column(int64_t number) const { return slots_[slotOf(number)]; }
  // The earliest and latest time placed.
  int64_t earliest() const { return earliest_; }
  int64_t latest() const { return latest_; }

 private:
  static size_t slotOf(int64_t number);
  void include(int64_t number);
  void widen();

  int64_t width_ = kFirstWidth;
  bool any_ = false;
  int64_t first_ = 0;
  int64_t last_ = 0;
  int64_t earliest_ = 0;
  int64_t latest_ = 0;
  std::vector<PlotColumn> slots_;  // a ring: column n lives in slot n mod kColumns
};

}  // namespace zolt
