#include "text/exactFormat.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/calendar.h"
#include "text/textFormat.h"
#include "text/utf8Name.h"
#include "zolt/tables.h"
#include "zolt/time.h"

namespace zolt {

namespace {

constexpr int kMostFractionBits = 17;
constexpr int kSixteenBits = 16;

constexpr size_t kPowersKept = kMostFractionBits + 1;

constexpr auto kPowersOfFive = [] {
  std::array<uint64_t, kPowersKept> powers{};
  uint64_t power = 1;
  for (uint64_t& entry : powers) {
    entry = power;
    power *= 5;
  }
  return powers;
}();

// Eight decimal digits of a value below 10^8, as the word that holds them
// in memory order: each step splits every lane of the word in two.
uint64_t eightDigits(uint32_t value) {
  const uint64_t fours = value / 10000 | uint64_t{value % 10000} << 32;
  const uint64_t highPairs = (fours * 10486) >> 20 & (0x7FULL << 32 | 0x7F);  // lane / 100
  const uint64_t pairs = (fours - 100 * highPairs) << 16 | highPairs;
  uint64_t digits = (pairs * 103) >> 10 & (0xFULL << 48 | 0xFULL << 32 | 0xFULL << 16 | 0xF);  // lane / 10
  digits |= (pairs - 10 * digits) << 8;
  return digits + 0x3030303030303030;
}

void storeDigits(char* out, uint64_t digits) {
  if constexpr (std::endian::native != std::endian::little) digits = __builtin_bswap64(digits);
  std::memcpy(out, &digits, sizeof digits);
}

// The sixteen decimals of a non-zero 16-bit binary fraction are
// f * 5^16 (f / 2^16 = f * 5^16 / 10^16); all are written, and the end
// moves past the last one that is not zero.
// The sixteen decimals of f / 2^16 are the digits of f * 5^16 (f / 2^16 =
// f * 5^16 / 10^16). They are kept as binary-coded decimal, four bits a
// digit, for the high and the low byte of f; the two are added digit by
// digit and spread out to characters, with no division at all.
constexpr uint64_t binaryCodedDecimal(uint64_t value) {
  uint64_t coded = 0;
  for (int shift = 0; value != 0; shift += 4, value /= 10) coded |= (value % 10) << shift;
  return coded;
}

constexpr uint64_t kFiveToTheSixteenth = 152587890625;

constexpr auto kHighByteDecimals = [] {
  std::array<uint64_t, 256> table{};
  for (size_t byte = 0; byte < 256; ++byte) table[byte] = binaryCodedDecimal((byte << 8) * kFiveToTheSixteenth);
  return table;
}();

constexpr auto kLowByteDecimals = [] {
  std::array<uint64_t, 256> table{};
  for (size_t byte = 0; byte < 256; ++byte) table[byte] = binaryCodedDecimal(byte * kFiveToTheSixteenth);
  return table;
}();

// Sixteen-digit decimal sum, for sums below 10^16: each digit is added with
// six more so that its carry shows in binary, and the six taken back where
// there was none.
uint64_t addDecimals(uint64_t a, uint64_t b) {
  const uint64_t biased = a + 0x0666666666666666;
  const uint64_t sum = biased + b;
  const uint64_t noCarry = ~(sum ^ biased ^ b) & 0x1111111111111110;
  return sum - ((noCarry >> 2) | (noCarry >> 3));
}

// The sixteen digits of `coded` as characters, most significant first.
void storeCodedDigits(char* out, uint64_t coded) {
#if defined(__SSE2__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // With the bytes reversed, each byte holds the earlier digit in its high
  // half: split the halves and interleave them.
  const __m128i pairs = _mm_cvtsi64_si128(static_cast<long long>(__builtin_bswap64(coded)));
  const __m128i lowHalves = _mm_set1_epi8(0x0F);
  const __m128i earlier = _mm_and_si128(_mm_srli_epi64(pairs, 4), lowHalves);
  const __m128i later = _mm_and_si128(pairs, lowHalves);
  const __m128i digits = _mm_add_epi8(_mm_unpacklo_epi8(earlier, later), _mm_set1_epi8('0'));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), digits);
#else
  for (int digit = 15; digit >= 0; --digit, coded >>= 4) out[digit] = static_cast<char>('0' + (coded & 0xF));
#endif
}

// All sixteen decimals of a non-zero 16-bit fraction are written; the end
// moves past the last one that is not zero.
inline char* putSixteenBitFraction(char* out, uint32_t fraction) {
  const uint64_t decimals = addDecimals(kHighByteDecimals[fraction >> 8], kLowByteDecimals[fraction & 0xFF]);
  storeCodedDigits(out, decimals);
  return out + kSixteenBits - std::countr_zero(fraction);
}

// Inline, so that where the count of bits is a constant the data record's
// fields, which come by the million, are written without a test of it.
inline char* putFixedPoint(char* out, int64_t numerator, int bits) {
  const uint64_t magnitude = numerator < 0 ? 0 - static_cast<uint64_t>(numerator) : static_cast<uint64_t>(numerator);
  if (numerator < 0) *out++ = '-';
  const uint64_t whole = magnitude >> bits;
  if (whole < 10) {
    *out++ = static_cast<char>('0' + whole);
  } else {
    out = putUnsigned(out, whole);
  }
  *out++ = '.';
  const uint64_t fraction = magnitude & ((uint64_t{1} << bits) - 1);
  if (fraction == 0) return putText(out, "0");
  if (bits <= kSixteenBits) return putSixteenBitFraction(out, static_cast<uint32_t>(fraction << (kSixteenBits - bits)));
  // f / 2^d = f * 5^d / 10^d: exactly d decimals once f is odd.
  const int zeros = std::countr_zero(fraction);
  const int decimals = bits - zeros;
  return putDigits(out, (fraction >> zeros) * kPowersOfFive[static_cast<size_t>(decimals)], decimals);
}

char* putPointZeroIfWhole(char* begin, char* end) {
  if (std::memchr(begin, '.', static_cast<size_t>(end - begin)) != nullptr) return end;
  return putText(end, ".0");
}

template <typename Real>
char* putShortestOf(char* out, Real value) {
  constexpr size_t kRoom = 64;  // more than any value of a 16-bit count needs
  const std::to_chars_result result = std::to_chars(out, out + kRoom, value, std::chars_format::fixed);
  return putPointZeroIfWhole(out, result.ptr);
}

}  // namespace

char* putExactFraction(char* out, int64_t numerator, int bits) { return putFixedPoint(out, numerator, bits); }

char* putInertialFields(char* out, const int32_t (&acc)[3], const int16_t (&quat)[4]) {
  constexpr int kAccBits = 16;
  constexpr int kQuatBits = 14;
  for (size_t axis = 0; axis < 3; ++axis) out = putFixedPoint(putText(out, ","), acc[axis], kAccBits);
  for (size_t part = 0; part < 4; ++part) out = putFixedPoint(putText(out, ","), quat[part], kQuatBits);
  return out;
}

char* putExactThousandths(char* out, uint32_t ms) {
  out = putUnsigned(out, ms / 1000);
  *out++ = '.';
  uint32_t fraction = ms % 1000;
  int decimals = 3;
  if (fraction == 0) decimals = 1;
  for (; fraction != 0 && fraction % 10 == 0; fraction /= 10) --decimals;
  return putDigits(out, fraction, decimals);
}

char* putShortest(char* out, double value) { return putShortestOf(out, value); }
char* putShortest(char* out, float value) { return putShortestOf(out, value); }

char* putIsoTime(char* out, int64_t micros, int decimals, SecondCache& cache) {
  char* const lastText = cache.text;
  const int64_t seconds = floorDivide(micros, kMicrosecondsPerSecond);
  if (seconds != cache.second) {
    const int64_t days = floorDivide(seconds, kSecondsPerDay);
    const auto daySecond = static_cast<uint32_t>(seconds - days * kSecondsPerDay);
    const CivilDate date = civilFromDays(days);
    char* at = putDigits(lastText, static_cast<uint64_t>(date.year), 4);
    at = putPair(putText(at, "-"), date.month);
    at = putPair(putText(at, "-"), date.day);
    at = putPair(putText(at, "T"), daySecond / 3600);
    at = putPair(putText(at, ":"), daySecond / 60 % 60);
    putPair(putText(at, ":"), daySecond % 60);
    cache.second = seconds;
  }
  out = putText(out, std::string_view(lastText, sizeof cache.text));
  *out++ = '.';
  // Six decimals and two zeros, or three and five: eight digits at once.
  const auto fraction = static_cast<uint32_t>(micros - seconds * kMicrosecondsPerSecond);
  storeDigits(out, eightDigits(decimals == 3 ? fraction / 1000 * 100000 : fraction * 100));
  return putText(out + decimals, "Z");
}

char* putEscapedName(char* out, std::string_view name) {
  constexpr char kHex[] = "0123456789ABCDEF";
  for (size_t at = 0; at < name.size();) {
    const auto byte = static_cast<uint8_t>(name[at]);
    if (const size_t kept = keptLength(name, at); kept > 0) {
      out = putText(out, name.substr(at, kept));
      at += kept;
      continue;
    }
    if (byte == '\\') {
      out = putText(out, "\\\\");
    } else {
      *out++ = '\\';
      *out++ = 'x';
      *out++ = kHex[byte >> 4];
      *out++ = kHex[byte & 0xF];
    }
    ++at;
  }
  return out;
}

std::string isoTime(int64_t micros, int decimals) {
  char text[40];
  SecondCache cache;
  return {text, putIsoTime(text, micros, decimals, cache)};
}

std::string escapedName(std::string_view name) {
  std::string shown(escapedNameRoom(name.size()), '\0');
  shown.resize(static_cast<size_t>(putEscapedName(shown.data(), name) - shown.data()));
  return shown;
}

}  // namespace zolt
