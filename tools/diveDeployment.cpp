// A deployment at sea with known truth: dives of 1 to 200 m, shallow ones on
// either side of 2 m, a bout of long deep dives with half a minute at the
// surface between them (nearly all of it under water), a dive that the
// logger loses five minutes of, and one that the end of the recording
// cuts; between dives waves of half a metre, and the surface pressure
// drifts by up to 20 mbar a day. What is left of `seconds` after the
// planned dives is spent at the surface: ten days of it or more, for a
// finder that must invent nothing.
//
// Ten samples a second, a pressure reading a second, a system record every
// ten seconds. Depths are in sea water at latitude 45, by TEOS-10; the
// sensor adds noise of half a millibar, and its counts are 1.3 mbar apart.
//
// The truth: `path`.truth.csv, one row per dive: when the true depth went
// below 1 m and came back above it, its greatest depth, whether the
// recording holds it whole (and what cut it), the mean of the true dynamic
// acceleration's ODBA over it, and its time within 80% of its greatest
// depth; `path`.surface.csv, the surface pressure every minute.
#include "diveDeployment.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/teos10Depth.h"
#include "zolt/time.h"
#include "recordWriter.h"

namespace {

constexpr int kRate = 10;
constexpr uint32_t kStart = 1796083200;  // 2026-12-01 00:00:00 UTC
constexpr double kLatitude = 45;
constexpr double kGravity = 9.80665;
constexpr double kPi = std::numbers::pi;
constexpr double kDay = 86400;
constexpr double kSurfaceDepth = 1;  // where a dive's truth starts and ends, m

using Quaternion = std::array<double, 4>;  // w, x, y, z
using Vector = std::array<double, 3>;

// Deterministic noise: uniform in [-0.5, 0.5), and near-normal of unit
// variance from four of those.
class Noise {
 public:
  double uniform() {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) / 16777216.0 - 0.5;
  }
  double normal() { return (uniform() + uniform() + uniform() + uniform()) * std::sqrt(3.0); }

 private:
  uint32_t state_ = 20261201;
};

// A sine of ten days: 20 mbar a day at its steepest.
double surfaceBar(double t) { return 1.0132 + 0.02 * 10 / (2 * kPi) * std::sin(2 * kPi * t / (10 * kDay)); }

// How far waves put the logger under at the surface: up to half a metre.
double waves(double t) { return (0.8 + 0.2 * std::sin(2 * kPi * t / 1800)) * 0.25 * (1 - std::cos(2 * kPi * t / 7)); }

// Sea pressure at a depth: TEOS-10's depth from pressure, inverted.
double seaDbar(double depth) {
  double dbar = depth;
  for (int step = 0; step < 8; ++step) {
    const double slope = (zolt::seaDepth(dbar + 0.01, kLatitude) - zolt::seaDepth(dbar - 0.01, kLatitude)) / 0.02;
    dbar -= (zolt::seaDepth(dbar, kLatitude) - depth) / slope;
  }
  return dbar;
}

struct Dive {
  double start;    // leaves the surface, s
  double depth;    // m
  double descent;  // m/s
  double bottom;   // s
  double ascent;   // m/s
  double stroke;   // amplitude of the dynamic acceleration, m/s^2
  double reach() const { return start + depth / descent; }
  double leave() const { return reach() + bottom; }
  double end() const { return leave() + depth / ascent; }
  // Its depth, which touches `depth` where the bottom starts and ends and
  // rises gently between.
  double profile(double t) const {
    if (t <= start || t >= end()) return 0;
    if (t < reach()) return descent * (t - start);
    if (t > leave()) return depth - ascent * (t - leave());
    const double rise = std::min(0.3, 0.05 * depth);
    return depth - rise * 0.5 * (1 - std::cos(2 * kPi * (t - reach()) / bottom));
  }
  double pitch(double t) const {  // degrees, nose up
    const double steepest = std::min(60.0, 20 + depth / 4);
    const auto ramp = [](double x) { return std::clamp(x / 2, 0.0, 1.0); };
    if (t > start && t < reach()) return -steepest * ramp(t - start) * ramp(reach() - t);
    if (t > leave() && t < end()) return steepest * ramp(t - leave()) * ramp(end() - t);
    return 0;
  }
};

struct Plan {
  std::vector<Dive> dives;
  double gapStart = 0;  // the seconds the logger loses
  double gapEnd = 0;
  size_t gapDive = 0;
  double end = 0;  // of the planned part
};

// A dive to `depth` after `surface` seconds at the surface.
void after(Plan& plan, double surface, double depth, double descent, double bottom, double ascent) {
  const double start = plan.end + surface;
  plan.dives.push_back({start, depth, descent, bottom, ascent, 0.2 + 0.05 * std::sqrt(depth)});
  plan.end = plan.dives.back().end();
}

Plan planDives(Noise& noise) {
  Plan plan;
  plan.end = 1800;  // half an hour at the surface first
  struct Shape {
    double depth, descent, bottom, ascent, surface;
  };
  const Shape shallow[] = {{1.0, 0.3, 6, 0.3, 60},   {1.5, 0.3, 8, 0.3, 60},   {1.9, 0.3, 10, 0.3, 90},
                           {2.1, 0.3, 8, 0.3, 60},   {2.3, 0.3, 10, 0.3, 90},  {2.6, 0.4, 10, 0.4, 60},
                           {1.95, 0.3, 20, 0.3, 90}, {3, 0.5, 15, 0.5, 60},    {5, 0.6, 20, 0.6, 120},
                           {8, 0.8, 30, 0.8, 90},    {12, 1.0, 30, 1.0, 120}};
  const Shape deep[] = {{20, 1.0, 60, 1.0, 300},    {30, 1.2, 60, 1.2, 240},   {50, 1.4, 90, 1.2, 400},
                        {75, 1.5, 120, 1.5, 300},   {100, 1.5, 120, 1.5, 600}, {125, 1.6, 150, 1.5, 420},
                        {150, 1.8, 180, 1.6, 600},  {175, 1.8, 180, 1.8, 500}, {200, 2.0, 240, 1.8, 600}};
  for (int round = 0; round < 2; ++round) {
    for (const Shape& s : shallow) after(plan, s.surface, s.depth, s.descent, s.bottom, s.ascent);
    for (const Shape& s : deep) {
      const double pace = 1 + 0.4 * noise.uniform();
      after(plan, s.surface, s.depth, s.descent * pace, s.bottom, s.ascent * pace);
    }
  }
  // Nearly all of three and a half hours under water.
  for (int dive = 0; dive < 16; ++dive) after(plan, dive == 0 ? 600 : 30, 100 + 40 * noise.uniform(), 1.3, 600, 1.3);
  after(plan, 1200, 60, 1.2, 600, 1.2);
  plan.gapDive = plan.dives.size() - 1;
  plan.gapStart = std::floor(plan.dives.back().reach()) + 200;
  plan.gapEnd = plan.gapStart + 300;
  return plan;
}

Quaternion multiply(const Quaternion& a, const Quaternion& b) {
  return {a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3], a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2],
          a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1], a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0]};
}

Quaternion turn(double degrees, int axis) {
  Quaternion q = {std::cos(degrees * kPi / 360), 0, 0, 0};
  q[static_cast<size_t>(axis)] = std::sin(degrees * kPi / 360);
  return q;
}

// The vector in the logger's axes of `earth`, turned by the inverse of q.
Vector intoLogger(const Quaternion& q, const Vector& earth) {
  const Quaternion conjugate = {q[0], -q[1], -q[2], -q[3]};
  const Quaternion turned = multiply(multiply(conjugate, {0, earth[0], earth[1], earth[2]}), q);
  return {turned[1], turned[2], turned[3]};
}

// The logger's attitude as it records it: body forward, right, down from
// north, east, down by heading, pitch and roll, carried into the logger's
// axes (x forward, y left, z up) and the east, north, up frame.
Quaternion loggerAttitude(double heading, double pitch, double roll) {
  const double half = std::sqrt(0.5);
  const Quaternion enuFromNed = {0, half, half, 0};
  const Quaternion bodyFromLogger = {0, 1, 0, 0};
  Quaternion q = multiply(multiply(enuFromNed, multiply(multiply(turn(heading, 3), turn(pitch, 2)), turn(roll, 1))),
                          bodyFromLogger);
  if (q[0] < 0)
    for (double& part : q) part = -part;
  return q;
}

uint16_t counts(double volts) { return static_cast<uint16_t>(std::lround(volts / 2.5 * 65536.0)); }

void fileHeader(RecordWriter& out, uint32_t seconds) {
  out.u8(0), out.u8(0), out.u16(2), out.u16(300), out.u16(kRate);
  out.u32(kStart), out.u16(250), out.u32(seconds * 1000);
}

void indexRecord(RecordWriter& out, uint32_t seconds, double maxBar) {
  out.u8(4), out.u8(0), out.u32(kStart), out.u16(250), out.u32(seconds * 1000);
  out.u32(static_cast<uint32_t>(std::lround(maxBar * 65536.0)));
  const char name[16] = "d0001.dat";
  for (char c : name) out.u8(static_cast<uint8_t>(c));
}

void systemRecord(RecordWriter& out, uint32_t time, double bar, double depth) {
  out.u8(5), out.u8(0), out.u32(time);
  out.u16(counts(12.4 / 12.11)), out.u16(counts(12.0 / 12.11));
  out.u16(counts((bar + 8.75) / 35.0)), out.u16(counts((14.7 + 12.5) / 50.0));
  out.u16(counts((std::max(4.0, 16.0 - 0.1 * depth) + 50.0) / 100.0)), out.u16(counts((45.0 + 23.82) / 47.175));
}

std::string iso(double t) {
  return zolt::isoTime((int64_t{kStart} * 1000 + std::llround(t * 1000)) * 1000, 3);
}

struct Truth {
  double strokeSum = 0;  // of ODBA over the samples within the dive
  long samples = 0;
};

// Where the logger is at time t: its depth, pitch and stroke.
struct Moment {
  double depth;
  double pitch;
  double stroke;
  const Dive* dive;
};

Moment momentAt(const std::vector<Dive>& dives, double t) {
  const auto dive = std::upper_bound(dives.begin(), dives.end(), t,
                                     [](double time, const Dive& candidate) { return time < candidate.start; });
  if (dive != dives.begin()) {
    const Dive& d = *(dive - 1);
    if (t < d.end()) {
      const double profile = d.profile(t);
      return {profile + waves(t) * std::max(0.0, 1 - profile / kSurfaceDepth), d.pitch(t), d.stroke, &d};
    }
  }
  return {waves(t), 0, 0.05, nullptr};
}

bool writeTruth(const std::string& path, const Plan& plan, const std::vector<Truth>& truth, double recordingEnd) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  (void)std::fprintf(file, "number,start,end,max_depth_m,complete,cut,mean_odba,bottom_s\n");
  int number = 0;
  for (size_t i = 0; i < plan.dives.size(); ++i) {
    const Dive& d = plan.dives[i];
    if (d.depth < 2) continue;  // not a dive: it never passes 2 m
    const bool cutByEnd = d.end() > recordingEnd;
    const char* cut = i == plan.gapDive ? "gap" : cutByEnd ? "end" : "";
    const double end = cutByEnd ? recordingEnd : d.end() - kSurfaceDepth / d.ascent;
    const double odba = truth[i].samples > 0 ? truth[i].strokeSum / static_cast<double>(truth[i].samples) : 0;
    // The bottom rises by at most 5% of the depth, so it never leaves 80%.
    const double bottom = d.bottom + 0.2 * d.depth / d.descent + 0.2 * d.depth / d.ascent;
    (void)std::fprintf(file, "%d,%s,%s,%.3f,%d,%s,%.4f,%.3f\n", ++number,
                       iso(d.start + kSurfaceDepth / d.descent).c_str(), iso(end).c_str(), d.depth, *cut == '\0' ? 1 : 0,
                       cut, odba, bottom);
  }
  return std::fclose(file) == 0;
}

bool writeSurface(const std::string& path, uint32_t seconds) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  (void)std::fprintf(file, "time,surface_bar\n");
  for (uint32_t t = 0; t <= seconds; t += 60) (void)std::fprintf(file, "%s,%.7f\n", iso(t).c_str(), surfaceBar(t));
  return std::fclose(file) == 0;
}

}  // namespace

uint32_t leastDiveDeployment() {
  Noise noise;
  return static_cast<uint32_t>(std::ceil(planDives(noise).end)) + 1200 + 400;
}

int writeDiveDeployment(const char* path, uint32_t seconds) {
  Noise noise;
  Plan plan = planDives(noise);
  if (seconds < leastDiveDeployment()) return 2;
  // The last dive is under way when the recording ends.
  plan.dives.push_back({seconds - 400.0, 80, 1.0, 1e6, 1.0, 0.4});
  std::vector<Truth> truth(plan.dives.size());

  RecordWriter out;
  fileHeader(out, seconds);
  indexRecord(out, seconds, surfaceBar(0) + seaDbar(200.5) / 10);
  for (uint32_t second = 0; second < seconds; ++second) {
    if (second >= plan.gapStart && second < plan.gapEnd) continue;
    out.u8(1), out.u8(0), out.u32(kStart + second);
    for (int sample = 0; sample < kRate; ++sample) {
      const double t = second + sample / double{kRate};
      const Moment moment = momentAt(plan.dives, t);
      const double roll = moment.dive == nullptr ? 8 * std::sin(2 * kPi * t / 7) : 3 * std::sin(2 * kPi * t / 23);
      const Quaternion q = loggerAttitude(std::fmod(t * 360 / 5400, 360), moment.pitch, roll);
      const Vector gravity = intoLogger(q, {0, 0, kGravity});
      const double beat = std::sin(2 * kPi * 1.25 * t);
      const Vector dynamic = {moment.stroke * beat, 0, 0.5 * moment.stroke * std::sin(2 * kPi * 1.25 * t + 1)};
      if (moment.dive != nullptr) {
        const auto index = static_cast<size_t>(moment.dive - plan.dives.data());
        const Dive& d = *moment.dive;
        if (t >= d.start + kSurfaceDepth / d.descent && t <= d.end() - kSurfaceDepth / d.ascent) {
          truth[index].strokeSum += std::abs(dynamic[0]) + std::abs(dynamic[1]) + std::abs(dynamic[2]);
          ++truth[index].samples;
        }
      }
      out.u8(2);
      for (size_t axis = 0; axis < 3; ++axis) out.s24q16(gravity[axis] + dynamic[axis] + 0.02 * noise.normal());
      for (const double part : q) out.s16q14(part);
    }
    const double depth = momentAt(plan.dives, second).depth;
    const double bar = surfaceBar(second) + seaDbar(depth) / 10 + 0.0005 * noise.normal();
    out.u8(3), out.u8(0), out.u16(counts((bar + 8.75) / 35.0));
    if (second % 10 == 0) systemRecord(out, kStart + second, bar, depth);
  }
  const std::string base = path;
  if (!out.writeTo(path) || !writeTruth(base + ".truth.csv", plan, truth, seconds - 1.0) ||
      !writeSurface(base + ".surface.csv", seconds))
    return 1;
  return 0;
}
