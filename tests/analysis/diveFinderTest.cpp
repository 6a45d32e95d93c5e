// Dives found in a profile of straight stretches read once a second, where
// every crossing the finder interpolates is known exactly: a dive of known
// phases, one after it, an excursion short of the dive depth, a one-reading
// spike, a dive that comes back up between the thresholds, and dives cut
// by the input's end and by a gap. The acceleration comes ahead of the
// depth, behind it, or not at all, and the rows must not change.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/diveFinder.h"

namespace {

using namespace zolt;

struct Vertex {
  double time;  // s
  double depth;
};

const std::vector<Vertex> kProfile = {
    {0, 0},      {10.5, 0},   {30.5, 20},   {60.5, 20},  {80.5, 0},    // the dive of known phases
    {120.25, 0}, {125.25, 5}, {140.25, 5},  {145.25, 0},               // 1 m/s, 41.75 s after it
    {150, 0},    {155, 1.9},  {165, 1.9},   {170, 0},                  // short of 2 m
    {179, 0},    {180, 3},    {181, 0},                                // a spike
    {200, 0},    {210, 10},   {220, 1.5},   {230, 5},    {240, 0},     // back to 1.5 m and down again
    {400, 0},    {410, 10},   {430, 10},    {440, 0},                  // a gap at 420
    {500, 0},    {510, 10},   {520, 10},                               // the end at 520
};
constexpr double kGapAt = 420;
constexpr double kEnd = 520;

double depthAt(double t) {
  for (size_t i = 1; i < kProfile.size(); ++i) {
    const Vertex& a = kProfile[i - 1];
    const Vertex& b = kProfile[i];
    if (t <= b.time) return a.depth + (b.depth - a.depth) * (t - a.time) / (b.time - a.time);
  }
  return kProfile.back().depth;
}

int64_t micros(double seconds) { return std::llround(seconds * 1e6); }

// Ten samples a second: 0.5 under water, 3 at the surface.
void addDbaUntil(DiveFinder& finder, int& tenth, double until) {
  for (; tenth <= std::lround(until * 10); ++tenth) {
    const double t = tenth / 10.0;
    finder.addDba(micros(t), depthAt(t) >= 1 ? 0.5 : 3.0);
  }
}

enum class Feed { kAhead, kBehind, kNone };

std::vector<Dive> findDives(Feed feed) {
  DiveFinder finder;
  int dba = 0;
  if (feed == Feed::kAhead) addDbaUntil(finder, dba, kEnd);
  for (int t = 0; t <= kEnd; ++t) {
    if (t == kGapAt) finder.cut();
    finder.addDepth(micros(t), depthAt(t));
    if (feed == Feed::kBehind) addDbaUntil(finder, dba, t - 1.0);
  }
  if (feed == Feed::kBehind) addDbaUntil(finder, dba, kEnd);
  finder.finish();
  std::vector<Dive> dives;
  while (const auto dive = finder.next()) dives.push_back(*dive);
  return dives;
}

struct Wanted {
  double start, end, maxDepth, surfaceInterval;
  bool cutAtStart, cutAtEnd;
};

TEST(DiveFinder, FindsTheDivesOfAKnownProfile) {
  const double nan = std::nan("");
  const Wanted wanted[] = {
      {11.5, 79.5, 20, 41.75, false, false}, {121.25, 144.25, 5, 201 - 144.25, false, false},
      {201, 238, 10, 401 - 238, false, false}, {401, 419, 10, nan, false, true},
      {420, 439, 10, 501 - 439, true, false},  {501, 520, 10, nan, false, true},
  };
  for (const Feed feed : {Feed::kAhead, Feed::kBehind, Feed::kNone}) {
    const std::vector<Dive> dives = findDives(feed);
    ASSERT_EQ(dives.size(), std::size(wanted)) << static_cast<int>(feed);
    for (size_t i = 0; i < dives.size(); ++i) {
      const Dive& dive = dives[i];
      const Wanted& w = wanted[i];
      SCOPED_TRACE(testing::Message() << "feed " << static_cast<int>(feed) << ", dive " << i + 1);
      EXPECT_EQ(dive.number, i + 1);
      EXPECT_EQ(dive.start, micros(w.start));
      EXPECT_EQ(dive.end, micros(w.end));
      EXPECT_NEAR(dive.duration, w.end - w.start, 1e-6);
      EXPECT_DOUBLE_EQ(dive.maxDepth, w.maxDepth);
      EXPECT_EQ(dive.cutAtStart, w.cutAtStart);
      EXPECT_EQ(dive.cutAtEnd, w.cutAtEnd);
      EXPECT_EQ(std::isnan(dive.surfaceInterval), std::isnan(w.surfaceInterval));
      if (!std::isnan(w.surfaceInterval)) {
        EXPECT_NEAR(dive.surfaceInterval, w.surfaceInterval, 1e-6);
      }
      EXPECT_EQ(std::isnan(dive.descentTime), w.cutAtStart);
      EXPECT_EQ(std::isnan(dive.ascentTime), w.cutAtEnd);
      if (feed == Feed::kNone) {
        EXPECT_TRUE(std::isnan(dive.meanDba));
      } else {
        EXPECT_NEAR(dive.meanDba, 0.5, 1e-12);
      }
    }
    // The bottom, 80% of 20 m, from 26.5 s to 64.5 s; descents and ascents
    // of 15 m at 1 m/s.
    const Dive& first = dives[0];
    EXPECT_EQ(first.maxDepthTime, micros(31));
    EXPECT_NEAR(first.bottomTime, 38, 1e-6);
    EXPECT_NEAR(first.descentTime, 15, 1e-6);
    EXPECT_NEAR(first.descentRate, 1, 1e-6);
    EXPECT_NEAR(first.ascentTime, 15, 1e-6);
    EXPECT_NEAR(first.ascentRate, 1, 1e-6);
  }
}

}  // namespace
