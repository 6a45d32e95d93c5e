// The least and greatest quaternion counts of a run of data records, per
// part: the page's pass over every inertial sample, with vector
// instructions where the processor has them.
#pragma once

#include <cstdint>

#include "core/recordCatalogue.h"

namespace zolt {

struct QuaternionRange {
  int16_t least[kQuatParts] = {INT16_MAX, INT16_MAX, INT16_MAX, INT16_MAX};
  int16_t greatest[kQuatParts] = {INT16_MIN, INT16_MIN, INT16_MIN, INT16_MIN};
};

// Of `count` whole data records, type byte first.
QuaternionRange quaternionRange(const uint8_t* records, uint64_t count);
// The same, a record at a time: what the vector loop is held to.
QuaternionRange quaternionRangeOneByOne(const uint8_t* records, uint64_t count);

}  // namespace zolt
