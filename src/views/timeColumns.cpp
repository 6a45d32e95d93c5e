#include "views/timeColumns.h"

#include <algorithm>

#include "core/calendar.h"

namespace zolt {

void Envelope::add(double value) {
  if (count == 0) {
    min = max = value;
  } else {
    min = std::min(min, value);
    max = std::max(max, value);
  }
  sum += value;
  ++count;
}

void Envelope::merge(const Envelope& other) {
  if (other.count == 0) return;
  if (count == 0) {
    *this = other;
    return;
  }
  min = std::min(min, other.min);
  max = std::max(max, other.max);
  sum += other.sum;
  count += other.count;
}

void PlotColumn::merge(const PlotColumn& other) {
  for (int each = 0; each < kPlotSeries; ++each) series[each].merge(other.series[each]);
  gapMicros += other.gapMicros;
}

TimeColumns::TimeColumns() : slots_(static_cast<size_t>(kColumns)) {}

size_t TimeColumns::slotOf(int64_t number) {
  return static_cast<size_t>(number - floorDivide(number, kColumns) * kColumns);
}

// Every two neighbouring columns become one; the ring is laid out anew.
void TimeColumns::widen() {
  std::vector<PlotColumn> wider(static_cast<size_t>(kColumns));
  for (int64_t number = first_; number <= last_; ++number) {
    wider[slotOf(floorDivide(number, 2))].merge(slots_[slotOf(number)]);
  }
  slots_.swap(wider);
  width_ *= 2;
  first_ = floorDivide(first_, 2);
  last_ = floorDivide(last_, 2);
}

void TimeColumns::include(int64_t number) {
  if (!any_) {
    any_ = true;
    first_ = last_ = number;
    return;
  }
  // The span only grows between layouts, so a column coming into use finds
  // its slot as the layout left it: empty.
  first_ = std::min(first_, number);
  last_ = std::max(last_, number);
}

PlotColumn& TimeColumns::at(int64_t micros) {
  int64_t number = floorDivide(micros, width_);
  while (any_ && std::max(last_, number) - std::min(first_, number) >= kColumns) {
    widen();
    number = floorDivide(micros, width_);
  }
  earliest_ = any_ ? std::min(earliest_, micros) : micros;
  latest_ = any_ ? std::max(latest_, micros) : micros;
  include(number);
  return slots_[slotOf(number)];
}

int64_t TimeColumns::columnEnd(int64_t micros) const { return (floorDivide(micros, width_) + 1) * width_; }

void TimeColumns::addGap(int64_t from, int64_t to) {
  if (to <= from) return;
  at(from);
  at(to - 1);
  for (int64_t number = floorDivide(from, width_); number <= floorDivide(to - 1, width_); ++number) {
    const int64_t start = std::max(from, number * width_);
    const int64_t end = std::min(to, (number + 1) * width_);
    slots_[slotOf(number)].gapMicros += end - start;
  }
}

}  // namespace zolt
