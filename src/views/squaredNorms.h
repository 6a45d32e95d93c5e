// The least and greatest sum of the squared quaternion counts of a run of
// data records: the check's one pass over every inertial sample, with
// vector instructions where the processor has them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zolt {

struct SquaredNorms {
  uint64_t least = UINT64_MAX;
  uint64_t greatest = 0;
};

// Of `count` whole data records, type byte first.
SquaredNorms squaredNorms(const uint8_t* records, size_t count);
// The same, a record at a time: what the vector loop is held to.
SquaredNorms squaredNormsOneByOne(const uint8_t* records, size_t count);

}  // namespace zolt
