// Parameters an analysis cannot work with are refused with words that say
// which and why, never taken.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "analysis/activityFilter.h"
#include "analysis/depthFromPressure.h"
#include "analysis/diveFinder.h"
#include "analysis/orientation.h"
#include "analysis/surfaceEstimator.h"

namespace {

using namespace zolt;

template <typename Made>
Error errorOf(const Result<Made>& result) {
  return result.error();
}

struct Refusal {
  const char* words;  // in the error's detail
  std::function<Error()> make;
};

TEST(AnalysisParameters, AreRefusedWithAClearError) {
  const double nan = std::nan("");
  const auto depth = [](double latitude, double density) {
    DepthParameters p;
    p.latitude = latitude;
    p.freshDensity = density;
    return errorOf(DepthFromPressure::make(p));
  };
  const auto surface = [](double window, double quantile, double band, std::optional<double> fixed) {
    SurfaceParameters p;
    p.window = window;
    p.quantile = quantile;
    p.band = band;
    p.fixedBar = fixed;
    return errorOf(SurfaceEstimator::make(p));
  };
  const auto dives = [](double diveDepth, double surfaceDepth, double least, double bottom) {
    DiveParameters p;
    p.diveDepth = diveDepth;
    p.surfaceDepth = surfaceDepth;
    p.minimumDuration = least;
    p.bottomFraction = bottom;
    return errorOf(DiveFinder::make(p));
  };
  const auto activity = [](double window, BodyAxes axes) {
    ActivityParameters p;
    p.window = window;
    p.orientation.axes = axes;
    return errorOf(ActivityFilter::make(p));
  };
  const Refusal refusals[] = {
      {"latitude must be from -90 to 90 degrees, not 91", [&] { return depth(91, 999.97); }},
      {"latitude must be from -90 to 90 degrees, not -90.5", [&] { return depth(-90.5, 999.97); }},
      {"latitude must be from -90 to 90 degrees, not nan", [&] { return depth(nan, 999.97); }},
      {"density of fresh water must be a positive", [&] { return depth(45, 0); }},
      {"window of the surface pressure must be more than 0", [&] { return surface(0, 0.1, 0.1, {}); }},
      {"quantile of the surface pressure must be from 0 to 1, not 1.5", [&] { return surface(3600, 1.5, 0.1, {}); }},
      {"band near the surface must be more than 0", [&] { return surface(3600, 0.1, -0.1, {}); }},
      {"surface pressure must be a number", [&] { return surface(3600, 0.1, 0.1, nan); }},
      {"dive depth must be a positive number of metres, not -1", [&] { return dives(-1, 1, 5, 0.8); }},
      {"dive depth must be a positive number of metres, not 0", [&] { return dives(0, 0, 5, 0.8); }},
      {"surface depth must be at least 0 m and less than the dive depth, not 2", [&] { return dives(2, 2, 5, 0.8); }},
      {"least duration of a dive must be", [&] { return dives(2, 1, -1, 0.8); }},
      {"fraction of the greatest depth at the bottom must be", [&] { return dives(2, 1, 5, 0); }},
      {"window of the static acceleration must be more than 0", [&] { return activity(0, {}); }},
      {"axes must be", [&] { return activity(2, {{1, 2, -3}}); }},
      {"axes must be", [&] { return activity(2, {{1, 1, 3}}); }},
      {"axes must be", [] { return errorOf(parseBodyAxes("x,y,-z")); }},
      {"axes must be", [] { return errorOf(parseBodyAxes("x,-y")); }},
      {"axes must be", [] { return errorOf(parseBodyAxes("x,-y,-z,")); }},
      {"axes must be", [] { return errorOf(parseBodyAxes("x,-w,z")); }},
  };
  for (const Refusal& refusal : refusals) {
    const Error error = refusal.make();
    EXPECT_EQ(error.code, Errc::kInvalidArgument) << refusal.words;
    EXPECT_NE(error.detail.find(refusal.words), std::string::npos) << error.detail;
  }
  // What the refusals are measured against.
  EXPECT_TRUE(DepthFromPressure::make({Water::kSea, -90, 999.97}).ok());
  EXPECT_TRUE(DiveFinder::make({2, 0, 0, 1}).ok());
  const Result<BodyAxes> axes = parseBodyAxes("y,x,-z");
  ASSERT_TRUE(axes.ok());
  EXPECT_EQ(axes.value().forwardRightDown, (std::array<int, 3>{2, 1, -3}));
}

}  // namespace
