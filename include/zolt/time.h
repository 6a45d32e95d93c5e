// Times as the tables give them: microseconds since 1970-01-01 00:00:00 UTC.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zolt {

// The time of a record that has none: one read before its file's first
// second marker. Also numpy's "not a time".
constexpr int64_t kNoTime = INT64_MIN;

// `from` counts in, `to` does not. A record without a time is kept only
// when no window is given.
struct TimeWindow {
  int64_t from = INT64_MIN;
  int64_t to = INT64_MAX;
  bool given = false;

  bool keeps(int64_t time) const { return time == kNoTime ? !given : time >= from && time < to; }
};

// "YYYY-MM-DD", "YYYY-MM-DDThh:mm" or "YYYY-MM-DDThh:mm:ss[.f to .ffffff]",
// each with or without a trailing "Z", always UTC; nothing when malformed or
// not a real date and time.
std::optional<int64_t> parseIsoTime(std::string_view text);

// "YYYY-MM-DDThh:mm:ss.fffZ" (3 decimals) or with 6 decimals; the decimals
// are cut, not rounded.
std::string isoTime(int64_t micros, int decimals);

}  // namespace zolt
