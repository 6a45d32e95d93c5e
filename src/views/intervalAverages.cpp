#include "views/intervalAverages.h"

#include <algorithm>
#include <charconv>

namespace zolt {

std::optional<int64_t> intervalMicros(std::string_view text) {
  int64_t scale = 0;
  if (text.ends_with("ms")) {
    scale = 1000;
    text.remove_suffix(2);
  } else if (text.ends_with("s")) {
    scale = 1000000;
    text.remove_suffix(1);
  } else {
    return std::nullopt;
  }
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  int64_t count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  // Far beyond any recording: a year's worth of seconds times a thousand.
  constexpr int64_t kMostMicros = int64_t{1000} * 366 * 86400 * 1000000;
  if (error != std::errc() || end != text.data() + text.size() || count <= 0 || count > kMostMicros / scale) {
    return std::nullopt;
  }
  return count * scale;
}

std::vector<std::string> averagedNames(std::span<const std::string_view> columns, const Averaging& averaging) {
  std::vector<std::string> names;
  for (const std::string_view column : columns) {
    if (averaging.mean) names.emplace_back(column);
    if (averaging.min) names.push_back(std::string(column) + "_min");
    if (averaging.max) names.push_back(std::string(column) + "_max");
  }
  return names;
}

IntervalAverages::IntervalAverages(size_t columns, const Averaging& averaging, IntervalSink& sink)
    : every_(averaging.everyMicros),
      fill_(averaging.fill),
      sink_(sink),
      known_(columns),
      sum_(columns),
      min_(columns),
      max_(columns),
      mean_(columns),
      nan_(columns, std::numeric_limits<double>::quiet_NaN()) {
  reset();
}

void IntervalAverages::reset() {
  count_ = 0;
  std::fill(known_.begin(), known_.end(), 0);
  std::fill(sum_.begin(), sum_.end(), 0.0);
  std::fill(min_.begin(), min_.end(), std::numeric_limits<double>::infinity());
  std::fill(max_.begin(), max_.end(), -std::numeric_limits<double>::infinity());
}

void IntervalAverages::emitEmpty(int64_t number) { sink_.interval({number * every_, 0, nan_, nan_, nan_}); }

void IntervalAverages::moveTo(int64_t number) {
  if (open_) {
    close();
    if (fill_) {
      for (int64_t empty = number_ + 1; empty < number; ++empty) emitEmpty(empty);
    }
  }
  open_ = true;
  number_ = number;
  reset();
}

void IntervalAverages::close() {
  for (size_t i = 0; i < sum_.size(); ++i) {
    const bool known = known_[i] > 0;
    mean_[i] = known ? sum_[i] / static_cast<double>(known_[i]) : nan_[i];
    if (!known) min_[i] = max_[i] = nan_[i];
  }
  sink_.interval({number_ * every_, count_, mean_, min_, max_});
}

void IntervalAverages::finish() {
  if (open_) close();
  open_ = false;
}

}  // namespace zolt
