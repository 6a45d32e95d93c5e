// Depth from the external pressure, which the logger measures absolute:
// sea pressure is the reading less the pressure at the surface, and depth
// follows from it by TEOS-10 in sea water, or by hydrostatics in fresh
// water.
#pragma once

#include <cstdint>

#include "zolt/error.h"

namespace zolt {

enum class Water : uint8_t {
  kSea,    // TEOS-10's depth from pressure, with a dynamic height of zero
  kFresh,  // pressure / (density x gravity), the water taken as incompressible
};

struct DepthParameters {
  Water water = Water::kSea;
  // Degrees north, from -90 to 90: gravity, and in sea water the weight of
  // the water above, depend on it. 45 where the deployment's is not known.
  double latitude = 45;
  // kg/m^3: pure water at 4 degC, the temperature of a lake's deep water,
  // where depth matters most; between 4 and 20 degC it is within 0.2% of it.
  double freshDensity = 999.97;
};

class DepthFromPressure {
 public:
  DepthFromPressure() : DepthFromPressure(DepthParameters{}) {}
  // Refuses a latitude outside -90 to 90 and a density that is not
  // positive (Errc::kInvalidArgument, with words that say which).
  static Result<DepthFromPressure> make(const DepthParameters& parameters);

  // Metres, positive down, of an absolute reading and the surface pressure
  // at its time, both in bar (1 bar = 10 dbar); negative above the surface.
  double depth(double bar, double surfaceBar) const;

 private:
  explicit DepthFromPressure(const DepthParameters& parameters);

  Water water_;
  double gravity_;          // at the surface, m/s^2
  double metresPerDbar_;    // in fresh water
};

}  // namespace zolt
