// The logger's attitude: pitch and roll from the direction of gravity in
// its accelerations, and pitch, roll and heading from its quaternion.
//
// Angles are those of the body frame forward, right, down turned from a
// north, east, down earth frame by heading, then pitch, then roll, in
// degrees: pitch up positive, roll right side down positive, heading
// clockwise from north, 0 to 360. The accelerations are a specific force,
// as an accelerometer measures it: at rest, the axis that points up reads
// +1 g. The records say neither how the logger's axes lie in the body nor
// how the quaternion is laid out: both are parameters.
//
// Pitch at plus or minus 90 degrees leaves roll and heading one turn about
// the vertical: within a millionth of a radian of it, roll is 0 and the
// heading takes the whole turn.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "zolt/error.h"

namespace zolt {

// Each body axis as a logger axis and a sign: 1, 2, 3 for x, y, z, negative
// for the opposite direction. The default is how the bundled sample lies at
// rest, with +1 g on z: z up, x taken as forward, so right is -y.
struct BodyAxes {
  std::array<int, 3> forwardRightDown = {1, -2, -3};
};

enum class QuaternionOrder : uint8_t {
  kScalarFirst,  // w, x, y, z
  kScalarLast,   // x, y, z, w
};

// The frame that the quaternion turns the logger's axes into: it takes a
// vector in the logger's axes to the same vector in this frame.
enum class EarthFrame : uint8_t {
  kEastNorthUp,
  kNorthEastDown,
  kNorthWestUp,
};

struct OrientationParameters {
  BodyAxes axes;
  QuaternionOrder order = QuaternionOrder::kScalarFirst;
  EarthFrame earth = EarthFrame::kEastNorthUp;
};

struct Attitude {
  double pitch;
  double roll;
  double heading;  // NaN where it cannot be known
};

// "x,-y,-z": forward, right and down, each a logger axis with an optional
// sign. Refused unless the three make a right-handed frame.
Result<BodyAxes> parseBodyAxes(std::string_view text);

class Orientation {
 public:
  Orientation() : Orientation(OrientationParameters{}) {}
  // Refuses axes that are not a right-handed frame.
  static Result<Orientation> make(const OrientationParameters& parameters);

  // Pitch and roll of gravity's direction in accelerations along the
  // logger's axes; no heading. NaN for a zero vector.
  Attitude fromGravity(const std::array<double, 3>& acceleration) const;
  // Pitch, roll and heading; NaN for a zero quaternion.
  Attitude fromQuaternion(const std::array<double, 4>& quaternion) const;
  // Accelerations along the logger's axes as forward, right, down.
  std::array<double, 3> inBody(const std::array<double, 3>& acceleration) const;

 private:
  explicit Orientation(const OrientationParameters& parameters);

  using Matrix = std::array<std::array<double, 3>, 3>;
  Matrix bodyToLogger_{};  // columns: the body axes in the logger's
  Matrix earthToNed_{};
  QuaternionOrder order_;
};

}  // namespace zolt
