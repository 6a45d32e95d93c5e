#include "views/accelerationRange.h"

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>

#include "views/vectorLanes.h"
#endif

namespace zolt {

AccelerationRange accelerationRangeOneByOne(const uint8_t* records, uint64_t count) {
  AccelerationRange range;
  for (const uint8_t* body = records + 1; body < records + count * kDataRecordSize; body += kDataRecordSize) {
    for (size_t axis = 0; axis < kAccAxes; ++axis) {
      const int32_t value = accCount(body + accOffset(axis));
      range.least[axis] = std::min(range.least[axis], value);
      range.greatest[axis] = std::max(range.greatest[axis], value);
      range.sum[axis] += value;
    }
  }
  return range;
}

namespace {

#if defined(__x86_64__)

// One record's three accelerations as three lanes: a byte shuffle puts each
// big-endian field in the top of its lane, and an arithmetic shift brings it
// down with its sign. The body's first 16 bytes hold all three.
__attribute__((target("sse4.1"))) AccelerationRange rangeInLanes(const uint8_t* records, uint64_t count) {
  const __m128i fieldsToLanes = _mm_setr_epi8(-1, 2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, -1, -1, -1);
  __m128i least = _mm_set1_epi32(INT32_MAX);
  __m128i greatest = _mm_set1_epi32(INT32_MIN);
  int64_t sums[kAccAxes] = {};
  // Sums of 24-bit values stay exact in 32-bit lanes for 128 records.
  constexpr uint64_t kSumBatch = 128;
  for (uint64_t done = 0; done < count;) {
    const uint64_t batchEnd = std::min(count, done + kSumBatch);
    __m128i sum = _mm_setzero_si128();
    for (; done < batchEnd; ++done) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(records + done * kDataRecordSize + 1));
      const __m128i values = _mm_srai_epi32(_mm_shuffle_epi8(bytes, fieldsToLanes), 8);
      least = _mm_min_epi32(least, values);
      greatest = _mm_max_epi32(greatest, values);
      sum = _mm_add_epi32(sum, values);
    }
    sums[0] += _mm_extract_epi32(sum, 0);
    sums[1] += _mm_extract_epi32(sum, 1);
    sums[2] += _mm_extract_epi32(sum, 2);
  }
  AccelerationRange range;
  range.least[0] = _mm_extract_epi32(least, 0);
  range.least[1] = _mm_extract_epi32(least, 1);
  range.least[2] = _mm_extract_epi32(least, 2);
  range.greatest[0] = _mm_extract_epi32(greatest, 0);
  range.greatest[1] = _mm_extract_epi32(greatest, 1);
  range.greatest[2] = _mm_extract_epi32(greatest, 2);
  std::copy(std::begin(sums), std::end(sums), std::begin(range.sum));
  return range;
}

#endif

}  // namespace

AccelerationRange accelerationRange(const uint8_t* records, uint64_t count) {
#if defined(__x86_64__)
  if (hasSse41()) return rangeInLanes(records, count);
#endif
  return accelerationRangeOneByOne(records, count);
}

}  // namespace zolt
