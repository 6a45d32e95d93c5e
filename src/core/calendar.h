// The proleptic Gregorian calendar in UTC, for any day the clock can name.
#pragma once

#include <cstdint>

#include "zolt/time.h"

namespace zolt {

struct CivilDate {
  int64_t year;
  uint32_t month;  // 1 to 12
  uint32_t day;    // 1 to 31
};

CivilDate civilFromDays(int64_t daysSinceEpoch);
int64_t daysFromCivil(const CivilDate& date);

constexpr int64_t kMicrosecondsPerSecond = 1000000;
constexpr int64_t kSecondsPerDay = 86400;

// Rounds the quotient toward minus infinity, as a calendar must.
constexpr int64_t floorDivide(int64_t value, int64_t divisor) {
  return value / divisor - (value % divisor < 0 ? 1 : 0);
}

}  // namespace zolt
