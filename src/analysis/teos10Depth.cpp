#include "analysis/teos10Depth.h"

#include <array>
#include <cmath>
#include <numbers>

namespace zolt {

namespace {

// The 75-term polynomial for specific volume (Roquet, Madec, McDougall and
// Barker, 2015) is a sum of v_ijk xs^i ys^j z^k, with xs the square root of
// a scaled Absolute Salinity, ys = CT / 40 degC and z = p / 10^4 dbar. At
// CT = 0 only the terms with j = 0 remain; these are their published
// coefficients, v_i0k at [k][i], m^3/kg.
constexpr int kPowers = 7;
constexpr double kVolume[kPowers][kPowers] = {
    {1.0769995862e-3, -3.1038981976e-4, 6.6928067038e-4, -8.5047933937e-4, 5.8086069943e-4, -2.1092370507e-4,
     3.1932457305e-5},
    {-6.0799143809e-5, 2.4262468747e-5, -3.4792460974e-5, 3.7470777305e-5, -1.7322218612e-5, 3.0927427253e-6},
    {9.9856169219e-6, -5.8484432984e-7, -4.8122251597e-6, 4.9263106998e-6, -1.7811974727e-6},
    {-1.1309361437e-6, 3.6310188515e-7, 1.6746303780e-8},
    {1.0531153080e-7, -1.1147125423e-7},
    {-1.2647261286e-8},
    {1.9613503930e-9},
};
constexpr double kSalinityScale = 0.0248826675584615;   // kg/g: 1 / (40 (35.16504 / 35))
constexpr double kSalinityOffset = 5.971840214030754e-1;  // 24 g/kg, scaled
constexpr double kStandardSalinity = 35.16504;           // g/kg
constexpr double kPressureScale = 1e4;                   // dbar
constexpr double kPascalsPerDbar = 1e4;
// g(z) = g(latitude) (1 - gamma z): the vertical gradient of gravity, 1/m.
constexpr double kGravityGradient = 2.26e-7;

// Specific volume at (SSO, 0 degC) as a polynomial in z, integrated term by
// term: the coefficient of z^(k+1) is the sum over i of v_i0k xs^i / (k+1).
std::array<double, kPowers> enthalpyCoefficients() {
  const double xs = std::sqrt(kSalinityScale * kStandardSalinity + kSalinityOffset);
  std::array<double, kPowers> coefficients{};
  for (int k = 0; k < kPowers; ++k) {
    double sum = 0;
    double power = 1;
    for (int i = 0; i + k < kPowers; ++i) {
      sum += kVolume[k][i] * power;
      power *= xs;
    }
    coefficients[static_cast<size_t>(k)] = sum / (k + 1);
  }
  return coefficients;
}

}  // namespace

double surfaceGravity(double latitude) {
  const double sine = std::sin(latitude * std::numbers::pi / 180);
  const double sin2 = sine * sine;
  return 9.780327 * (1.0 + (5.2792e-3 + 2.32e-5 * sin2) * sin2);
}

double standardOceanEnthalpy(double dbar) {
  static const std::array<double, kPowers> coefficients = enthalpyCoefficients();
  const double z = dbar / kPressureScale;
  double sum = 0;
  for (size_t k = kPowers; k-- > 0;) sum = (sum + coefficients[k]) * z;
  return sum * kPascalsPerDbar * kPressureScale;
}

// Geopotential g (z - gamma z^2 / 2) and enthalpy sum to zero: a quadratic
// in z, solved in the form that keeps its precision near the surface.
double seaDepthUnderGravity(double dbar, double gravity) {
  const double b = gravity;
  const double a = -0.5 * kGravityGradient * b;
  const double c = standardOceanEnthalpy(dbar);
  const double height = -2.0 * c / (b + std::sqrt(b * b - 4.0 * a * c));
  return -height;
}

double seaDepth(double dbar, double latitude) { return seaDepthUnderGravity(dbar, surfaceGravity(latitude)); }

}  // namespace zolt
