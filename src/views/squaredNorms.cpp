#include "views/squaredNorms.h"

#include <algorithm>

#include "core/recordCatalogue.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include "views/vectorLanes.h"
#endif

namespace zolt {

namespace {

// Two squares of 16-bit counts add up within 32 bits, four within 33.
uint64_t squaresOf(const uint8_t* record) {
  uint64_t squares = 0;
  for (size_t pair = 0; pair < 2; ++pair) {
    const int32_t a = quatCount(record + 1 + quatOffset(2 * pair));
    const int32_t b = quatCount(record + 1 + quatOffset(2 * pair + 1));
    squares += static_cast<uint32_t>(a * a) + static_cast<uint32_t>(b * b);
  }
  return squares;
}

#if defined(__x86_64__)

// Two records' quaternions in one register, their big-endian counts
// swapped into 16-bit lanes.
__attribute__((target("sse4.1"))) __m128i quaternionsOf(const uint8_t* first) {
  const auto* at = first + 1 + quatOffset(0);
  const __m128i bytes = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)),
                                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at + kDataRecordSize)));
  return _mm_or_si128(_mm_slli_epi16(bytes, 8), _mm_srli_epi16(bytes, 8));
}

// Four records at a time: the pairs of squares come from one multiply-add,
// and their sums are kept in 32-bit lanes. Only four counts of -32768 make
// a sum of 2^32, which does not fit: a group of four with a pair of 2^31 is
// done one by one.
__attribute__((target("sse4.1"))) SquaredNorms normsInLanes(const uint8_t* records, size_t count) {
  SquaredNorms norms;
  __m128i least = _mm_set1_epi32(-1);
  __m128i greatest = _mm_setzero_si128();
  const __m128i fullPair = _mm_set1_epi32(INT32_MIN);
  size_t done = 0;
  for (; done + 4 <= count; done += 4) {
    const uint8_t* const group = records + done * kDataRecordSize;
    const __m128i a = quaternionsOf(group);
    const __m128i b = quaternionsOf(group + 2 * kDataRecordSize);
    const __m128i pairsA = _mm_madd_epi16(a, a);
    const __m128i pairsB = _mm_madd_epi16(b, b);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi32(pairsA, fullPair), _mm_cmpeq_epi32(pairsB, fullPair))) != 0) {
      const SquaredNorms some = squaredNormsOneByOne(group, 4);
      norms.least = std::min(norms.least, some.least);
      norms.greatest = std::max(norms.greatest, some.greatest);
      continue;
    }
    const __m128i sums = _mm_hadd_epi32(pairsA, pairsB);
    least = _mm_min_epu32(least, sums);
    greatest = _mm_max_epu32(greatest, sums);
  }
  alignas(16) uint32_t low[4];
  alignas(16) uint32_t high[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(low), least);
  _mm_store_si128(reinterpret_cast<__m128i*>(high), greatest);
  if (done > 0) {
    for (size_t lane = 0; lane < 4; ++lane) {
      // A lane that only groups done one by one fed still holds its start.
      if (low[lane] <= high[lane]) {
        norms.least = std::min<uint64_t>(norms.least, low[lane]);
        norms.greatest = std::max<uint64_t>(norms.greatest, high[lane]);
      }
    }
  }
  const SquaredNorms rest = squaredNormsOneByOne(records + done * kDataRecordSize, count - done);
  norms.least = std::min(norms.least, rest.least);
  norms.greatest = std::max(norms.greatest, rest.greatest);
  return norms;
}

#endif

}  // namespace

SquaredNorms squaredNormsOneByOne(const uint8_t* records, size_t count) {
  SquaredNorms norms;
  for (const uint8_t* record = records; record < records + count * kDataRecordSize; record += kDataRecordSize) {
    const uint64_t squares = squaresOf(record);
    norms.least = std::min(norms.least, squares);
    norms.greatest = std::max(norms.greatest, squares);
  }
  return norms;
}

SquaredNorms squaredNorms(const uint8_t* records, size_t count) {
#if defined(__x86_64__)
  if (hasSse41()) return normsInLanes(records, count);
#endif
  return squaredNormsOneByOne(records, count);
}

}  // namespace zolt
