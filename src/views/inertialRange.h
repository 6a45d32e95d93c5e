// The least and greatest count of each of a run of data records' seven
// channels (three accelerations, four quaternion parts) in one pass: what
// the page keeps of every bucket. Where the page's buckets hold a dozen
// records, one pass instead of two, and no sums, is most of its reading.
#pragma once

#include <array>
#include <cstdint>

#include "core/recordCatalogue.h"

namespace zolt {

constexpr size_t kInertialChannels = kAccAxes + kQuatParts;

struct InertialRange {
  std::array<int32_t, kInertialChannels> least;
  std::array<int32_t, kInertialChannels> greatest;
};

// Of `count` (at least one) whole data records, type byte first.
InertialRange inertialRange(const uint8_t* records, uint64_t count);
// The same, a record at a time: what the vector loop is held to.
InertialRange inertialRangeOneByOne(const uint8_t* records, uint64_t count);

}  // namespace zolt
