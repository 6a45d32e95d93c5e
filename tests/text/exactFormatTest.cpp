// The exact formatters against what a reader of the text gets back, over
// every value a table can hold where that is feasible.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "core/calendar.h"
#include "text/exactFormat.h"
#include "zolt/units.h"

namespace {

using namespace zolt;

// The shape every real field must have: a point, a digit after it, and no
// zero at the end unless it is the only decimal.
bool wellShaped(std::string_view text) {
  const size_t point = text.find('.');
  if (point == std::string_view::npos || point + 1 == text.size()) return false;
  return text.back() != '0' || text.size() == point + 2;
}

// Reads the comma-separated fields after the first comma.
std::vector<std::string> fieldsOf(const char* begin, const char* end) {
  std::vector<std::string> fields;
  for (const char* at = begin; at < end;) {
    const char* comma = std::find(at + 1, end, ',');
    fields.emplace_back(at + 1, comma);
    at = comma;
  }
  return fields;
}

// Each acceleration count once as x, and each quaternion count once as
// quat_0 on the way; the other fields check the sign and the zero.
TEST(ExactFormat, EveryAccelerationAndQuaternionReadsBackExactly) {
  std::atomic<long> bad{0};
  auto sweep = [&](int32_t from, int32_t to) {
    char text[256];
    for (int32_t count = from; count < to; ++count) {
      const auto quatCount = static_cast<int16_t>(count);
      const int32_t acc[3] = {count, -count, 0};
      const int16_t quat[4] = {quatCount, 0, 0, 0};
      const std::vector<std::string> fields = fieldsOf(text, putInertialFields(text, acc, quat));
      const bool right = fields.size() == 7 && wellShaped(fields[0]) &&
                         std::strtod(fields[0].c_str(), nullptr) == count / 65536.0 &&
                         fields[1] == (count == 0 ? "0.0" : count > 0 ? "-" + fields[0] : fields[0].substr(1)) &&
                         fields[2] == "0.0" && wellShaped(fields[3]) &&
                         std::strtod(fields[3].c_str(), nullptr) == quatCount / 16384.0 && fields[6] == "0.0";
      if (!right && bad.fetch_add(1) < 5) ADD_FAILURE() << "count " << count << ": " << testing::PrintToString(fields);
    }
  };
  std::thread half(sweep, -(1 << 23), 0);
  sweep(0, 1 << 23);
  half.join();
  EXPECT_EQ(bad.load(), 0);
}

TEST(ExactFormat, FractionsOfSeventeenBitsAndWideCounts) {
  char text[64];
  for (uint32_t counts = 0; counts <= 0xFFFF; ++counts) {
    const std::string volts(text, putExactFraction(text, int64_t{counts} * 5, 17));
    ASSERT_TRUE(wellShaped(volts)) << volts;
    ASSERT_EQ(std::strtod(volts.c_str(), nullptr), converterVolts(static_cast<uint16_t>(counts))) << volts;
  }
  for (uint64_t raw = 0; raw <= 0xFFFFFFFF; raw += 65521 * 7 + 1) {
    const std::string maxVal(text, putExactFraction(text, static_cast<int64_t>(raw), 16));
    ASSERT_TRUE(wellShaped(maxVal)) << maxVal;
    ASSERT_EQ(std::strtod(maxVal.c_str(), nullptr), static_cast<double>(raw) / 65536.0) << maxVal;
  }
}

TEST(ExactFormat, ThousandthsAreExactWithoutTrailingZeros) {
  char text[32];
  for (uint64_t ms = 0; ms <= 0xFFFFFFFF; ms += ms < 200000 ? 1 : 999983) {
    const std::string seconds(text, putExactThousandths(text, static_cast<uint32_t>(ms)));
    char reference[32];
    std::snprintf(reference, sizeof reference, "%lu.%03lu", static_cast<unsigned long>(ms / 1000),
                  static_cast<unsigned long>(ms % 1000));
    std::string trimmed = reference;
    while (trimmed.back() == '0' && trimmed[trimmed.size() - 2] != '.') trimmed.pop_back();
    ASSERT_EQ(seconds, trimmed);
  }
}

// Fewest digits: the text reads back as the value, and one significant
// digit less would not.
template <typename Real>
bool shortestAndExact(const std::string& text, Real value) {
  if (!wellShaped(text)) return false;
  if constexpr (sizeof(Real) == sizeof(float)) {
    if (std::strtof(text.c_str(), nullptr) != value) return false;
  } else {
    if (std::strtod(text.c_str(), nullptr) != value) return false;
  }
  // Significant digits: from the first digit that is not zero to the last.
  std::string digitsOnly;
  for (const char c : text) {
    if (c >= '0' && c <= '9') digitsOnly += c;
  }
  const size_t first = digitsOnly.find_first_not_of('0');
  const size_t digits = first == std::string::npos ? 0 : digitsOnly.find_last_not_of('0') - first + 1;
  if (digits <= 1) return true;
  char fewer[64];
  std::snprintf(fewer, sizeof fewer, "%.*g", static_cast<int>(digits - 1), static_cast<double>(value));
  if constexpr (sizeof(Real) == sizeof(float)) return std::strtof(fewer, nullptr) != value;
  return std::strtod(fewer, nullptr) != value;
}

TEST(ExactFormat, EveryCountOfEveryComputedFieldIsShortestAndExact) {
  char text[128];
  for (uint32_t counts = 0; counts <= 0xFFFF; ++counts) {
    const auto count = static_cast<uint16_t>(counts);
    const double volts = supplyVolts(count);
    ASSERT_TRUE(shortestAndExact(std::string(text, putShortest(text, volts)), volts)) << counts;
    for (const AdcChannel channel :
         {AdcChannel::kExtPressure, AdcChannel::kIntPressure, AdcChannel::kTemperature, AdcChannel::kHumidity}) {
      const float value = adcEngValue(channel, count, nullptr);
      ASSERT_TRUE(shortestAndExact(std::string(text, putShortest(text, value)), value))
          << "channel " << static_cast<int>(channel) << " counts " << counts << ": " << std::string(text, putShortest(text, value));
    }
  }
}

TEST(ExactFormat, IsoTimesMatchGmtimeAndReadBack) {
  char text[64];
  SecondCache cache;
  for (int64_t seconds = INT32_MIN; seconds <= int64_t{INT32_MAX} + 70000; seconds += 86400 * 13 + 3607) {
    const int64_t micros = seconds * 1000000 + (seconds & 0xFFFFF) % 1000000;
    const std::string shown(text, putIsoTime(text, micros, 6, cache));
    const std::time_t time = seconds;
    std::tm broken{};
    gmtime_r(&time, &broken);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02d.%06ldZ", broken.tm_year + 1900,
                  broken.tm_mon + 1, broken.tm_mday, broken.tm_hour, broken.tm_min, broken.tm_sec,
                  static_cast<long>(micros - seconds * 1000000));
    ASSERT_EQ(shown, expected);
    ASSERT_EQ(parseIsoTime(shown), micros);
    const std::string millis(text, putIsoTime(text, micros, 3, cache));
    ASSERT_EQ(millis, shown.substr(0, 23) + "Z");
  }
}

TEST(ExactFormat, OnlyRealTimesParse) {
  EXPECT_EQ(parseIsoTime("1970-01-01"), 0);
  EXPECT_EQ(parseIsoTime("1970-01-01T00:01Z"), 60000000);
  EXPECT_EQ(parseIsoTime("1969-12-31T23:59:59.5"), -500000);
  EXPECT_EQ(parseIsoTime("2000-02-29T12:00:00.000001Z"), int64_t{951825600} * 1000000 + 1);
  for (const char* bad : {"", "2026", "2026-12", "2026-12-1", "2026-00-10", "2026-13-10", "1900-02-29",
                          "2026-04-31", "2026-12-01T", "2026-12-01T1:00", "2026-12-01T12", "2026-12-01T12:60",
                          "2026-12-01T23:59:60", "2026-12-01T12:00:00.", "2026-12-01T12:00:00.1234567",
                          "2026-12-01t12:00", "2026-12-01T12:00ZZ", "2026-12-01T12:00+01:00", " 2026-12-01",
                          "+2026-12-01"}) {
    EXPECT_FALSE(parseIsoTime(bad).has_value()) << bad;
  }
}

}  // namespace
