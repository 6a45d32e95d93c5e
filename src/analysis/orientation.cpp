#include "analysis/orientation.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <string>

namespace zolt {

namespace {

using Matrix = std::array<std::array<double, 3>, 3>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDegrees = 180 / std::numbers::pi;
// cos(pitch) below this is pitch at plus or minus 90 degrees.
constexpr double kPole = 1e-6;

Error axesError(std::string_view text) {
  std::string words = "the axes must be forward, right and down as three of x, y and z, each with a sign where it "
                      "points the other way, making a right-handed frame (as x,-y,-z), not \"";
  words.append(text).append("\"");
  return {Errc::kInvalidArgument, EINVAL, std::move(words)};
}

// +1 for a right-handed frame, -1 for a mirrored one, 0 when an axis is
// given twice or not at all.
int handedness(const BodyAxes& axes) {
  int used[3] = {};
  int parity = 1;
  int order[3] = {};
  for (size_t i = 0; i < 3; ++i) {
    const int axis = std::abs(axes.forwardRightDown[i]);
    if (axis < 1 || axis > 3 || used[axis - 1]++ != 0) return 0;
    order[i] = axis;
    if (axes.forwardRightDown[i] < 0) parity = -parity;
  }
  for (int i = 0; i < 3; ++i)
    for (int j = i + 1; j < 3; ++j)
      if (order[i] > order[j]) parity = -parity;
  return parity;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
  Matrix product{};
  for (size_t i = 0; i < 3; ++i)
    for (size_t j = 0; j < 3; ++j)
      for (size_t k = 0; k < 3; ++k) product[i][j] += a[i][k] * b[k][j];
  return product;
}

Matrix earthToNed(EarthFrame earth) {
  switch (earth) {
    case EarthFrame::kNorthEastDown: return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    case EarthFrame::kNorthWestUp: return {{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};
    case EarthFrame::kEastNorthUp: break;
  }
  return {{{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}};
}

// The rotation of a unit quaternion w + xi + yj + zk.
Matrix rotation(double w, double x, double y, double z) {
  return {{{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
           {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
           {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}}};
}

// From 0 up to but not including 360: a turn just short of north, which
// the addition would round to 360, is north.
double heading(double north, double east) {
  const double degrees = std::atan2(east, north) * kDegrees;
  if (degrees >= 0) return degrees;
  return degrees + 360 < 360 ? degrees + 360 : 0;
}

}  // namespace

Result<BodyAxes> parseBodyAxes(std::string_view text) {
  BodyAxes axes;
  std::string_view rest = text;
  for (size_t i = 0; i < 3; ++i) {
    const size_t comma = rest.find(',');
    std::string_view word = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    if ((comma == std::string_view::npos) != (i == 2)) return axesError(text);
    int sign = 1;
    if (!word.empty() && (word.front() == '-' || word.front() == '+')) {
      sign = word.front() == '-' ? -1 : 1;
      word.remove_prefix(1);
    }
    if (word.size() != 1 || word[0] < 'x' || word[0] > 'z') return axesError(text);
    axes.forwardRightDown[i] = sign * (word[0] - 'x' + 1);
  }
  if (handedness(axes) != 1) return axesError(text);
  return axes;
}

Result<Orientation> Orientation::make(const OrientationParameters& parameters) {
  if (handedness(parameters.axes) != 1) {
    std::string text;
    for (const int axis : parameters.axes.forwardRightDown) {
      if (!text.empty()) text += ',';
      text += std::to_string(axis);
    }
    return axesError(text);
  }
  return Orientation(parameters);
}

Orientation::Orientation(const OrientationParameters& parameters)
    : earthToNed_(earthToNed(parameters.earth)), order_(parameters.order) {
  for (size_t body = 0; body < 3; ++body) {
    const int axis = parameters.axes.forwardRightDown[body];
    bodyToLogger_[static_cast<size_t>(std::abs(axis) - 1)][body] = axis < 0 ? -1 : 1;
  }
}

std::array<double, 3> Orientation::inBody(const std::array<double, 3>& acceleration) const {
  std::array<double, 3> body{};
  for (size_t b = 0; b < 3; ++b)
    for (size_t l = 0; l < 3; ++l) body[b] += bodyToLogger_[l][b] * acceleration[l];
  return body;
}

// At rest the specific force is -g along the body's down when level:
// (g sin pitch, -g cos pitch sin roll, -g cos pitch cos roll).
Attitude Orientation::fromGravity(const std::array<double, 3>& acceleration) const {
  const std::array<double, 3> f = inBody(acceleration);
  const double across = std::sqrt(f[1] * f[1] + f[2] * f[2]);
  const double size = std::sqrt(f[0] * f[0] + across * across);
  if (size == 0) return {kNaN, kNaN, kNaN};
  const double pitch = std::atan2(f[0], across) * kDegrees;
  const double roll = across < kPole * size ? 0 : std::atan2(-f[1], -f[2]) * kDegrees;
  return {pitch, roll, kNaN};
}

// The body's axes in the north, east, down frame are the columns of
// R = Rz(heading) Ry(pitch) Rx(roll).
Attitude Orientation::fromQuaternion(const std::array<double, 4>& quaternion) const {
  const bool first = order_ == QuaternionOrder::kScalarFirst;
  const double w = quaternion[first ? 0 : 3];
  const double x = quaternion[first ? 1 : 0];
  const double y = quaternion[first ? 2 : 1];
  const double z = quaternion[first ? 3 : 2];
  const double norm = std::sqrt(w * w + x * x + y * y + z * z);
  if (!(norm > 0)) return {kNaN, kNaN, kNaN};
  const Matrix r =
      multiply(multiply(earthToNed_, rotation(w / norm, x / norm, y / norm, z / norm)), bodyToLogger_);
  const double level = std::sqrt(r[0][0] * r[0][0] + r[1][0] * r[1][0]);
  const double pitch = std::atan2(-r[2][0], level) * kDegrees;
  if (level < kPole) return {pitch, 0, heading(r[1][1], -r[0][1])};
  return {pitch, std::atan2(r[2][1], r[2][2]) * kDegrees, heading(r[0][0], r[1][0])};
}

}  // namespace zolt
