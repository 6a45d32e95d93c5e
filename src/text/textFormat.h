// Exact, allocation-free formatting of the report's fields. Each function
// writes its text at `out` and returns the end of what it wrote; each matches
// the printf conversion named beside it character for character, including
// the round-half-to-even of an exact tie.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace zolt {

inline char* putText(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// "%lu"
char* putUnsigned(char* out, uint64_t value);

// The last `count` digits of `value`, zeros in front.
char* putDigits(char* out, uint64_t value, int count);

// "%02u" of a value below 100.
char* putPair(char* out, uint32_t value);

// "%0Nu" with N = digits: at least `digits` digits, zeros in front.
char* putZeroPadded(char* out, uint32_t value, int digits);

// "%03hd": a signed 16-bit value, zero-padded to three characters.
char* putSigned3(char* out, int16_t value);

// "%ld.%03lu" of ms / 1000 and ms % 1000.
char* putSeconds(char* out, uint32_t ms);

// The text of the day formatted last: consecutive records mostly share a
// day. Each writer keeps its own.
struct DateCache {
  int64_t day = INT64_MIN;
  char text[10] = {};  // "MM/DD/YYYY"
};

// "%02d/%02d/%04d %02d:%02d:%02d" (month first) of a count of seconds since
// 1970-01-01 00:00:00 UTC.
char* putCalendar(char* out, int32_t seconds, DateCache& cache);

// "%8.5f" of a signed 24-bit count of 1/65536 (an acceleration).
char* putAcc(char* out, int32_t sixteenths);

// "%8.5f" of a signed 16-bit count of 1/16384 (a quaternion component).
char* putQuat(char* out, int16_t fourteenths);

// "Inertial Data  acc: %8.5f %8.5f %8.5f  quat: %8.5f %8.5f %8.5f %8.5f\n"
// of three accelerations and four quaternion components.
char* putInertialData(char* out, const int32_t (&acc)[3], const int16_t (&quat)[4]);

// "%W.Df" with W = width and D = decimals (at most 9), for any finite value
// whose magnitude times 10^D is below 2^64.
char* putFixed(char* out, double value, int width, int decimals);

}  // namespace zolt
