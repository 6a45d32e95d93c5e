#include "text/textFormat.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "core/calendar.h"

namespace zolt {

namespace {

constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

uint64_t loadLittleEndian(const char* in) {
  uint64_t value = 0;
  std::memcpy(&value, in, sizeof value);
  if constexpr (std::endian::native != std::endian::little) value = __builtin_bswap64(value);
  return value;
}

void storeLittleEndian(char* out, uint64_t value) {
  if constexpr (std::endian::native != std::endian::little) value = __builtin_bswap64(value);
  std::memcpy(out, &value, sizeof value);
}


constexpr uint64_t kPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                     100000, 1000000, 10000000, 100000000, 1000000000};

inline int digitCount(uint64_t value) {
  int count = 1;
  for (; value >= 100; value /= 100) count += 2;
  return count + (value >= 10);
}

// Writes the last `count` digits of `value` so that they end at `end`.
inline void putDigitsBefore(char* end, uint64_t value, int count) {
  for (; count >= 2; count -= 2, value /= 100) {
    end -= 2;
    std::memcpy(end, &kDigitPairs[2 * (value % 100)], 2);
  }
  if (count == 1) end[-1] = static_cast<char>('0' + value % 10);
}

// Five digits, zeros in front.
char* putFiveDigits(char* out, uint32_t value) {
  const uint32_t high = value / 1000;
  const uint32_t low = value % 1000;
  out = putPair(out, high);
  out = putPair(out, low / 10);
  *out = static_cast<char>('0' + low % 10);
  return out + 1;
}

// Rounds numerator / 2^shift to an integer, an exact half going to even.
template <typename Wide>
uint64_t roundShifted(Wide numerator, int shift) {
  if (shift == 0) return static_cast<uint64_t>(numerator);
  const Wide one = 1;
  const auto quotient = static_cast<uint64_t>(numerator >> shift);
  const Wide rest = numerator & ((one << shift) - 1);
  const Wide half = one << (shift - 1);
  return quotient + (rest > half || (rest == half && (quotient & 1) != 0));
}

// The text ".ddddd" of every 16-bit binary fraction rounded to five decimals,
// as the six low bytes of an eight-byte word. No entry rounds up to 1
// (65535/65536 gives .99998), so the whole part of a value never changes
// with its fraction.
constexpr uint32_t kFractions = 65536;
struct FractionTable {
  uint64_t text[kFractions];
  FractionTable() {
    for (uint32_t bits = 0; bits < kFractions; ++bits) {
      char digits[8] = {'.'};
      putFiveDigits(digits + 1, static_cast<uint32_t>(roundShifted(uint64_t{bits} * 3125, 11)));
      text[bits] = loadLittleEndian(digits);
    }
  }
};

// Filled on first use, once, whichever thread comes first.
const FractionTable& fractions() {
  static const FractionTable table;
  return table;
}

uint64_t fractionOf(uint32_t bits) { return fractions().text[bits]; }

// "%8.5f" of magnitude / 65536 with the given sign.
char* putSixteenths(char* out, bool negative, uint32_t magnitude) {
  const uint32_t whole = magnitude >> 16;
  const uint64_t fraction = fractionOf(magnitude & 0xFFFF);
  if (whole < 10) {
    // The common case is exactly eight characters, assembled in a register
    // and stored at once.
    const uint64_t sign = static_cast<unsigned char>(negative ? '-' : ' ');
    storeLittleEndian(out, sign | uint64_t{'0' + whole} << 8 | fraction << 16);
    return out + 8;
  }
  if (negative) *out++ = '-';
  out = putUnsigned(out, whole);
  storeLittleEndian(out, fraction);
  return out + 6;
}

uint32_t magnitudeOf(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  return value < 0 ? 0 - bits : bits;
}

// Decimals as a template argument turn the divisions into multiplications.
template <int Decimals>
char* putScaled(char* out, bool negative, uint64_t scaled, int width) {
  constexpr uint64_t kUnit = kPowersOfTen[Decimals];
  const uint64_t whole = scaled / kUnit;
  const int wholeDigits = digitCount(whole);
  const int length = negative + wholeDigits + (Decimals > 0 ? 1 + Decimals : 0);
  if (width > length) {
    // Fields are narrow: the spaces go in one store, a call to fill them
    // would cost more than the whole field.
    constexpr uint64_t kSpaces = 0x2020202020202020;
    for (int pad = width - length; pad > 0;) {
      storeLittleEndian(out, kSpaces);
      const int stored = std::min(pad, 8);
      out += stored;
      pad -= stored;
    }
  }
  if (negative) *out++ = '-';
  putDigitsBefore(out + wholeDigits, whole, wholeDigits);
  out += wholeDigits;
  if constexpr (Decimals == 0) return out;
  *out = '.';
  putDigitsBefore(out + 1 + Decimals, scaled % kUnit, Decimals);
  return out + 1 + Decimals;
}

char* putAbsoluteScaled(char* out, bool negative, uint64_t scaled, int width, int decimals) {
  switch (decimals) {
    case 0: return putScaled<0>(out, negative, scaled, width);
    case 1: return putScaled<1>(out, negative, scaled, width);
    case 2: return putScaled<2>(out, negative, scaled, width);
    case 3: return putScaled<3>(out, negative, scaled, width);
    case 4: return putScaled<4>(out, negative, scaled, width);
    case 5: return putScaled<5>(out, negative, scaled, width);
    case 6: return putScaled<6>(out, negative, scaled, width);
    case 7: return putScaled<7>(out, negative, scaled, width);
    case 8: return putScaled<8>(out, negative, scaled, width);
    default: return putScaled<9>(out, negative, scaled, width);
  }
}

}  // namespace

char* putUnsigned(char* out, uint64_t value) {
  if (value < 10) {
    *out = static_cast<char>('0' + value);
    return out + 1;
  }
  if (value < 100) return putPair(out, static_cast<uint32_t>(value));
  // Counts of a second's records and of a converter mostly have three to
  // five digits.
  if (value < 1000) {
    *out = static_cast<char>('0' + value / 100);
    return putPair(out + 1, static_cast<uint32_t>(value % 100));
  }
  if (value < 10000) return putPair(putPair(out, static_cast<uint32_t>(value / 100)), static_cast<uint32_t>(value % 100));
  const int count = digitCount(value);
  putDigitsBefore(out + count, value, count);
  return out + count;
}

char* putPair(char* out, uint32_t value) {
  std::memcpy(out, &kDigitPairs[2 * size_t{value}], 2);
  return out + 2;
}

char* putDigits(char* out, uint64_t value, int count) {
  putDigitsBefore(out + count, value, count);
  return out + count;
}

char* putZeroPadded(char* out, uint32_t value, int digits) {
  const int count = std::max(digits, digitCount(value));
  putDigitsBefore(out + count, value, count);
  return out + count;
}

char* putSigned3(char* out, int16_t value) {
  if (value >= 0) return putZeroPadded(out, static_cast<uint32_t>(value), 3);
  *out = '-';
  return putZeroPadded(out + 1, static_cast<uint32_t>(-value), 2);
}

char* putSeconds(char* out, uint32_t ms) {
  out = putUnsigned(out, ms / 1000);
  *out = '.';
  return putZeroPadded(out + 1, ms % 1000, 3);
}

namespace {

// Days since 1970-01-01 to "MM/DD/YYYY".
void putDate(char* out, int64_t days) {
  const CivilDate date = civilFromDays(days);
  const auto year = static_cast<uint32_t>(date.year);
  out = putPair(out, date.month);
  *out++ = '/';
  out = putPair(out, date.day);
  *out++ = '/';
  out = putPair(out, year / 100);
  putPair(out, year % 100);
}

constexpr size_t kDateSize = sizeof DateCache::text;

}  // namespace

char* putCalendar(char* out, int32_t seconds, DateCache& cache) {
  const int64_t days = (int64_t{seconds} - (seconds < 0 ? 86399 : 0)) / 86400;
  const auto daySecond = static_cast<uint32_t>(int64_t{seconds} - days * 86400);
  if (days != cache.day) {
    putDate(cache.text, days);
    cache.day = days;
  }
  out = putText(out, std::string_view(cache.text, kDateSize));
  *out++ = ' ';
  out = putPair(out, daySecond / 3600);
  *out++ = ':';
  out = putPair(out, daySecond / 60 % 60);
  *out++ = ':';
  return putPair(out, daySecond % 60);
}

namespace {

// "%8.5f" of magnitude / 65536 below 10 with the given sign: exactly eight
// characters, as the word that holds them.
uint64_t eightCharacters(const FractionTable& table, bool negative, uint32_t magnitude) {
  const uint64_t sign = static_cast<unsigned char>(negative ? '-' : ' ');
  return sign | uint64_t{'0' + (magnitude >> 16)} << 8 | table.text[magnitude & 0xFFFF] << 16;
}

}  // namespace

char* putInertialData(char* out, const int32_t (&acc)[3], const int16_t (&quat)[4]) {
  constexpr uint32_t kEightCharacters = 10 << 16;
  const uint32_t accMagnitude[3] = {magnitudeOf(acc[0]), magnitudeOf(acc[1]), magnitudeOf(acc[2])};
  const uint32_t largest = std::max({accMagnitude[0], accMagnitude[1], accMagnitude[2]});
  if (largest >= kEightCharacters) {
    out = putText(out, "Inertial Data  acc:");
    for (size_t axis = 0; axis < 3; ++axis) out = putAcc(putText(out, " "), acc[axis]);
    out = putText(out, "  quat:");
    for (size_t part = 0; part < 4; ++part) out = putQuat(putText(out, " "), quat[part]);
    return putText(out, "\n");
  }
  // Every field eight characters wide: the line's shape is fixed.
  constexpr std::string_view kShape =
      "Inertial Data  acc: ________ ________ ________  quat: ________ ________ ________ ________\n";
  std::memcpy(out, kShape.data(), kShape.size());
  const FractionTable& table = fractions();
  for (size_t axis = 0; axis < 3; ++axis) {
    storeLittleEndian(out + 20 + 9 * axis, eightCharacters(table, acc[axis] < 0, accMagnitude[axis]));
  }
  for (size_t part = 0; part < 4; ++part) {
    const uint32_t magnitude = magnitudeOf(quat[part]) << 2;  // k / 16384 is 4k / 65536
    storeLittleEndian(out + 54 + 9 * part, eightCharacters(table, quat[part] < 0, magnitude));
  }
  return out + kShape.size();
}

char* putAcc(char* out, int32_t sixteenths) {
  return putSixteenths(out, sixteenths < 0, magnitudeOf(sixteenths));
}

// k / 16384 is 4k / 65536.
char* putQuat(char* out, int16_t fourteenths) {
  return putSixteenths(out, fourteenths < 0, magnitudeOf(fourteenths) << 2);
}

namespace {

// A finite double is exactly mantissa * 2^exponent.
struct BinaryValue {
  bool negative;
  uint64_t mantissa;
  int exponent;
};

BinaryValue decompose(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const auto biased = static_cast<int>(bits >> 52 & 0x7FF);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  BinaryValue binary{(bits >> 63) != 0, biased == 0 ? fraction : fraction | uint64_t{1} << 52,
                     (biased == 0 ? 1 : biased) - 1075};
  if (binary.mantissa != 0) {
    // Dropping trailing zero bits keeps a widened float's products in 64 bits.
    const auto zeros = static_cast<unsigned>(std::countr_zero(binary.mantissa));
    binary.mantissa >>= zeros;
    binary.exponent += static_cast<int>(zeros);
  }
  return binary;
}

// |value| * 10^decimals, rounded to an integer with ties to even.
uint64_t scaledMagnitude(const BinaryValue& value, int decimals) {
  __extension__ using Wide = unsigned __int128;
  const uint64_t power = kPowersOfTen[decimals];
  uint64_t product = 0;
  const bool fits = !__builtin_mul_overflow(value.mantissa, power, &product);
  if (value.exponent >= 0) return product << value.exponent;
  if (value.exponent > -64 && fits) return roundShifted(product, -value.exponent);
  if (value.exponent > -128) return roundShifted(Wide{value.mantissa} * power, -value.exponent);
  return 0;  // far below half a unit of the last decimal
}

}  // namespace

char* putFixed(char* out, double value, int width, int decimals) {
  const BinaryValue binary = decompose(value);
  return putAbsoluteScaled(out, binary.negative, scaledMagnitude(binary, decimals), width, decimals);
}

}  // namespace zolt
