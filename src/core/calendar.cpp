#include "core/calendar.h"

namespace zolt {

namespace {

// 400-year eras that start on 1 March, so that the leap day ends each year.
constexpr int64_t kDaysPerEra = 146097;
constexpr int64_t kDaysFromEraStartToEpoch = 719468;

bool isLeapYear(int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

uint32_t daysInMonth(int64_t year, uint32_t month) {
  constexpr uint32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads exactly `digits` decimal digits at `at`, moving past them.
std::optional<uint32_t> readDigits(std::string_view& text, size_t digits) {
  if (text.size() < digits) return std::nullopt;
  uint32_t value = 0;
  for (size_t i = 0; i < digits; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  text.remove_prefix(digits);
  return value;
}

bool skip(std::string_view& text, char expected) {
  if (text.empty() || text.front() != expected) return false;
  text.remove_prefix(1);
  return true;
}

// Up to six digits of a second's fraction, in microseconds.
std::optional<uint32_t> readFraction(std::string_view& text) {
  uint32_t micros = 0;
  size_t digits = 0;
  for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
    if (digits == 6) return std::nullopt;
    micros = micros * 10 + static_cast<uint32_t>(text[digits] - '0');
  }
  if (digits == 0) return std::nullopt;
  for (size_t i = digits; i < 6; ++i) micros *= 10;
  text.remove_prefix(digits);
  return micros;
}

struct ClockTime {
  uint32_t hour = 0;
  uint32_t minute = 0;
  uint32_t second = 0;
  uint32_t micros = 0;
};

// "Thh:mm[:ss[.ffffff]]", or nothing at all for midnight.
std::optional<ClockTime> readClockTime(std::string_view& text) {
  ClockTime time;
  if (!skip(text, 'T')) return time;
  const auto hour = readDigits(text, 2);
  if (!hour || !skip(text, ':')) return std::nullopt;
  const auto minute = readDigits(text, 2);
  if (!minute) return std::nullopt;
  time.hour = *hour;
  time.minute = *minute;
  if (!skip(text, ':')) return time;
  const auto second = readDigits(text, 2);
  if (!second) return std::nullopt;
  time.second = *second;
  if (!skip(text, '.')) return time;
  const auto micros = readFraction(text);
  if (!micros) return std::nullopt;
  time.micros = *micros;
  return time;
}

}  // namespace

CivilDate civilFromDays(int64_t daysSinceEpoch) {
  const int64_t shifted = daysSinceEpoch + kDaysFromEraStartToEpoch;
  const int64_t era = floorDivide(shifted, kDaysPerEra);
  const auto dayOfEra = static_cast<uint32_t>(shifted - era * kDaysPerEra);
  const uint32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const uint32_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const uint32_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const uint32_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  return {int64_t{yearOfEra} + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

int64_t daysFromCivil(const CivilDate& date) {
  const int64_t year = date.year - (date.month <= 2 ? 1 : 0);
  const int64_t era = floorDivide(year, 400);
  const auto yearOfEra = static_cast<uint32_t>(year - era * 400);
  const uint32_t shiftedMonth = date.month > 2 ? date.month - 3 : date.month + 9;
  const uint32_t dayOfYear = (153 * shiftedMonth + 2) / 5 + date.day - 1;
  const uint32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * kDaysPerEra + dayOfEra - kDaysFromEraStartToEpoch;
}

std::optional<int64_t> parseIsoTime(std::string_view text) {
  const auto year = readDigits(text, 4);
  if (!year || !skip(text, '-')) return std::nullopt;
  const auto month = readDigits(text, 2);
  if (!month || !skip(text, '-')) return std::nullopt;
  const auto day = readDigits(text, 2);
  if (!day) return std::nullopt;
  const auto time = readClockTime(text);
  if (!time) return std::nullopt;
  skip(text, 'Z');
  if (!text.empty()) return std::nullopt;
  if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month)) return std::nullopt;
  if (time->hour > 23 || time->minute > 59 || time->second > 59) return std::nullopt;
  const int64_t days = daysFromCivil({*year, *month, *day});
  const int64_t seconds =
      days * kSecondsPerDay + int64_t{time->hour} * 3600 + int64_t{time->minute} * 60 + time->second;
  return seconds * kMicrosecondsPerSecond + time->micros;
}

}  // namespace zolt
