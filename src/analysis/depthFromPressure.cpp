#include "analysis/depthFromPressure.h"

#include <cmath>

#include "analysis/parameterError.h"
#include "analysis/teos10Depth.h"

namespace zolt {

namespace {
constexpr double kDbarPerBar = 10;
constexpr double kPascalsPerDbar = 1e4;
}  // namespace

Result<DepthFromPressure> DepthFromPressure::make(const DepthParameters& parameters) {
  if (!(std::abs(parameters.latitude) <= 90)) return parameterError("latitude", "from -90 to 90 degrees", parameters.latitude);
  if (!(parameters.freshDensity > 0) || !std::isfinite(parameters.freshDensity))
    return parameterError("density of fresh water", "a positive number of kg/m^3", parameters.freshDensity);
  return DepthFromPressure(parameters);
}

DepthFromPressure::DepthFromPressure(const DepthParameters& parameters)
    : water_(parameters.water),
      gravity_(surfaceGravity(parameters.latitude)),
      metresPerDbar_(kPascalsPerDbar / (parameters.freshDensity * gravity_)) {}

double DepthFromPressure::depth(double bar, double surfaceBar) const {
  const double dbar = (bar - surfaceBar) * kDbarPerBar;
  return water_ == Water::kSea ? seaDepthUnderGravity(dbar, gravity_) : dbar * metresPerDbar_;
}

}  // namespace zolt
