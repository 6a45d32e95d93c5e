// When a data record was taken: its second marker's time plus its number
// since that marker over the rate, to the nearest microsecond.
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/calendar.h"

namespace zolt {

// Microseconds from the marker to sample `sample` at `rate` a second, to the
// nearest (a half rounds up), stepped without a division per sample.
class SampleClock {
 public:
  SampleClock(uint64_t sample, uint16_t rate) : divisor_(2 * uint64_t{rate}) {
    if (rate == 0) return;
    const uint64_t numerator = 2 * sample * kMicrosecondsPerSecond + rate;
    offset_ = numerator / divisor_;
    rest_ = numerator % divisor_;
    stepOffset_ = 2 * kMicrosecondsPerSecond / divisor_;
    stepRest_ = 2 * kMicrosecondsPerSecond % divisor_;
  }
  int64_t offset() const { return static_cast<int64_t>(offset_); }
  void step() {
    if (divisor_ == 0) return;
    offset_ += stepOffset_;
    rest_ += stepRest_;
    if (rest_ >= divisor_) {
      rest_ -= divisor_;
      ++offset_;
    }
  }

 private:
  uint64_t divisor_;
  uint64_t offset_ = 0;
  uint64_t rest_ = 0;
  uint64_t stepOffset_ = 0;
  uint64_t stepRest_ = 0;
};

// The first sample number whose offset from the marker is at least
// `micros`; with rate 0 every sample lies at the marker.
inline uint64_t firstSampleAtOrAfter(int64_t micros, uint16_t rate) {
  if (micros <= 0) return 0;
  if (rate == 0) return UINT64_MAX;
  // offset(s) >= d exactly when 2 s 10^6 + rate >= 2 rate d; within a day
  // of the marker, as nearly always, that fits 64 bits.
  constexpr int64_t kDay = int64_t{86400} * kMicrosecondsPerSecond;
  if (micros < kDay) {
    const uint64_t needed = 2 * uint64_t{rate} * static_cast<uint64_t>(micros) - rate;
    constexpr uint64_t kTwoSeconds = 2 * kMicrosecondsPerSecond;
    return (needed + kTwoSeconds - 1) / kTwoSeconds;
  }
  __extension__ using Wide = unsigned __int128;
  const Wide needed = Wide{2} * rate * static_cast<uint64_t>(micros) - rate;
  constexpr Wide kTwoSeconds = Wide{2} * kMicrosecondsPerSecond;
  const Wide first = (needed + kTwoSeconds - 1) / kTwoSeconds;
  return first > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(first);
}

// The offset of one sample, as SampleClock steps to it.
inline int64_t sampleOffset(uint64_t sample, uint16_t rate) {
  if (rate == 0) return 0;
  return static_cast<int64_t>((2 * sample * kMicrosecondsPerSecond + rate) / (2 * uint64_t{rate}));
}

// sampleOffset() of one sample after another, by steps without a division:
// a loop over every sample of a run pays for no division per sample.
class SampleOffsets {
 public:
  SampleOffsets(uint64_t first, uint16_t rate)
      : divisor_(2 * uint64_t{rate}),
        quotient_(rate == 0 ? 0 : (2 * first * kMicrosecondsPerSecond + rate) / divisor_),
        remainder_(rate == 0 ? 0 : (2 * first * kMicrosecondsPerSecond + rate) % divisor_),
        step_(rate == 0 ? 0 : 2 * kMicrosecondsPerSecond / divisor_),
        stepRemainder_(rate == 0 ? 0 : 2 * kMicrosecondsPerSecond % divisor_) {}
  // This sample's, and steps to the next.
  int64_t next() {
    const auto offset = static_cast<int64_t>(quotient_);
    quotient_ += step_;
    remainder_ += stepRemainder_;
    if (remainder_ >= divisor_ && divisor_ != 0) {
      remainder_ -= divisor_;
      ++quotient_;
    }
    return offset;
  }

 private:
  uint64_t divisor_;
  uint64_t quotient_;
  uint64_t remainder_;
  uint64_t step_;
  uint64_t stepRemainder_;
};

// How far `edge` lies after `marker`, kept within reach: the edges of no
// window stay at either end of the line.
inline int64_t offsetFromMarker(int64_t edge, int64_t marker) {
  if (edge == INT64_MIN || edge == INT64_MAX) return edge;
  return edge - marker;
}

// Of the samples numbered [base, base + count) since a marker at `marker`,
// those whose times fall in [from, to): they lie one after the other.
struct SampleSpan {
  uint64_t first;
  uint64_t end;
};
inline SampleSpan samplesWithin(int64_t marker, uint16_t rate, uint64_t base, uint64_t count, int64_t from,
                                int64_t to) {
  const uint64_t first = std::max(base, firstSampleAtOrAfter(offsetFromMarker(from, marker), rate));
  const uint64_t end = std::min(base + count, firstSampleAtOrAfter(offsetFromMarker(to, marker), rate));
  return {first, std::max(first, end)};
}

}  // namespace zolt
