// The surface pressure of a logger that is nearly always under water: two
// days of dives to 8 m (shallow enough to be counted as possibly at the
// surface) with a minute at the surface every twenty, waves of half a metre
// while it is there, a sensor that reads far below the surface for a
// quarter of a minute once, and a surface pressure that drifts by 20 mbar a
// day.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analysis/surfaceEstimator.h"

namespace {

using namespace zolt;

constexpr double kPi = std::numbers::pi;

double trueSurface(double t) { return 1.0132 + 0.02 * t / 86400; }

// Depth in metres, taken as a tenth of a bar to the metre.
double depthAt(double t) {
  const double intoCycle = std::fmod(t, 1200);
  if (intoCycle < 60) return 0.25 * (1 - std::cos(2 * kPi * t / 7));
  return intoCycle < 90 || intoCycle > 1170 ? 4 : 8;
}

TEST(SurfaceEstimator, FollowsTheDriftOfALoggerMostlyUnderWater) {
  SurfaceEstimator estimator;
  int surfaced = 0;
  double worst = 0;
  uint64_t handedOn = 0;
  const auto check = [&] {
    while (const auto reading = estimator.next()) {
      ++handedOn;
      ASSERT_FALSE(std::isnan(reading->surfaceBar)) << reading->time;
      if (depthAt(static_cast<double>(reading->time) / 1e6) < 0.5) {
        worst = std::max(worst, std::abs(reading->surfaceBar - trueSurface(static_cast<double>(reading->time) / 1e6)));
        ++surfaced;
      }
    }
  };
  constexpr int kSeconds = 2 * 86400;
  for (int t = 0; t < kSeconds; ++t) {
    const double bar = t >= 50000 && t < 50015 ? 0.4 : trueSurface(t) + depthAt(t) / 10;
    estimator.add(int64_t{t} * 1'000'000, bar);
    check();
  }
  estimator.finish();
  check();
  EXPECT_EQ(handedOn, uint64_t{kSeconds});
  EXPECT_GT(surfaced, 5000);
  EXPECT_LT(worst, 0.003);  // bar: 3 cm of water
}

// A fixed surface pressure waits for nothing; a cut and a step back in time
// are passed on with the next reading.
TEST(SurfaceEstimator, PassesCutsOnInOrder) {
  for (const bool fixed : {true, false}) {
    SurfaceParameters parameters;
    if (fixed) parameters.fixedBar = 1.01;
    SurfaceEstimator estimator = SurfaceEstimator::make(parameters).value();
    estimator.add(0, 1.02);
    if (fixed) {
      EXPECT_DOUBLE_EQ(estimator.next().value().surfaceBar, 1.01);
    }
    estimator.add(1'000'000, 1.02);
    estimator.cut();
    estimator.add(2'000'000, 1.02);
    estimator.add(1'500'000, 1.02);
    estimator.finish();
    std::vector<bool> cuts;
    while (const auto reading = estimator.next()) cuts.push_back(reading->cutBefore);
    const std::vector<bool> wanted = fixed ? std::vector<bool>{false, true, true} : std::vector<bool>{false, false, true, true};
    EXPECT_EQ(cuts, wanted) << fixed;
  }
}

}  // namespace
