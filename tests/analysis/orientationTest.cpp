// Attitude from the quaternion and from gravity, for rotations of known
// heading, pitch and roll built by quaternion algebra (independently of the
// conversion's matrices), in each layout and earth frame, near and at the
// poles of pitch; and the one fixed point the bundled sample gives.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>

#include "analysis/orientation.h"

namespace {

using namespace zolt;
using Quaternion = std::array<double, 4>;

constexpr double kPi = std::numbers::pi;

Quaternion multiply(const Quaternion& a, const Quaternion& b) {
  return {a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3], a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2],
          a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1], a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0]};
}

// A turn of `degrees` about the axis (x, y, z).
Quaternion turn(double degrees, double x, double y, double z) {
  const double half = degrees * kPi / 360;
  const double norm = std::sqrt(x * x + y * y + z * z);
  return {std::cos(half), std::sin(half) * x / norm, std::sin(half) * y / norm, std::sin(half) * z / norm};
}

// Gravity's specific force (up) in the logger's axes, for the quaternion
// that takes the logger's axes into an earth frame whose up is `up`.
std::array<double, 3> gravityIn(const Quaternion& q, const std::array<double, 3>& up) {
  const Quaternion conjugate = {q[0], -q[1], -q[2], -q[3]};
  const Quaternion v = multiply(multiply(conjugate, {0, up[0] * 9.8, up[1] * 9.8, up[2] * 9.8}), q);
  return {v[1], v[2], v[3]};
}

double angleBetween(double a, double b) { return std::remainder(a - b, 360.0); }

struct RotationCase {
  double heading, pitch, roll;    // what was turned
  double wantHeading, wantRoll;   // what is read back (at the poles, roll 0)
  EarthFrame earth;
  QuaternionOrder order;
};

TEST(Orientation, ReadsBackKnownRotationsNearAndAtThePoles) {
  const RotationCase cases[] = {
      {0, 0, 0, 0, 0, EarthFrame::kEastNorthUp, QuaternionOrder::kScalarFirst},
      {30, 20, 10, 30, 10, EarthFrame::kEastNorthUp, QuaternionOrder::kScalarFirst},
      {200, -45, 170, 200, 170, EarthFrame::kEastNorthUp, QuaternionOrder::kScalarFirst},
      {350, 60, -120, 350, -120, EarthFrame::kNorthEastDown, QuaternionOrder::kScalarFirst},
      {123, 89.9, 40, 123, 40, EarthFrame::kNorthWestUp, QuaternionOrder::kScalarLast},
      {123, -89.9, -40, 123, -40, EarthFrame::kEastNorthUp, QuaternionOrder::kScalarLast},
      {10, 89.9999, 5, 10, 5, EarthFrame::kEastNorthUp, QuaternionOrder::kScalarFirst},
      // At the poles one turn about the vertical is left: heading minus
      // roll looking up, plus roll looking down.
      {100, 90, 30, 70, 0, EarthFrame::kEastNorthUp, QuaternionOrder::kScalarFirst},
      {100, -90, 30, 130, 0, EarthFrame::kNorthEastDown, QuaternionOrder::kScalarLast},
  };
  const double half = std::sqrt(0.5);
  for (const RotationCase& c : cases) {
    // Body (forward, right, down) in north, east, down...
    const Quaternion body = multiply(multiply(turn(c.heading, 0, 0, 1), turn(c.pitch, 0, 1, 0)), turn(c.roll, 1, 0, 0));
    // ...from the logger's axes (x forward, y left, z up: a half turn about
    // x), into the quaternion's earth frame.
    Quaternion earthFromNed = {1, 0, 0, 0};
    std::array<double, 3> up = {0, 0, -1};
    if (c.earth == EarthFrame::kEastNorthUp) earthFromNed = {0, half, half, 0}, up = {0, 0, 1};
    if (c.earth == EarthFrame::kNorthWestUp) earthFromNed = {0, 1, 0, 0}, up = {0, 0, 1};
    const Quaternion q = multiply(multiply(earthFromNed, body), {0, 1, 0, 0});
    const Quaternion laidOut = c.order == QuaternionOrder::kScalarFirst ? q : Quaternion{q[1], q[2], q[3], q[0]};

    OrientationParameters parameters;
    parameters.earth = c.earth;
    parameters.order = c.order;
    const Orientation orientation = Orientation::make(parameters).value();
    const Attitude fromQuaternion = orientation.fromQuaternion(laidOut);
    EXPECT_NEAR(fromQuaternion.pitch, c.pitch, 1e-6) << c.heading << " " << c.pitch << " " << c.roll;
    EXPECT_NEAR(angleBetween(fromQuaternion.roll, c.wantRoll), 0, 1e-6) << c.heading << " " << c.pitch << " " << c.roll;
    EXPECT_NEAR(angleBetween(fromQuaternion.heading, c.wantHeading), 0, 1e-6)
        << c.heading << " " << c.pitch << " " << c.roll;
    EXPECT_GE(fromQuaternion.heading, 0);
    EXPECT_LT(fromQuaternion.heading, 360);

    const Attitude fromGravity = orientation.fromGravity(gravityIn(q, up));
    EXPECT_NEAR(fromGravity.pitch, c.pitch, 1e-6) << c.heading << " " << c.pitch << " " << c.roll;
    EXPECT_NEAR(angleBetween(fromGravity.roll, c.wantRoll), 0, 1e-6) << c.heading << " " << c.pitch << " " << c.roll;
  }
}

// The bundled sample at rest: a unit quaternion, +1 g on z. Level, and the
// logger's x (taken as forward) lies along the frame's east.
TEST(Orientation, TheSampleAtRestIsLevel) {
  const Orientation orientation;
  const Attitude still = orientation.fromQuaternion({1, 0, 0, 0});
  EXPECT_NEAR(still.pitch, 0, 1e-12);
  EXPECT_NEAR(still.roll, 0, 1e-12);
  EXPECT_NEAR(still.heading, 90, 1e-12);
  const Attitude gravity = orientation.fromGravity({0, 0, 9.81});
  EXPECT_NEAR(gravity.pitch, 0, 1e-12);
  EXPECT_NEAR(gravity.roll, 0, 1e-12);
  EXPECT_TRUE(std::isnan(orientation.fromQuaternion({0, 0, 0, 0}).pitch));
}

}  // namespace
