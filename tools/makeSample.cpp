// Writes a realistic recording: a file header, an index record, then for each
// second a marker, 100 inertial samples and a pressure reading, with a system
// record every ten seconds. The same arguments always give the same bytes.
//
//   makeSample <output file> [seconds] [deployment | dives]
//
// "deployment" tells a story worth plotting: dives to twenty bar, an hour of
// rough water, five minutes the logger lost, a one-reading pressure spike,
// a one-sample knock and a second short of samples.
//
// "dives" writes a deployment at sea whose dives and surface pressure it
// knows, and writes that truth beside it (tools/diveDeployment.cpp).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string_view>
#include <vector>

#include "diveDeployment.h"
#include "recordWriter.h"

namespace {

constexpr int kRate = 100;                   // samples a second
constexpr uint32_t kStart = 1796083200;      // 2026-12-01 00:00:00 UTC
constexpr double kGravity = 9.80665;         // m/s^2, on the z axis

bool deployment = false;

// Small deterministic noise, so the sample never changes between builds.
double noise() {
  static uint32_t state = 12345;
  state = state * 1664525u + 1013904223u;
  return (state >> 8) / 16777216.0 - 0.5;
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


// Rough water shakes the logger for an hour, and something knocks it once.
double shaking(double t) {
  if (!deployment) return 0;
  if (t >= 8000.37 && t < 8000.38) return 40;
  return t >= 1800 && t < 5400 ? 2.5 * std::sin(2 * std::numbers::pi * 0.7 * t) : 0;
}

// A slow roll about the x axis; the quaternion stays a unit one.
void dataRecord(RecordWriter& out, double t) {
  const double angle = 0.3 * std::sin(2 * std::numbers::pi * t / 20.0);
  out.u8(2);
  out.s24q16(0.05 * noise() + shaking(t));
  out.s24q16(kGravity * std::sin(angle) + 0.05 * noise());
  out.s24q16(kGravity * std::cos(angle) + 0.05 * noise());
  out.s16q14(std::cos(angle / 2)), out.s16q14(std::sin(angle / 2)), out.s16q14(0.0), out.s16q14(0.0);
}

// After the first minute, slow changes that stay within a sensor's range
// however long the recording: a tide, a day's warmth, a battery that runs
// down ever more slowly. The first minute is the bundled sample's.
constexpr double kMinute = 60;
constexpr double kDay = 86400;
constexpr double kTide = 44712;  // 12.42 hours
constexpr double kMonth = 30 * kDay;
constexpr double kDeploymentLength = 10800;

double runningDown(double t, double from, double drop) { return from - drop * (1 - std::exp(-t / kMonth)); }

double pressureBar(double t) {
  if (!deployment) {
    const double trend = t <= kMinute ? 0.02 * t / 60.0 : 0.02 + 0.25 * (1 - std::cos(2 * std::numbers::pi * (t - kMinute) / kTide));
    return 1.013 + trend + 0.0005 * noise();
  }
  const double dive = 10.0 * (1 - std::cos(2 * std::numbers::pi * t / 3600.0));
  const double spike = t == 7000 ? 15.0 : 0.0;
  return 1.013 + dive + spike + 0.005 * noise();
}

void pressureRecord(RecordWriter& out, double bar) {
  out.u8(3), out.u8(0), out.u16(counts((bar + 8.75) / 35.0));
}

// Deployed, the water is colder the deeper the logger goes, and the
// battery runs down slowly.
void systemRecord(RecordWriter& out, uint32_t time, double t) {
  const double bar = pressureBar(t);
  double battery = 0;
  double temperature = 0;
  if (deployment) {
    battery = t <= kDeploymentLength ? 12.6 - 0.00005 * t : runningDown(t - kDeploymentLength, 12.06, 1.0);
    temperature = 18.0 - 0.4 * (bar - 1.0);
  } else {
    battery = t <= kMinute ? 12.6 - 0.001 * t : runningDown(t - kMinute, 12.54, 1.5);
    temperature = t <= kMinute ? 21.5 + 0.02 * t : 22.7 + 1.5 * std::sin(2 * std::numbers::pi * (t - kMinute) / kDay);
  }
  out.u8(5), out.u8(0), out.u32(time);
  out.u16(counts(battery / 12.11)), out.u16(counts(12.0 / 12.11));
  out.u16(counts((bar + 8.75) / 35.0)), out.u16(counts((14.7 + 12.5) / 50.0));
  out.u16(counts((temperature + 50.0) / 100.0)), out.u16(counts((45.0 + 23.82) / 47.175));
}

}  // namespace

int main(int argc, char** argv) {
  const bool known = argc == 4 && (std::string_view(argv[3]) == "deployment" || std::string_view(argv[3]) == "dives");
  if (argc < 2 || argc > 4 || (argc == 4 && !known)) {
    (void)std::fprintf(stderr, "usage: makeSample <output file> [seconds] [deployment | dives]\n");
    return 2;
  }
  const uint32_t seconds = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 60;
  if (argc == 4 && std::string_view(argv[3]) == "dives") {
    const int status = writeDiveDeployment(argv[1], seconds);
    if (status == 2) (void)std::fprintf(stderr, "makeSample: dives needs at least %u seconds\n", leastDiveDeployment());
    if (status == 1) std::perror(argv[1]);
    return status;
  }
  deployment = argc == 4;
  RecordWriter out;
  fileHeader(out, seconds);
  indexRecord(out, seconds, pressureBar(seconds) + 0.001);
  for (uint32_t second = 0; second < seconds; ++second) {
    if (deployment && second >= 6000 && second < 6300) continue;  // the logger lost five minutes
    out.u8(1), out.u8(0), out.u32(kStart + second);
    const int samples = deployment && second == 9000 ? kRate - 2 : kRate;
    for (int sample = 0; sample < samples; ++sample) dataRecord(out, second + sample / double{kRate});
    pressureRecord(out, pressureBar(second));
    if (second % 10 == 0) systemRecord(out, kStart + second, second);
  }
  if (!out.writeTo(argv[1])) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
