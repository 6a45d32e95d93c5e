// The depth, surface pressure, dive and activity components held to the
// truth of a recording that makeSample's "dives" mode wrote, with the
// recording's records handed to them as a view would: in file order, times
// resolved from the markers and the header's rate, the clock's gaps as cuts.
//
//   benchDives <recording> [--check]
//
// Reads <recording>.truth.csv and <recording>.surface.csv beside it. Prints
// how the surface estimate's depth at the surface compares with the true
// surface's, which true dives were found (start and end within 1 s, greatest
// depth within 0.1 m, the cut ones flagged), which found dives are not true
// ones, and what the reading and the analysis cost. With --check, exits 1
// when any of those targets is missed.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/activityFilter.h"
#include "analysis/depthFromPressure.h"
#include "analysis/diveFinder.h"
#include "analysis/surfaceEstimator.h"
#include "zolt/zolt.h"

namespace {

using namespace zolt;

constexpr double kSecond = 1e6;

struct TrueDive {
  int64_t start;
  int64_t end;
  double maxDepth;
  bool complete;
  double meanOdba;
  double bottomTime;
};

struct SurfacePoint {
  int64_t time;
  double bar;
};

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out(1);
  for (const char c : line) {
    if (c == ',') {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

std::vector<std::vector<std::string>> csvRows(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::getline(in, line);  // the names
  while (std::getline(in, line))
    if (!line.empty()) rows.push_back(fields(line));
  return rows;
}

int64_t timeOf(const std::string& text) { return parseIsoTime(text).value_or(kNoTime); }

std::vector<TrueDive> trueDives(const std::string& path) {
  std::vector<TrueDive> dives;
  for (const auto& row : csvRows(path))
    dives.push_back({timeOf(row[1]), timeOf(row[2]), std::stod(row[3]), row[4] == "1", std::stod(row[6]),
                     std::stod(row[7])});
  return dives;
}

std::vector<SurfacePoint> surfaceLaw(const std::string& path) {
  std::vector<SurfacePoint> points;
  for (const auto& row : csvRows(path)) points.push_back({timeOf(row[0]), std::stod(row[1])});
  return points;
}

double trueSurface(const std::vector<SurfacePoint>& law, int64_t time) {
  const auto after = std::lower_bound(law.begin(), law.end(), time,
                                      [](const SurfacePoint& point, int64_t t) { return point.time < t; });
  if (after == law.begin()) return law.front().bar;
  if (after == law.end()) return law.back().bar;
  const SurfacePoint& before = *(after - 1);
  const double fraction = static_cast<double>(time - before.time) / static_cast<double>(after->time - before.time);
  return before.bar + (after->bar - before.bar) * fraction;
}

ActivityFilter activityFilter(bool angles) {
  ActivityParameters parameters;
  parameters.angles = angles;
  return ActivityFilter::make(parameters).value();
}

// The records as a view gets them, through the components.
class Pipeline : public RecordSink {
 public:
  // The dives need only the dynamic acceleration, as a dive table would;
  // `angles` adds the attitude, as an activity table would.
  Pipeline(const std::vector<SurfacePoint>& law, bool analyse, bool angles)
      : law_(law), analyse_(analyse), activity_(activityFilter(angles)) {}

  void fileHeader(const FileHeader& record, uint64_t /*offset*/) override { rate_ = record.rate; }
  void secondMarker(const SecondMarker& record, uint64_t /*offset*/) override {
    if (marker_ && record.time - *marker_ != 1 && analyse_) {
      surface_.cut();
      activity_.cut();
      drainActivity();
    }
    marker_ = record.time;
    sample_ = 0;
  }
  void data(const DataRecord& record, uint64_t /*offset*/) override {
    const int64_t time = *marker_ * int64_t{1'000'000} + std::llround(static_cast<double>(sample_++) * kSecond / rate_);
    ++samples;
    if (!analyse_) return;
    const std::array<double, 3> acc = {record.acc[0] / 65536.0, record.acc[1] / 65536.0, record.acc[2] / 65536.0};
    const std::array<double, 4> quat = {record.quat[0] / 16384.0, record.quat[1] / 16384.0,
                                        record.quat[2] / 16384.0, record.quat[3] / 16384.0};
    activity_.add(time, acc, quat);
    drainActivity();
  }
  void pressure(const PressureRecord& record, uint64_t /*offset*/) override {
    const int64_t time = *marker_ * int64_t{1'000'000};
    const double bar = adcEngValue(AdcChannel::kExtPressure, record.counts, nullptr);
    ++readings;
    if (!analyse_) return;
    surface_.add(time, bar);
    drainSurface();
  }

  void finish() {
    if (!analyse_) return;
    surface_.finish();
    drainSurface();
    activity_.cut();
    drainActivity();
    finder_.finish();
    drainDives();
  }

  uint64_t samples = 0;
  uint64_t readings = 0;
  std::vector<Dive> dives;
  std::vector<float> surfaceErrors;  // m, at the readings within 1 m of the true surface
  uint64_t unknownSurface = 0;

 private:
  void drainSurface() {
    while (const auto reading = surface_.next()) {
      if (reading->cutBefore) finder_.cut();
      if (std::isnan(reading->surfaceBar)) ++unknownSurface;
      const double depth = depth_.depth(reading->bar, reading->surfaceBar);
      const double trueDepth = depth_.depth(reading->bar, trueSurface(law_, reading->time));
      if (trueDepth < 1 && !std::isnan(depth)) surfaceErrors.push_back(static_cast<float>(depth - trueDepth));
      finder_.addDepth(reading->time, depth);
    }
    drainDives();
  }
  void drainActivity() {
    while (const auto sample = activity_.next()) finder_.addDba(sample->time, sample->odba);
    drainDives();
  }
  void drainDives() {
    while (const auto dive = finder_.next()) dives.push_back(*dive);
  }

  const std::vector<SurfacePoint>& law_;
  bool analyse_;
  uint16_t rate_ = 0;
  std::optional<int32_t> marker_;
  uint64_t sample_ = 0;
  SurfaceEstimator surface_;
  DepthFromPressure depth_;
  DiveFinder finder_;
  ActivityFilter activity_;
};

double quantile(std::vector<double> values, double q) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(q * static_cast<double>(values.size())))];
}

struct Comparison {
  int complete = 0, cut = 0, found = 0, missed = 0, invented = 0, cutFlagged = 0, cutSeen = 0;
  std::vector<double> startErrors, endErrors, depthErrors, bottomErrors, odbaRatios;
};

bool overlaps(const Dive& found, const TrueDive& truth) {
  return static_cast<double>(found.start) < static_cast<double>(truth.end) + kSecond &&
         static_cast<double>(found.end) > static_cast<double>(truth.start) - kSecond;
}

Comparison compare(const std::vector<TrueDive>& truth, const std::vector<Dive>& found) {
  Comparison c;
  std::vector<bool> matched(found.size());
  for (const TrueDive& t : truth) {
    (t.complete ? c.complete : c.cut)++;
    std::vector<size_t> rows;
    for (size_t i = 0; i < found.size(); ++i)
      if (overlaps(found[i], t)) rows.push_back(i);
    if (rows.empty()) {
      ++c.missed;
      continue;
    }
    ++c.found;
    for (const size_t i : rows) matched[i] = true;
    const Dive& first = found[rows.front()];
    const Dive& last = found[rows.back()];
    double deepest = 0;
    for (const size_t i : rows) deepest = std::max(deepest, found[i].maxDepth);
    c.depthErrors.push_back(std::abs(deepest - t.maxDepth));
    if (!first.cutAtStart) c.startErrors.push_back(std::abs(static_cast<double>(first.start - t.start)) / kSecond);
    if (t.complete) {
      if (rows.size() != 1 || !first.complete()) ++c.missed;
      c.endErrors.push_back(std::abs(static_cast<double>(last.end - t.end)) / kSecond);
      if (t.meanOdba > 0) c.odbaRatios.push_back(first.meanDba / t.meanOdba);
      c.bottomErrors.push_back(std::abs(first.bottomTime - t.bottomTime));
    } else {
      ++c.cutSeen;
      bool flagged = true;
      for (const size_t i : rows) flagged = flagged && !found[i].complete();
      if (flagged) ++c.cutFlagged;
      if (!last.cutAtEnd) c.endErrors.push_back(std::abs(static_cast<double>(last.end - t.end)) / kSecond);
    }
  }
  for (const bool m : matched)
    if (!m) ++c.invented;
  return c;
}

double secondsOf(std::chrono::steady_clock::duration span) { return std::chrono::duration<double>(span).count(); }

double timed(const std::string& path, Pipeline& pipeline) {
  const auto start = std::chrono::steady_clock::now();
  const FileOutcome outcome = scan(Input::path(path), pipeline);
  pipeline.finish();
  if (!outcome.ok()) (void)std::fprintf(stderr, "%s: %s\n", path.c_str(), describe(outcome.error).c_str());
  return secondsOf(std::chrono::steady_clock::now() - start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    (void)std::fprintf(stderr, "usage: benchDives <recording> [--check]\n");
    return 2;
  }
  const std::string path = argv[1];
  const bool check = argc > 2 && std::string(argv[2]) == "--check";
  const std::vector<TrueDive> truth = trueDives(path + ".truth.csv");
  const std::vector<SurfacePoint> law = surfaceLaw(path + ".surface.csv");
  if (truth.empty() || law.empty()) {
    (void)std::fprintf(stderr, "%s: no truth beside it (makeSample %s SECONDS dives)\n", path.c_str(), path.c_str());
    return 2;
  }

  // The best of three rounds of each, as other work on the machine only
  // ever slows a round down; a check needs one.
  double readSeconds = 1e9;
  double allSeconds = 1e9;
  double anglesSeconds = 1e9;
  Pipeline pipeline(law, true, false);
  for (int round = 0; round < (check ? 1 : 3); ++round) {
    Pipeline reading(law, false, false);
    readSeconds = std::min(readSeconds, timed(path, reading));
    if (round == 0) {
      allSeconds = timed(path, pipeline);
    } else {
      Pipeline dives(law, true, false);
      allSeconds = std::min(allSeconds, timed(path, dives));
    }
    Pipeline withAngles(law, true, true);
    anglesSeconds = std::min(anglesSeconds, timed(path, withAngles));
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);

  const Comparison c = compare(truth, pipeline.dives);
  std::vector<double> surfaceAbs;
  surfaceAbs.reserve(pipeline.surfaceErrors.size());
  for (const float e : pipeline.surfaceErrors) surfaceAbs.push_back(std::abs(e));
  const double surfaceWorst = surfaceAbs.empty() ? NAN : *std::max_element(surfaceAbs.begin(), surfaceAbs.end());
  const double startWorst = quantile(c.startErrors, 1);
  const double endWorst = quantile(c.endErrors, 1);
  const double depthWorst = quantile(c.depthErrors, 1);

  std::printf("recording: %llu pressure readings, %llu inertial samples\n",
              static_cast<unsigned long long>(pipeline.readings), static_cast<unsigned long long>(pipeline.samples));
  std::printf("surface: depth error at %zu readings within 1 m of the true surface: median %.4f m, p99 %.4f m, "
              "worst %.4f m (target 0.1); %llu readings without an estimate\n",
              surfaceAbs.size(), quantile(surfaceAbs, 0.5), quantile(surfaceAbs, 0.99), surfaceWorst,
              static_cast<unsigned long long>(pipeline.unknownSurface));
  std::printf("dives: %d true (%d whole, %d cut), %zu rows found; %d true found, %d missed, %d invented\n",
              c.complete + c.cut, c.complete, c.cut, pipeline.dives.size(), c.found, c.missed, c.invented);
  std::printf("  start error: median %.3f s, worst %.3f s; end error: median %.3f s, worst %.3f s (target 1)\n",
              quantile(c.startErrors, 0.5), startWorst, quantile(c.endErrors, 0.5), endWorst);
  std::printf("  greatest depth error: median %.4f m, worst %.4f m (target 0.1)\n", quantile(c.depthErrors, 0.5),
              depthWorst);
  std::printf("  bottom time error: median %.3f s, worst %.3f s\n", quantile(c.bottomErrors, 0.5),
              quantile(c.bottomErrors, 1));
  std::printf("  cut dives flagged in every row: %d of %d\n", c.cutFlagged, c.cutSeen);
  std::printf("  mean ODBA over true stroke ODBA: median %.3f, from %.3f to %.3f\n", quantile(c.odbaRatios, 0.5),
              quantile(c.odbaRatios, 0), quantile(c.odbaRatios, 1));
  const auto perSample = [&](double seconds) {
    return (seconds - readSeconds) / static_cast<double>(std::max<uint64_t>(1, pipeline.samples)) * 1e9;
  };
  std::printf("time: reading the records %.3f s; with the dives %.3f s (%.1f ns a sample more); with the "
              "angles too %.3f s (%.1f ns)\n",
              readSeconds, allSeconds, perSample(allSeconds), anglesSeconds, perSample(anglesSeconds));
  std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);

  const bool met = c.missed == 0 && c.invented == 0 && c.cutFlagged == c.cutSeen && startWorst <= 1 &&
                   endWorst <= 1 && depthWorst <= 0.1 && surfaceWorst <= 0.1 && pipeline.unknownSurface == 0;
  if (check && !met) {
    std::printf("targets missed\n");
    return 1;
  }
  return 0;
}
