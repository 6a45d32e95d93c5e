// Where the next data record of an input lies in time: after the latest
// second marker (none before the first), as the sample numbered from it, at
// the latest header's rate. Salvage moves it past what it skipped, so every
// view times the records it keeps alike.
#pragma once

#include <cstdint>

#include "core/recordCatalogue.h"
#include "zolt/time.h"

namespace zolt {

struct DataPlace {
  uint16_t rate = 0;
  int64_t markerTime = kNoTime;
  uint64_t sample = 0;  // data records since the marker

  void marker(RecordBody<kSecondMarker> body) {
    markerTime = Record<kSecondMarker>::time(body.bytes);
    sample = 0;
  }
  // Data records the skipped bytes held: the samples after them keep their
  // numbers.
  void lostDataRecords(uint64_t count) { sample += count; }
  // A file whose start, header and all, was damaged: the rate its seconds
  // show, unless one was carried in.
  void salvagedRate(uint16_t salvaged) {
    if (rate == 0) rate = salvaged;
  }
  // The second's marker was skipped: it was `time`, and the records that
  // follow are its samples from `firstSample` on.
  void placeSecond(int32_t time, uint64_t firstSample) {
    markerTime = microsOf(time);
    sample = firstSample;
  }
};

}  // namespace zolt
