// Where the data records after skipped bytes lie in time, decided from the
// markers around them. Nothing in a damaged stretch tells how many records
// it held, so the records after it are placed by one of two rules, and only
// where the rule's premise holds; otherwise they are dropped, since a record
// at the wrong time is worse than a record lost:
//
// - counted back from the marker after them, at a logger whose seconds hold
//   exactly its rate of records: they are the last samples before that
//   marker (of its second, and of seconds before it whose markers the
//   damage took);
// - counted on from the marker before them, where every skipped stretch is
//   a whole number of data records and no marker can have been lost: the
//   records skipped were data records, one for every 18 bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zolt {

// The records between two skipped stretches (or after the last).
struct HeldSegment {
  uint64_t skippedBytes;  // of the stretch before it
  uint64_t data;          // data records in it
};

struct PlacementFacts {
  std::optional<int32_t> before;  // the second the records before the damage are in
  uint64_t samplesBefore = 0;     // data records of that second before the damage
  std::optional<int32_t> next;    // the marker after the damage, if one came
  uint16_t rate = 0;
  bool regular = false;  // the logger's latest whole seconds held exactly `rate` records
  uint64_t mostInASecond = 0;
};

struct Placement {
  enum class Way : uint8_t { kDropped, kCountedOn, kCountedBack };
  Way way = Way::kDropped;
  // Counted on: each segment's first sample number in the second before.
  std::vector<uint64_t> firstSample;
  // Counted back: the segment placed (the last); those before it are
  // dropped.
  size_t placedSegment = 0;
  // Samples of the seconds spanned that no record fills.
  uint64_t lostSamples = 0;
};

inline Placement placeAfterDamage(const PlacementFacts& facts, std::span<const HeldSegment> segments) {
  Placement placement;
  if (segments.empty()) return placement;
  const HeldSegment& last = segments.back();
  // Counted back: the records after the last stretch fill the last samples
  // before the next marker, in the slots left after the records before.
  if (facts.regular && facts.rate != 0 && facts.next && (!facts.before || *facts.next > *facts.before)) {
    const uint64_t slots = facts.before ? static_cast<uint64_t>(int64_t{*facts.next} - *facts.before) * facts.rate - facts.samplesBefore
                                        : UINT64_MAX;
    const bool fits = last.data <= slots && (facts.before || last.data <= facts.rate);
    if (fits) {
      placement.way = Placement::Way::kCountedBack;
      placement.placedSegment = segments.size() - 1;
      placement.lostSamples = facts.before ? slots - last.data : 0;
      return placement;
    }
  }
  // Counted on: every stretch a whole number of data records, within one
  // second.
  if (!facts.before || (facts.next && *facts.next != int64_t{*facts.before} + 1)) return placement;
  uint64_t sample = facts.samplesBefore;
  uint64_t lost = 0;
  for (const HeldSegment& segment : segments) {
    if (segment.skippedBytes % 18 != 0) return placement;
    sample += segment.skippedBytes / 18;
    lost += segment.skippedBytes / 18;
    placement.firstSample.push_back(sample);
    sample += segment.data;
  }
  if (facts.mostInASecond != 0 && sample > facts.mostInASecond) {
    placement.firstSample.clear();
    return placement;
  }
  placement.way = Placement::Way::kCountedOn;
  placement.lostSamples = lost;
  return placement;
}

}  // namespace zolt
