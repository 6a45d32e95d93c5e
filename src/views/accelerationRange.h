// The least, greatest and summed acceleration counts of a run of data
// records, per axis: the one pass over every inertial sample that the
// picture makes, so it is done with vector instructions where the
// processor has them.
#pragma once

#include <cstdint>

#include "core/recordCatalogue.h"

namespace zolt {

struct AccelerationRange {
  int32_t least[kAccAxes] = {INT32_MAX, INT32_MAX, INT32_MAX};
  int32_t greatest[kAccAxes] = {INT32_MIN, INT32_MIN, INT32_MIN};
  int64_t sum[kAccAxes] = {};
};

// Of `count` whole data records, type byte first.
AccelerationRange accelerationRange(const uint8_t* records, uint64_t count);
// The same, a record at a time: what the vector loop is held to.
AccelerationRange accelerationRangeOneByOne(const uint8_t* records, uint64_t count);

}  // namespace zolt
