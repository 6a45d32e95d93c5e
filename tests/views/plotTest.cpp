// Gathering the picture: columns that keep every extreme as they widen, and
// the accelerations of a run of records taken at once.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "views/accelerationRange.h"
#include "views/timeColumns.h"

namespace {

using namespace zolt;

constexpr int64_t kHour = int64_t{3600} * 1000000;
constexpr int64_t kStart = int64_t{1796083200} * 1000000;  // 2026-12-01

TEST(TimeColumns, OneSampleSpikeInAnHourLandsInItsColumn) {
  TimeColumns columns;
  const int64_t spike = kStart + kHour / 3 + 12345;
  for (int64_t t = kStart; t < kStart + kHour; t += 10000) columns.at(t).series[kSeriesAccX].add(1.0);
  columns.at(spike).series[kSeriesAccX].add(50.0);
  EXPECT_LE(columns.last() - columns.first() + 1, TimeColumns::kColumns);
  int spikes = 0;
  for (int64_t column = columns.first(); column <= columns.last(); ++column) {
    const Envelope& envelope = columns.column(column).series[kSeriesAccX];
    const bool holdsSpike = column == spike / columns.width();
    EXPECT_EQ(envelope.max, holdsSpike ? 50.0 : 1.0) << column;
    EXPECT_EQ(envelope.min, 1.0);
    spikes += holdsSpike ? 1 : 0;
  }
  EXPECT_EQ(spikes, 1);
}

TEST(TimeColumns, GapColumnsAreEmptyAndMarked) {
  TimeColumns columns;
  for (int64_t t = kStart; t < kStart + kHour; t += 1000000) {
    if (t >= kStart + kHour / 2 && t < kStart + kHour / 2 + 600000000) continue;  // ten minutes lost
    columns.at(t).series[kSeriesExtPress].add(1.0);
  }
  columns.addGap(kStart + kHour / 2, kStart + kHour / 2 + 600000000);
  int64_t inGap = 0;
  for (int64_t column = columns.first(); column <= columns.last(); ++column) {
    const PlotColumn& cell = columns.column(column);
    const int64_t start = column * columns.width();
    const bool within = start >= kStart + kHour / 2 && start + columns.width() <= kStart + kHour / 2 + 600000000;
    if (within) {
      EXPECT_EQ(cell.gapMicros, columns.width());
      EXPECT_EQ(cell.series[kSeriesExtPress].count, 0u);
      ++inGap;
    }
    if (cell.gapMicros == 0) {
      EXPECT_GT(cell.series[kSeriesExtPress].count, 0u) << column;
    }
  }
  EXPECT_GT(inGap, 100);
}

// Values in random order over a growing span, forwards and backwards: each
// final column holds exactly the extremes, count and sum of its values.
TEST(TimeColumns, WideningKeepsEveryExtremeExact) {
  std::mt19937_64 random(2026);
  std::vector<std::pair<int64_t, double>> values;
  TimeColumns columns;
  for (int i = 0; i < 200000; ++i) {
    const int64_t t = kStart + static_cast<int64_t>(random() % (uint64_t{30} * 24 * kHour)) - 5 * kHour;
    const double value = std::ldexp(static_cast<double>(random() % 4096), -static_cast<int>(random() % 8));
    values.emplace_back(t, value);
    columns.at(t).series[kSeriesTemp].add(value);
  }
  std::map<int64_t, Envelope> expected;
  for (const auto& [t, value] : values) expected[t / columns.width()].add(value);
  for (const auto& [column, envelope] : expected) {
    const Envelope& got = columns.column(column).series[kSeriesTemp];
    ASSERT_EQ(got.min, envelope.min) << column;
    ASSERT_EQ(got.max, envelope.max);
    ASSERT_EQ(got.count, envelope.count);
    ASSERT_EQ(got.sum, envelope.sum);  // the values add up exactly: few bits each
  }
  EXPECT_LE(columns.last() - columns.first() + 1, TimeColumns::kColumns);
}

// Random records with the extreme counts among them, over runs longer than
// one batch of the vector sums.
TEST(AccelerationRange, MatchesEveryRecordTakenOneByOne) {
  std::mt19937 random(18);
  for (const uint64_t count : {uint64_t{1}, uint64_t{127}, uint64_t{128}, uint64_t{129}, uint64_t{5000}}) {
    std::vector<uint8_t> records(count * 18);
    for (uint8_t& byte : records) byte = static_cast<uint8_t>(random());
    records[1] = 0x7F, records[2] = 0xFF, records[3] = 0xFF;  // the greatest count on x
    records[(count - 1) * 18 + 7] = 0x80, records[(count - 1) * 18 + 8] = 0, records[(count - 1) * 18 + 9] = 0;
    AccelerationRange expected;
    for (uint64_t record = 0; record < count; ++record) {
      for (size_t axis = 0; axis < 3; ++axis) {
        const uint8_t* field = records.data() + record * 18 + 1 + 3 * axis;
        const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(field[0] << 24 | field[1] << 16 | field[2] << 8)) >> 8;
        expected.least[axis] = std::min(expected.least[axis], value);
        expected.greatest[axis] = std::max(expected.greatest[axis], value);
        expected.sum[axis] += value;
      }
    }
    const AccelerationRange got = accelerationRange(records.data(), count);
    for (size_t axis = 0; axis < 3; ++axis) {
      EXPECT_EQ(got.least[axis], expected.least[axis]) << count << " records, axis " << axis;
      EXPECT_EQ(got.greatest[axis], expected.greatest[axis]);
      EXPECT_EQ(got.sum[axis], expected.sum[axis]);
    }
  }
}

}  // namespace
