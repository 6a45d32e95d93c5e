// The vector loops over data records against their one-by-one versions, on
// random and extreme records, at counts around the edges of their batches:
// four records a group for the squared norms, 128 a batch for the
// acceleration sums. The records end where their buffer ends, so that a
// load past the last one is seen by the address sanitizer.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "core/recordCatalogue.h"
#include "views/accelerationRange.h"
#include "views/inertialRange.h"
#include "views/quaternionRange.h"
#include "views/squaredNorms.h"
#if defined(__x86_64__)
#include "views/vectorLanes.h"
#endif

namespace {

using namespace zolt;

constexpr int32_t kAccLeast = -(1 << 23);
constexpr int32_t kAccGreatest = (1 << 23) - 1;

void putRecord(uint8_t* at, const int32_t (&acc)[3], const int16_t (&quat)[4]) {
  at[0] = kDataRecord;
  for (size_t axis = 0; axis < 3; ++axis) {
    const auto bits = static_cast<uint32_t>(acc[axis]);
    at[1 + 3 * axis] = static_cast<uint8_t>(bits >> 16);
    at[2 + 3 * axis] = static_cast<uint8_t>(bits >> 8);
    at[3 + 3 * axis] = static_cast<uint8_t>(bits);
  }
  for (size_t part = 0; part < 4; ++part) {
    const auto bits = static_cast<uint16_t>(quat[part]);
    at[10 + 2 * part] = static_cast<uint8_t>(bits >> 8);
    at[11 + 2 * part] = static_cast<uint8_t>(bits);
  }
}

// The record at `i` of a run, drawn by one kind of content.
using Fill = std::function<void(uint8_t* record, size_t i, std::mt19937_64& random)>;

void randomRecord(uint8_t* record, size_t /*i*/, std::mt19937_64& random) {
  for (size_t byte = 1; byte < kDataRecordSize; ++byte) record[byte] = static_cast<uint8_t>(random());
  record[0] = kDataRecord;
}

struct Case {
  const char* what;
  Fill fill;
};

const std::vector<Case> kCases = {
    {"random bytes", randomRecord},
    {"every value its least", [](uint8_t* r, size_t, std::mt19937_64&) {
       putRecord(r, {kAccLeast, kAccLeast, kAccLeast}, {INT16_MIN, INT16_MIN, INT16_MIN, INT16_MIN});
     }},
    {"every value its greatest", [](uint8_t* r, size_t, std::mt19937_64&) {
       putRecord(r, {kAccGreatest, kAccGreatest, kAccGreatest}, {INT16_MAX, INT16_MAX, INT16_MAX, INT16_MAX});
     }},
    {"least and greatest by turns", [](uint8_t* r, size_t i, std::mt19937_64&) {
       const int32_t a = i % 2 == 0 ? kAccLeast : kAccGreatest;
       const int16_t q = i % 2 == 0 ? INT16_MIN : INT16_MAX;
       putRecord(r, {a, kAccGreatest, kAccLeast}, {q, INT16_MAX, INT16_MIN, q});
     }},
    // A pair of -32768 squares to 2^31, which the lanes cannot hold.
    {"one pair of least among random", [](uint8_t* r, size_t i, std::mt19937_64& random) {
       randomRecord(r, i, random);
       if (i % 7 == 3) putRecord(r, {kAccLeast, 0, kAccGreatest}, {INT16_MIN, INT16_MIN, 5, -5});
     }},
    {"least and greatest squares in one group", [](uint8_t* r, size_t i, std::mt19937_64&) {
       if (i % 4 == 1) {
         putRecord(r, {0, 0, 0}, {0, 0, 0, 0});
       } else {
         putRecord(r, {-1, 1, -1}, {INT16_MIN, INT16_MAX, INT16_MIN, INT16_MAX});
       }
     }},
    {"still logger: 0 and -1 bytes", [](uint8_t* r, size_t i, std::mt19937_64&) {
       const int32_t wobble = i % 3 == 0 ? -1 : 1;
       putRecord(r, {wobble, -wobble, 65536}, {16384, 0, -1, 0});
     }},
};

// Around every batch edge the loops have.
const std::vector<size_t> kCounts = {0, 1, 2, 3, 4, 5, 7, 8, 9, 11, 127, 128, 129, 131, 255, 256, 257, 259, 515};

std::vector<uint8_t> recordsOf(const Case& kind, size_t count) {
  std::mt19937_64 random(count * 131 + 7);
  std::vector<uint8_t> records(count * kDataRecordSize);
  for (size_t i = 0; i < count; ++i) kind.fill(records.data() + i * kDataRecordSize, i, random);
  return records;
}

TEST(VectorKernels, AgreeWithTheirOneByOneVersions) {
#if defined(__x86_64__)
  if (!hasSse41()) GTEST_SKIP() << "no SSE4.1: the vector loops are not run";
#endif
  for (const Case& kind : kCases) {
    for (const size_t count : kCounts) {
      SCOPED_TRACE(std::string(kind.what) + ", " + std::to_string(count) + " records");
      const std::vector<uint8_t> records = recordsOf(kind, count);
      const uint8_t* const at = count == 0 ? nullptr : records.data();

      const SquaredNorms norms = squaredNorms(at, count);
      const SquaredNorms normsOne = squaredNormsOneByOne(at, count);
      EXPECT_EQ(norms.least, normsOne.least);
      EXPECT_EQ(norms.greatest, normsOne.greatest);

      const QuaternionRange quat = quaternionRange(at, count);
      const QuaternionRange quatOne = quaternionRangeOneByOne(at, count);
      for (size_t part = 0; part < kQuatParts; ++part) {
        EXPECT_EQ(quat.least[part], quatOne.least[part]) << "quat " << part;
        EXPECT_EQ(quat.greatest[part], quatOne.greatest[part]) << "quat " << part;
      }

      if (count > 0) {
        const InertialRange inertial = inertialRange(at, count);
        const InertialRange inertialOne = inertialRangeOneByOne(at, count);
        EXPECT_EQ(inertial.least, inertialOne.least);
        EXPECT_EQ(inertial.greatest, inertialOne.greatest);
        for (size_t part = 0; part < kQuatParts; ++part) {
          EXPECT_EQ(inertialOne.least[kAccAxes + part], quatOne.least[part]) << "quat " << part;
        }
      }

      const AccelerationRange acc = accelerationRange(at, count);
      const AccelerationRange accOne = accelerationRangeOneByOne(at, count);
      for (size_t axis = 0; axis < kAccAxes; ++axis) {
        EXPECT_EQ(acc.least[axis], accOne.least[axis]) << "acc " << axis;
        EXPECT_EQ(acc.greatest[axis], accOne.greatest[axis]) << "acc " << axis;
        EXPECT_EQ(acc.sum[axis], accOne.sum[axis]) << "acc " << axis;
      }
    }
  }
}

// The one-by-one versions themselves, on the extremes, where a sum of squares
// or a sign extension is easy to get wrong.
TEST(VectorKernels, OneByOneVersionsOnTheExtremes) {
  std::vector<uint8_t> records(2 * kDataRecordSize);
  putRecord(records.data(), {kAccLeast, kAccGreatest, -1}, {INT16_MIN, INT16_MIN, INT16_MIN, INT16_MIN});
  putRecord(records.data() + kDataRecordSize, {kAccGreatest, kAccLeast, 1}, {0, 0, 0, INT16_MAX});
  const SquaredNorms norms = squaredNormsOneByOne(records.data(), 2);
  EXPECT_EQ(norms.least, uint64_t{32767} * 32767);
  EXPECT_EQ(norms.greatest, uint64_t{1} << 32);
  const AccelerationRange acc = accelerationRangeOneByOne(records.data(), 2);
  EXPECT_EQ(acc.least[0], kAccLeast);
  EXPECT_EQ(acc.greatest[0], kAccGreatest);
  EXPECT_EQ(acc.least[2], -1);
  EXPECT_EQ(acc.sum[0], -1);
  EXPECT_EQ(acc.sum[2], 0);
  const QuaternionRange quat = quaternionRangeOneByOne(records.data(), 2);
  EXPECT_EQ(quat.least[3], INT16_MIN);
  EXPECT_EQ(quat.greatest[3], INT16_MAX);
}

}  // namespace
