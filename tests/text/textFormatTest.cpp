// The fast formatters against snprintf with the same conversion, over every
// value the report can show where that is feasible, and dates against gmtime.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "text/textFormat.h"
#include "zolt/units.h"

namespace {

using namespace zolt;

// The conversions under test come from tables, so the format is not a literal.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <typename... Args>
std::string printed(const char* format, Args... args) {
  char text[64];
  const int length = std::snprintf(text, sizeof text, format, args...);
  return std::string(text, static_cast<size_t>(length));
}
#pragma GCC diagnostic pop

template <typename Put>
std::string formatted(Put put) {
  char text[64];
  return std::string(text, static_cast<size_t>(put(text)));
}

// Splits [first, last) over two threads; returns how many values disagreed
// and reports the first few of them.
template <typename Check>
long countMismatches(int64_t first, int64_t last, Check check) {
  std::atomic<long> mismatches{0};
  auto sweep = [&](int64_t from, int64_t to) {
    for (int64_t value = from; value < to; ++value) {
      if (check(value)) continue;
      if (mismatches.fetch_add(1) < 5) ADD_FAILURE() << "mismatch at " << value;
    }
  };
  const int64_t middle = first + (last - first) / 2;
  std::thread half(sweep, first, middle);
  sweep(middle, last);
  half.join();
  return mismatches.load();
}

// Sixteen million values: compared in place, without building strings.
bool sameAsPrintf8_5(char* (*put)(char*, int32_t), int32_t count, double value) {
  char fast[32], slow[32];
  const auto length = static_cast<size_t>(put(fast, count) - fast);
  const int printedLength = std::snprintf(slow, sizeof slow, "%8.5f", value);
  return length == static_cast<size_t>(printedLength) && std::memcmp(fast, slow, length) == 0;
}

TEST(TextFormat, EveryAccelerationMatchesPrintf) {
  const long bad = countMismatches(-(1 << 23), 1 << 23, [](int64_t k) {
    const auto count = static_cast<int32_t>(k);
    return sameAsPrintf8_5(putAcc, count, double{static_cast<float>(count) / 65536.0f});
  });
  EXPECT_EQ(bad, 0);
}

TEST(TextFormat, EveryQuaternionComponentMatchesPrintf) {
  const long bad = countMismatches(-32768, 32768, [](int64_t k) {
    const auto count = static_cast<int16_t>(k);
    auto put = [](char* out, int32_t value) { return putQuat(out, static_cast<int16_t>(value)); };
    return sameAsPrintf8_5(put, count, double{static_cast<float>(count) / 16384.0f});
  });
  EXPECT_EQ(bad, 0);
}

struct FieldFormat {
  const char* what;
  const char* format;
  int width;
  int decimals;
  double (*value)(uint16_t counts);
};

TEST(TextFormat, EveryCountOfEveryReportedFieldMatchesPrintf) {
  const FieldFormat fields[] = {
      {"pressure volts", "%5.2f", 5, 2, [](uint16_t c) { return c * 2.5 / 65536.0; }},
      {"supply volts", "%5.2f", 5, 2, [](uint16_t c) { return c * 12.11 * 2.5 / 65536.0; }},
      {"external pressure", "%6.3f", 6, 3, [](uint16_t c) { return double{adcEngValue(2, c, nullptr)}; }},
      {"internal pressure", "%5.2f", 5, 2, [](uint16_t c) { return double{adcEngValue(3, c, nullptr)}; }},
      {"temperature", "%4.1f", 4, 1, [](uint16_t c) { return double{adcEngValue(4, c, nullptr)}; }},
      {"humidity", "%4.1f", 4, 1, [](uint16_t c) { return double{adcEngValue(5, c, nullptr)}; }},
  };
  for (const FieldFormat& field : fields) {
    SCOPED_TRACE(field.what);
    for (uint32_t counts = 0; counts <= 0xFFFF; ++counts) {
      const double value = field.value(static_cast<uint16_t>(counts));
      ASSERT_EQ(formatted([&](char* out) { return putFixed(out, value, field.width, field.decimals) - out; }),
                printed(field.format, value))
          << "counts " << counts;
    }
  }
}

TEST(TextFormat, MaximumValuesMatchPrintf) {
  std::vector<uint32_t> raws = {0, 1, 2, 0x8000, 0x12345678, 0xFFFFFFFE, 0xFFFFFFFF};
  for (uint64_t raw = 3; raw < 0xFFFFFFFF; raw += 65521) raws.push_back(static_cast<uint32_t>(raw));
  for (uint32_t raw : raws) {
    const auto value = static_cast<float>(raw / 65536.0);
    ASSERT_EQ(formatted([&](char* out) { return putFixed(out, double{value}, 0, 4) - out; }),
              printed("%.4f", double{value}))
        << raw;
  }
}

TEST(TextFormat, FixedMatchesPrintfForAnyWidthAndDecimals) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> magnitude(-30.0, 30.0);
  for (int i = 0; i < 200000; ++i) {
    const double value = std::copysign(std::exp2(magnitude(random)), static_cast<double>(random() % 2) - 0.5);
    const int decimals = static_cast<int>(random() % 10), width = static_cast<int>(random() % 14);
    ASSERT_EQ(formatted([&](char* out) { return putFixed(out, value, width, decimals) - out; }),
              printed("%*.*f", width, decimals, value));
  }
  for (double exact : {0.0, -0.0, 0.5, 1.5, 2.5, -0.125, 0.015625, 1e-300, -5e-324}) {
    EXPECT_EQ(formatted([&](char* out) { return putFixed(out, exact, 8, 2) - out; }), printed("%8.2f", exact));
  }
}

TEST(TextFormat, IntegersMatchPrintf) {
  for (uint32_t ms = 0; ms <= 0xFFFF; ++ms) {
    const auto value = static_cast<int16_t>(ms);
    ASSERT_EQ(formatted([&](char* out) { return putSigned3(out, value) - out; }), printed("%03hd", value));
  }
  std::vector<uint64_t> values = {0, 9, 10, 99, 100, 999, 1000, 0xFFFFFFFF, UINT64_MAX};
  for (uint64_t value = 1; value < UINT64_MAX / 3; value = value * 3 + 1) values.push_back(value);
  for (uint64_t value : values) {
    ASSERT_EQ(formatted([&](char* out) { return putUnsigned(out, value) - out; }), printed("%lu", value));
    const auto ms = static_cast<uint32_t>(value);
    ASSERT_EQ(formatted([&](char* out) { return putSeconds(out, ms) - out; }),
              printed("%ld.%03lu", static_cast<long>(ms / 1000), static_cast<unsigned long>(ms % 1000)));
  }
}

std::string gmtimeText(int32_t seconds) {
  const std::time_t time = seconds;
  std::tm broken{};
  gmtime_r(&time, &broken);
  return printed("%02d/%02d/%04d %02d:%02d:%02d", broken.tm_mon + 1, broken.tm_mday, broken.tm_year + 1900,
                 broken.tm_hour, broken.tm_min, broken.tm_sec);
}

TEST(TextFormat, EveryDayOfTheClockMatchesGmtime) {
  std::vector<int64_t> times = {INT32_MIN, INT32_MIN + 1, -86401, -86400, -86399, -1, 0, 1, 86399, 86400,
                                951782400, INT32_MAX - 1, INT32_MAX};
  for (int64_t day = INT32_MIN / 86400 - 1; day <= INT32_MAX / 86400; ++day) {
    // A different second of each day, and both ends of some.
    for (int64_t second : {int64_t{0}, (day * 7919) % 86400 + (day < 0 ? 86399 : 0), int64_t{86399}}) {
      const int64_t time = day * 86400 + second % 86400;
      if (time >= INT32_MIN && time <= INT32_MAX) times.push_back(time);
    }
  }
  DateCache cache;
  for (int64_t time : times) {
    const auto seconds = static_cast<int32_t>(time);
    ASSERT_EQ(formatted([&](char* out) { return putCalendar(out, seconds, cache) - out; }), gmtimeText(seconds))
        << seconds;
  }
}

}  // namespace
