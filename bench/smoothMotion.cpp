// A recording of a logger lying nearly still, which salvage was not tuned
// to: accelerations a slow swell of 0.05 g around 0, 0 and 1 g with 0.002 g
// of noise and a rare knock, a quaternion that turns slowly, a pressure
// reading every 25 samples and a system record every 10 s, at 100 samples a
// second. One g is 65536 counts, so most acceleration bytes are 0x00 or
// 0xFF: a stream read out of step looks like records for a long while.
//
//   smoothMotion <out.dat> [seconds] [seed]
//
// The same seed and length give the same bytes: the random numbers are
// drawn from the raw output of mt19937_64, whose sequence the language
// fixes, and not through the library's distributions, which it does not.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr uint16_t kRate = 100;
constexpr int kSamplesPerPressure = 25;
constexpr int kSecondsPerSystem = 10;
constexpr int32_t kStart = 1796083200;  // 2026-12-01 00:00:00 UTC
constexpr double kCountsPerG = 65536;
constexpr double kQuatCounts = 16384;

class Bytes {
 public:
  void byte(unsigned value) { out_.push_back(static_cast<uint8_t>(value)); }
  void word(unsigned value) {
    byte(value >> 8 & 0xFF);
    byte(value & 0xFF);
  }
  void triple(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    byte(bits >> 16 & 0xFF);
    byte(bits >> 8 & 0xFF);
    byte(bits & 0xFF);
  }
  void longWord(uint32_t value) {
    word(value >> 16);
    word(value & 0xFFFF);
  }
  const std::vector<uint8_t>& all() const { return out_; }

 private:
  std::vector<uint8_t> out_;
};

class Noise {
 public:
  explicit Noise(uint64_t seed) : random_(seed) {}
  // Uniform in (0, 1), from the top 53 bits.
  double uniform() { return (static_cast<double>(random_() >> 11) + 0.5) / 9007199254740992.0; }
  // Standard normal, by Box and Muller.
  double normal() {
    const double radius = std::sqrt(-2 * std::log(uniform()));
    return radius * std::cos(2 * std::numbers::pi * uniform());
  }

 private:
  std::mt19937_64 random_;
};

// A knock: a ring that dies away in a tenth of a second.
struct Knock {
  double startsAt = -1;
  double peakG = 0;
  std::array<double, 3> direction{};
  double at(double t) const {
    const double since = t - startsAt;
    if (startsAt < 0 || since < 0 || since > 0.3) return 0;
    return peakG * std::exp(-since / 0.03) * std::cos(2 * std::numbers::pi * 40 * since);
  }
};

struct Swell {
  std::array<double, 3> periodS;
  std::array<double, 3> phase;
};

int32_t counts(double g) { return static_cast<int32_t>(std::lround(g * kCountsPerG)); }
uint16_t adc(double counts) { return static_cast<uint16_t>(std::clamp(std::lround(counts), 0L, 65535L)); }

// A unit quaternion turning about a slowly wandering axis.
std::array<int16_t, 4> quaternionAt(double t) {
  const double angle = 0.2 + 0.004 * t + 0.05 * std::sin(t / 40);
  std::array<double, 3> axis = {std::sin(t / 300), std::cos(t / 300), 0.3 + 0.1 * std::sin(t / 90)};
  const double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
  const double s = std::sin(angle / 2) / length;
  const std::array<double, 4> q = {std::cos(angle / 2), axis[0] * s, axis[1] * s, axis[2] * s};
  std::array<int16_t, 4> out{};
  for (size_t i = 0; i < 4; ++i) out[i] = static_cast<int16_t>(std::lround(q[i] * kQuatCounts));
  return out;
}

void fileHeader(Bytes& out, int seconds) {
  out.byte(0);
  out.byte(0);
  out.word(2);     // version
  out.word(4711);  // logger ID
  out.word(kRate);
  out.longWord(static_cast<uint32_t>(kStart));
  out.word(0);
  out.longWord(static_cast<uint32_t>(seconds) * 1000);
}

void secondMarker(Bytes& out, int32_t time) {
  out.byte(1);
  out.byte(0);
  out.longWord(static_cast<uint32_t>(time));
}

void systemRecord(Bytes& out, int32_t time, double t, Noise& noise) {
  out.byte(5);
  out.byte(0);
  out.longWord(static_cast<uint32_t>(time));
  out.word(adc(49474 - t * 0.5 + 8 * noise.normal()));      // battery, about 22.9 V
  out.word(adc(26000 + 8 * noise.normal()));                // modem
  out.word(adc(30000 + 5 * std::sin(t / 200) + 3 * noise.normal()));  // external pressure
  out.word(adc(13107 + 4 * noise.normal()));                // internal pressure
  out.word(adc(26000 + 30 * std::sin(t / 600) + 5 * noise.normal()));  // temperature
  out.word(adc(29768 + 10 * noise.normal()));               // humidity
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    (void)std::fprintf(stderr, "usage: smoothMotion <out.dat> [seconds] [seed]\n");
    return 2;
  }
  const int seconds = argc > 2 ? static_cast<int>(std::strtol(argv[2], nullptr, 10)) : 900;
  Noise noise(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1);
  Swell swell{};
  for (size_t axis = 0; axis < 3; ++axis) {
    swell.periodS[axis] = 6 + 10 * noise.uniform();
    swell.phase[axis] = 2 * std::numbers::pi * noise.uniform();
  }
  const std::array<double, 3> centre = {0, 0, 1};
  Bytes out;
  fileHeader(out, seconds);
  Knock knock;
  for (int second = 0; second < seconds; ++second) {
    const int32_t time = kStart + second;
    secondMarker(out, time);
    if (second % kSecondsPerSystem == 0) systemRecord(out, time, second, noise);
    // About one knock in two minutes.
    if (noise.uniform() < 1.0 / 120) {
      knock.startsAt = second + noise.uniform();
      knock.peakG = 0.3 + 1.5 * noise.uniform();
      const double a = 2 * std::numbers::pi * noise.uniform();
      knock.direction = {std::cos(a), std::sin(a), 0.5 * noise.normal()};
    }
    for (int sample = 0; sample < kRate; ++sample) {
      const double t = second + static_cast<double>(sample) / kRate;
      out.byte(2);
      for (size_t axis = 0; axis < 3; ++axis) {
        const double swellG = 0.05 * std::sin(2 * std::numbers::pi * t / swell.periodS[axis] + swell.phase[axis]);
        const double g = centre[axis] + swellG + 0.002 * noise.normal() + knock.direction[axis] * knock.at(t);
        out.triple(counts(g));
      }
      for (const int16_t part : quaternionAt(t)) out.word(static_cast<uint16_t>(part));
      if ((sample + 1) % kSamplesPerPressure == 0) {
        out.byte(3);
        out.byte(0);
        out.word(adc(30000 + 5 * std::sin(t / 200) + 2 * noise.normal()));
      }
    }
  }
  std::ofstream file(argv[1], std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.all().data()), static_cast<std::streamsize>(out.all().size()));
  return file ? 0 : 1;
}
