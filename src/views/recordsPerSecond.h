// The data records of each whole second of their time, as a reader who
// groups the rows by second counts them: every record that has a time
// counts in the second its time falls in, whether its marker was read or
// placed after damage, so that a second that lost records to damage shows
// as short as it is. A second that holds no record has no count.
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/sampleClock.h"
#include "core/timedView.h"
#include "zolt/time.h"

namespace zolt {

class RecordsPerSecond {
 public:
  // Counts the timed samples of `samples`; `counted(start, records)` takes
  // each second that is over, at its start in microseconds.
  template <typename Counted>
  void add(const Samples& samples, Counted counted) {
    if (!samples.timed()) return;
    for (uint64_t sample = samples.first; sample < samples.end();) {
      const int64_t second = secondOf(samples.timeOf(sample));
      const uint64_t next = firstSampleAtOrAfter(second + kMicrosecondsPerSecond - samples.marker, samples.rate);
      const uint64_t end = std::clamp(next, sample + 1, samples.end());
      if (second != second_) {
        finish(counted);
        second_ = second;
      }
      records_ += end - sample;
      sample = end;
    }
  }

  // Hands on the second still open: the records are over.
  template <typename Counted>
  void finish(Counted counted) {
    if (records_ > 0) counted(second_, records_);
    records_ = 0;
  }

 private:
  static int64_t secondOf(int64_t micros) {
    const int64_t second = micros / kMicrosecondsPerSecond * kMicrosecondsPerSecond;
    return second > micros ? second - kMicrosecondsPerSecond : second;
  }

  int64_t second_ = INT64_MIN;
  uint64_t records_ = 0;
};

}  // namespace zolt
