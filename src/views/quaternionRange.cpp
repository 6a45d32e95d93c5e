#include "views/quaternionRange.h"

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zolt {

QuaternionRange quaternionRangeOneByOne(const uint8_t* records, uint64_t count) {
  QuaternionRange range;
  for (const uint8_t* body = records + 1; body < records + count * kDataRecordSize; body += kDataRecordSize) {
    for (size_t part = 0; part < kQuatParts; ++part) {
      const int16_t value = quatCount(body + quatOffset(part));
      range.least[part] = std::min(range.least[part], value);
      range.greatest[part] = std::max(range.greatest[part], value);
    }
  }
  return range;
}

namespace {

#if defined(__x86_64__)

// One record's four parts as four 16-bit lanes: the eight bytes of the
// quaternion, each big-endian pair swapped into place. SSE2, which every
// x86-64 processor has.
QuaternionRange rangeInLanes(const uint8_t* records, uint64_t count) {
  __m128i least = _mm_set1_epi16(INT16_MAX);
  __m128i greatest = _mm_set1_epi16(INT16_MIN);
  for (uint64_t i = 0; i < count; ++i) {
    const __m128i bytes =
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(records + i * kDataRecordSize + 1 + quatOffset(0)));
    const __m128i values = _mm_or_si128(_mm_slli_epi16(bytes, 8), _mm_srli_epi16(bytes, 8));
    least = _mm_min_epi16(least, values);
    greatest = _mm_max_epi16(greatest, values);
  }
  alignas(16) int16_t low[8];
  alignas(16) int16_t high[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(low), least);
  _mm_store_si128(reinterpret_cast<__m128i*>(high), greatest);
  QuaternionRange range;
  std::copy(low, low + kQuatParts, range.least);
  std::copy(high, high + kQuatParts, range.greatest);
  return range;
}

#endif

}  // namespace

QuaternionRange quaternionRange(const uint8_t* records, uint64_t count) {
#if defined(__x86_64__)
  return rangeInLanes(records, count);
#else
  return quaternionRangeOneByOne(records, count);
#endif
}

}  // namespace zolt
