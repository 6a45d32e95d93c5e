#include "views/inertialRange.h"

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>

#include "views/vectorLanes.h"
#endif

namespace zolt {

InertialRange inertialRangeOneByOne(const uint8_t* records, uint64_t count) {
  InertialRange range;
  range.least.fill(INT32_MAX);
  range.greatest.fill(INT32_MIN);
  for (const uint8_t* body = records + 1; body < records + count * kDataRecordSize; body += kDataRecordSize) {
    for (size_t axis = 0; axis < kAccAxes; ++axis) {
      const int32_t value = accCount(body + accOffset(axis));
      range.least[axis] = std::min(range.least[axis], value);
      range.greatest[axis] = std::max(range.greatest[axis], value);
    }
    for (size_t part = 0; part < kQuatParts; ++part) {
      const int32_t value = quatCount(body + quatOffset(part));
      range.least[kAccAxes + part] = std::min(range.least[kAccAxes + part], value);
      range.greatest[kAccAxes + part] = std::max(range.greatest[kAccAxes + part], value);
    }
  }
  return range;
}

namespace {

#if defined(__x86_64__)

// The accelerations as three 32-bit lanes (each big-endian field shuffled
// to the top of its lane, its sign brought down by a shift) and the
// quaternion as four 16-bit lanes (each pair swapped), from two loads that
// stay within the record.
__attribute__((target("sse4.1"))) InertialRange rangeInLanes(const uint8_t* records, uint64_t count) {
  const __m128i fieldsToLanes = _mm_setr_epi8(-1, 2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, -1, -1, -1);
  __m128i accLeast = _mm_set1_epi32(INT32_MAX);
  __m128i accGreatest = _mm_set1_epi32(INT32_MIN);
  __m128i quatLeast = _mm_set1_epi16(INT16_MAX);
  __m128i quatGreatest = _mm_set1_epi16(INT16_MIN);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* const body = records + i * kDataRecordSize + 1;
    const __m128i accBytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(body));
    const __m128i acc = _mm_srai_epi32(_mm_shuffle_epi8(accBytes, fieldsToLanes), 8);
    accLeast = _mm_min_epi32(accLeast, acc);
    accGreatest = _mm_max_epi32(accGreatest, acc);
    const __m128i quatBytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(body + quatOffset(0)));
    const __m128i quat = _mm_or_si128(_mm_slli_epi16(quatBytes, 8), _mm_srli_epi16(quatBytes, 8));
    quatLeast = _mm_min_epi16(quatLeast, quat);
    quatGreatest = _mm_max_epi16(quatGreatest, quat);
  }
  alignas(16) int32_t accLow[4];
  alignas(16) int32_t accHigh[4];
  alignas(16) int16_t quatLow[8];
  alignas(16) int16_t quatHigh[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(accLow), accLeast);
  _mm_store_si128(reinterpret_cast<__m128i*>(accHigh), accGreatest);
  _mm_store_si128(reinterpret_cast<__m128i*>(quatLow), quatLeast);
  _mm_store_si128(reinterpret_cast<__m128i*>(quatHigh), quatGreatest);
  InertialRange range;
  std::copy(accLow, accLow + kAccAxes, range.least.begin());
  std::copy(accHigh, accHigh + kAccAxes, range.greatest.begin());
  std::copy(quatLow, quatLow + kQuatParts, range.least.begin() + kAccAxes);
  std::copy(quatHigh, quatHigh + kQuatParts, range.greatest.begin() + kAccAxes);
  return range;
}

#endif

}  // namespace

InertialRange inertialRange(const uint8_t* records, uint64_t count) {
#if defined(__x86_64__)
  if (hasSse41()) return rangeInLanes(records, count);
#endif
  return inertialRangeOneByOne(records, count);
}

}  // namespace zolt
