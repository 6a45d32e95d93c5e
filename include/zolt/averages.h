// Averages on read: a table's rows gathered into intervals of a fixed
// length, aligned to whole multiples of it since 1970-01-01 UTC, as
// `decode --csv=TABLE --every=1s` prints them and zolt.read(every=) gives
// them. Each interval gives its start, the number of rows in it, and for
// each real column of the table its mean (the values summed in row order,
// over the rows where the value is known) and, when asked, its least and
// greatest value. Integer columns (a logger's identity, firmware version,
// rate, a sample's number, raw counts) are left out: their mean means
// nothing, or the real column they are a law of gives it. Rows without a
// time lie in no interval and are left out too.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zolt {

struct Averaging {
  int64_t everyMicros = 0;  // 0: no averages, every row as it is
  bool mean = true;
  bool min = false;
  bool max = false;
  // Intervals without rows between the first and the last: a row each,
  // with a count of 0 and no values (NaN), instead of none.
  bool fill = false;
  bool on() const { return everyMicros > 0; }
};

// "1s", "250ms", "10s": a whole, positive number of seconds or
// milliseconds, in microseconds; nothing for any other text.
std::optional<int64_t> intervalMicros(std::string_view text);

}  // namespace zolt
