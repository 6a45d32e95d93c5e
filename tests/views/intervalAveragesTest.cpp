#include "views/intervalAverages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace zolt {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr int64_t kSecond = 1000000;

struct Row {
  int64_t time;
  std::vector<double> values;
};

struct Interval {
  int64_t start;
  uint64_t count;
  std::vector<double> mean, min, max;
};

class Collected final : public IntervalSink {
 public:
  void interval(const IntervalRow& row) override {
    intervals.push_back({row.start, row.count, {row.mean.begin(), row.mean.end()}, {row.min.begin(), row.min.end()},
                         {row.max.begin(), row.max.end()}});
  }
  std::vector<Interval> intervals;
};

// Equal to the bit, NaN to NaN.
void expectSame(const std::vector<double>& got, const std::vector<double>& expected, const char* what) {
  ASSERT_EQ(got.size(), expected.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) {
    if (std::isnan(expected[i])) {
      EXPECT_TRUE(std::isnan(got[i])) << what << " " << i << ": " << got[i];
    } else {
      EXPECT_EQ(got[i], expected[i]) << what << " " << i;
    }
  }
}

struct Case {
  const char* name;
  int64_t every;
  bool fill;
  std::vector<Row> rows;
  std::vector<Interval> expected;
};

TEST(IntervalAverages, GatherRowsIntoAlignedIntervals) {
  const std::vector<Case> cases = {
      {"a row on an edge opens the next interval",
       kSecond,
       false,
       {{999999, {1}}, {kSecond, {2}}, {kSecond + 1, {4}}},
       {{0, 1, {1}, {1}, {1}}, {kSecond, 2, {3}, {2}, {4}}}},
      {"the mean sums in the rows' order",
       kSecond,
       false,
       {{10, {0.1, -1}}, {20, {0.2, -3}}, {30, {0.3, 2}}},
       {{0, 3, {(0.1 + 0.2 + 0.3) / 3}, {0.1}, {0.3}}}},
      {"an interval without rows is left out",
       250000,
       false,
       {{100, {1}}, {600000, {5}}, {700000, {7}}},
       {{0, 1, {1}, {1}, {1}}, {500000, 2, {6}, {5}, {7}}}},
      {"with fill it is a row of no values",
       250000,
       true,
       {{100, {1}}, {600000, {5}}, {700000, {7}}},
       {{0, 1, {1}, {1}, {1}}, {250000, 0, {kNan}, {kNan}, {kNan}}, {500000, 2, {6}, {5}, {7}}}},
      {"a clock set back opens its own interval; fill adds none back, only forward",
       kSecond,
       true,
       {{5 * kSecond, {1}}, {3 * kSecond + 5, {2}}, {3 * kSecond + 6, {4}}, {5 * kSecond + 1, {8}}},
       {{5 * kSecond, 1, {1}, {1}, {1}}, {3 * kSecond, 2, {3}, {2}, {4}},
        {4 * kSecond, 0, {kNan}, {kNan}, {kNan}}, {5 * kSecond, 1, {8}, {8}, {8}}}},
      {"a value not known is left out of its column only",
       kSecond,
       false,
       {{1, {1, kNan}}, {2, {kNan, kNan}}, {3, {4, kNan}}},
       {{0, 3, {2.5, kNan}, {1, kNan}, {4, kNan}}}},
      {"before 1970 an interval still starts at or before its rows",
       kSecond,
       false,
       {{-1, {3}}, {0, {5}}},
       {{-kSecond, 1, {3}, {3}, {3}}, {0, 1, {5}, {5}, {5}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Collected sink;
    const size_t columns = c.rows.front().values.size();
    IntervalAverages averages(columns, {c.every, true, true, true, c.fill}, sink);
    for (const Row& row : c.rows) averages.add(row.time, row.values);
    averages.finish();
    ASSERT_EQ(sink.intervals.size(), c.expected.size());
    for (size_t i = 0; i < c.expected.size(); ++i) {
      const Interval& got = sink.intervals[i];
      const Interval& expected = c.expected[i];
      EXPECT_EQ(got.start, expected.start) << i;
      EXPECT_EQ(got.count, expected.count) << i;
      // A case gives the first column's figures, and the second's where it has one.
      expectSame({got.mean.begin(), got.mean.begin() + static_cast<long>(expected.mean.size())}, expected.mean, "mean");
      expectSame({got.min.begin(), got.min.begin() + static_cast<long>(expected.min.size())}, expected.min, "min");
      expectSame({got.max.begin(), got.max.begin() + static_cast<long>(expected.max.size())}, expected.max, "max");
    }
  }
}

TEST(IntervalAverages, IntervalsAreWholeSecondsOrMilliseconds) {
  const std::vector<std::pair<std::string, std::optional<int64_t>>> cases = {
      {"1s", kSecond}, {"250ms", 250000}, {"10s", 10 * kSecond}, {"0010ms", 10000}, {"0s", std::nullopt},
      {"0ms", std::nullopt}, {"1.5ms", std::nullopt}, {"abc", std::nullopt}, {"", std::nullopt}, {"s", std::nullopt},
      {"ms", std::nullopt}, {"1", std::nullopt}, {"1m", std::nullopt}, {"-1s", std::nullopt}, {"+1s", std::nullopt},
      {" 1s", std::nullopt}, {"1 s", std::nullopt}, {"1us", std::nullopt}, {"99999999999999999999s", std::nullopt},
      {"9223372036854775807ms", std::nullopt},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(intervalMicros(text), expected) << text;
}

}  // namespace
}  // namespace zolt
