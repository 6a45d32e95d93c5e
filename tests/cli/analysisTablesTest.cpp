// The tables made from the analysis, through the binary: depth against the
// pressure table it is worked out from, and dives against the truth of a
// deployment that the sample generator knows.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runDecode.h"

namespace {

using Row = std::vector<std::string>;

std::vector<Row> csvRows(const std::string& text) {
  std::vector<Row> rows;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // the names
  while (std::getline(in, line)) {
    Row row(1);
    for (const char c : line) {
      if (c == ',') {
        row.emplace_back();
      } else {
        row.back() += c;
      }
    }
    rows.push_back(row);
  }
  return rows;
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n') + 1); }

const std::string kHeader = "00 00 0002 012C 0064 51465A90 007B 0036EE80 ";  // rate 100
std::string marker(int second) {
  char hex[16];
  (void)std::snprintf(hex, sizeof hex, "%08X", 0x51465A90 + second);
  return "01 00 " + std::string(hex) + " ";
}

// Pressure readings a second apart, the clock stepping over seconds 3 and 4,
// from the surface to some tens of metres down.
std::string pressureRecording() {
  std::string hex = kHeader;
  const char* const counts[] = {"1D00", "1D40", "2400", "4000", "8000", "9000", "6000", "1D10"};
  const int seconds[] = {0, 1, 2, 5, 6, 7, 8, 9};
  for (size_t i = 0; i < std::size(counts); ++i) hex += marker(seconds[i]) + "03 00 " + counts[i] + " ";
  return hex;
}

// Fresh water under a fixed surface is hydrostatics, whose every constant
// is known: each reading's depth is its own pressure's, the window keeps
// rows by time, and salvage reads an undamaged file alike.
TEST(AnalysisTables, DepthIsEachReadingsOwn) {
  Scratch scratch;
  const std::string name = scratch.file("p.dat", hexBytes(pressureRecording()));
  const RunResult pressure = scratch.run({"--csv=pressure", name});
  const std::vector<std::string> fixedFresh = {"--csv=depth", "--water=fresh", "--surface=1.013", "--latitude=0"};
  std::vector<std::string> args = fixedFresh;
  args.push_back(name);
  const RunResult depth = scratch.run(args);
  ASSERT_EQ(depth.status, 0) << depth.err;
  EXPECT_EQ(firstLine(depth.out), "time,pressure,surface_pressure,depth\n");
  const std::vector<Row> readings = csvRows(pressure.out);
  const std::vector<Row> rows = csvRows(depth.out);
  ASSERT_EQ(rows.size(), readings.size());
  const double metresPerBar = 1e5 / (999.97 * 9.780327);
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(depth.out);
    EXPECT_EQ(rows[i][0], readings[i][0]);
    EXPECT_EQ(rows[i][1], readings[i][3]);
    EXPECT_EQ(rows[i][2], "1.013");
    EXPECT_NEAR(std::stod(rows[i][3]), (std::stod(readings[i][3]) - 1.013) * metresPerBar, 0.6e-4);
  }
  args.insert(args.begin(), {"--from=2013-03-18T00:06:45", "--to=2013-03-18T00:06:48", "--salvage"});
  const RunResult window = scratch.run(args);
  EXPECT_EQ(window.status, 0) << window.err;
  EXPECT_EQ(window.out, firstLine(depth.out) + depth.out.substr(depth.out.find("2013-03-18T00:06:45"),
                                                                 depth.out.find("2013-03-18T00:06:48") -
                                                                     depth.out.find("2013-03-18T00:06:45")));
  // Sea water at the default latitude is deeper per bar than fresh water at
  // the equator by less than the sea's density adds.
  const RunResult sea = scratch.run({"--csv=depth", "--surface=1.013", name});
  const std::vector<Row> seaRows = csvRows(sea.out);
  ASSERT_EQ(seaRows.size(), rows.size());
  const double deepest = std::stod(rows[4][3]);
  EXPECT_LT(std::stod(seaRows[4][3]), deepest);
  EXPECT_GT(std::stod(seaRows[4][3]), deepest * 0.96);
}

std::string hexOf(int64_t value, int digits) {
  char hex[17];
  (void)std::snprintf(hex, sizeof hex, "%0*llX", digits,
                      static_cast<unsigned long long>(value) & ((1ULL << (4 * digits)) - 1));
  return hex;
}

// Every sample has a row at its own time; its static acceleration is the
// mean of the samples within half the window on either side, which a
// window off by one sample, or not centred, would miss; the dynamic part's
// ODBA and VeDBA and the pitch follow from it.
TEST(AnalysisTables, ActivityIsTheCentredWindowsMean) {
  Scratch scratch;
  constexpr int kSamples = 250;
  std::vector<std::array<int64_t, 3>> counts;
  std::string hex = kHeader;
  unsigned seed = 7;
  for (int i = 0; i < kSamples; ++i) {
    if (i % 100 == 0) hex += marker(i / 100);
    std::array<int64_t, 3> acc{};
    for (int64_t& axis : acc) {
      seed = seed * 1103515245U + 12345U;
      axis = static_cast<int64_t>((seed >> 8) % 40000) - 20000 + (&axis == &acc[2] ? 65536 : 0);
    }
    counts.push_back(acc);
    hex += "02 " + hexOf(acc[0], 6) + hexOf(acc[1], 6) + hexOf(acc[2], 6) + " 4000 0000 0000 0000 ";
  }
  const std::string name = scratch.file("a.dat", hexBytes(hex));
  const RunResult result = scratch.run({"--csv=activity", "--activity-window=0.1", name});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(firstLine(result.out),
            "time,static_x,static_y,static_z,odba,vedba,pitch,roll,quat_pitch,quat_roll,quat_heading\n");
  const std::vector<Row> rows = csvRows(result.out);
  const std::vector<Row> data = csvRows(scratch.run({"--csv=data", name}).out);
  ASSERT_EQ(rows.size(), static_cast<size_t>(kSamples));
  for (int i = 0; i < kSamples; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[static_cast<size_t>(i)][0], data[static_cast<size_t>(i)][0]);
    std::array<double, 3> mean{};
    int within = 0;
    for (int j = std::max(0, i - 5); j <= std::min(kSamples - 1, i + 5); ++j, ++within) {
      for (size_t axis = 0; axis < 3; ++axis) mean[axis] += static_cast<double>(counts[static_cast<size_t>(j)][axis]) / 65536;
    }
    double odba = 0;
    double squares = 0;
    for (size_t axis = 0; axis < 3; ++axis) {
      mean[axis] /= within;
      EXPECT_NEAR(std::stod(rows[static_cast<size_t>(i)][1 + axis]), mean[axis], 1e-6);
      const double dynamic = static_cast<double>(counts[static_cast<size_t>(i)][axis]) / 65536 - mean[axis];
      odba += std::abs(dynamic);
      squares += dynamic * dynamic;
    }
    EXPECT_NEAR(std::stod(rows[static_cast<size_t>(i)][4]), odba, 2e-6);
    EXPECT_NEAR(std::stod(rows[static_cast<size_t>(i)][5]), std::sqrt(squares), 2e-6);
    EXPECT_NEAR(std::stod(rows[static_cast<size_t>(i)][6]),
                std::atan2(mean[0], std::hypot(mean[1], mean[2])) * 180 / 3.14159265358979323846, 2e-3);
    // The identity quaternion: level, the logger's x to the east.
    EXPECT_EQ(rows[static_cast<size_t>(i)][8] + " " + rows[static_cast<size_t>(i)][9] + " " + rows[static_cast<size_t>(i)][10],
              "0.0 0.0 90.0");
  }
}

struct TrueDive {
  double start;  // seconds since 1970
  double end;
  double maxDepth;
  bool complete;
};

double secondsOf(const std::string& isoTime) {
  std::tm parts{};
  double second = 0;
  (void)std::sscanf(isoTime.c_str(), "%d-%d-%dT%d:%d:%lfZ", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                    &parts.tm_hour, &parts.tm_min, &second);
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  return static_cast<double>(timegm(&parts)) + second;
}

// A generated deployment's dives are found where the generator put them:
// each true dive's start and end within a second (but where the recording
// cut it), its greatest depth within 0.1 m, the cut ones flagged and none
// invented.
TEST(AnalysisTables, DivesAreTheGeneratorsDives) {
  Scratch scratch;
  const std::string make = std::string(MAKE_SAMPLE) + " " + scratch.path() + "/dives.dat 36000 dives > /dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const RunResult found = scratch.run({"--csv=dives", "dives.dat"});
  ASSERT_EQ(found.status, 0) << found.err;
  EXPECT_EQ(firstLine(found.out),
            "number,start,end,duration_s,max_depth_m,max_depth_time,bottom_time_s,descent_time_s,descent_rate_m_s,"
            "ascent_time_s,ascent_rate_m_s,surface_interval_s,mean_vedba,complete\n");
  std::ifstream truthFile(scratch.path() + "/dives.dat.truth.csv");
  const std::string truthText{std::istreambuf_iterator<char>(truthFile), std::istreambuf_iterator<char>()};
  std::vector<TrueDive> truth;
  for (const Row& row : csvRows(truthText)) {
    truth.push_back({secondsOf(row[1]), secondsOf(row[2]), std::stod(row[3]), row[4] == "1"});
  }
  ASSERT_GT(truth.size(), 20U);
  const std::vector<Row> dives = csvRows(found.out);
  std::vector<bool> matched(dives.size());
  size_t cutSeen = 0;
  for (const TrueDive& dive : truth) {
    SCOPED_TRACE(std::to_string(dive.start));
    // A dive that a gap cuts is found as two: the part before and the part after.
    std::vector<size_t> parts;
    for (size_t i = 0; i < dives.size(); ++i) {
      if (secondsOf(dives[i][1]) < dive.end + 1 && secondsOf(dives[i][2]) > dive.start - 1) parts.push_back(i);
    }
    ASSERT_FALSE(parts.empty());
    double deepest = 0;
    for (const size_t i : parts) {
      matched[i] = true;
      deepest = std::max(deepest, std::stod(dives[i][4]));
      EXPECT_EQ(dives[i][13], dive.complete ? "true" : "false");
    }
    EXPECT_NEAR(deepest, dive.maxDepth, 0.1);
    EXPECT_NEAR(secondsOf(dives[parts.front()][1]), dive.start, 1.0);
    EXPECT_NEAR(secondsOf(dives[parts.back()][2]), dive.end, 1.0);
    if (dive.complete) {
      EXPECT_EQ(parts.size(), 1U);
    } else {
      ++cutSeen;
    }
  }
  EXPECT_GT(cutSeen, 0U);
  EXPECT_EQ(std::count(matched.begin(), matched.end(), false), 0);

  // The deployment check counts the same dives, and says what found them.
  const RunResult info = scratch.run({"--info=json", "dives.dat"});
  ASSERT_EQ(info.status, 0) << info.err;
  const size_t cut = static_cast<size_t>(std::count_if(dives.begin(), dives.end(), [](const Row& row) { return row[13] == "false"; }));
  double deepest = 0;
  for (const Row& row : dives) deepest = std::max(deepest, std::stod(row[4]));
  const std::string member = info.out.substr(info.out.find("\"dives\":{"));
  EXPECT_EQ(member.substr(0, member.find(",\"deepest_m\":")),
            "\"dives\":{\"count\":" + std::to_string(dives.size()) + ",\"cut\":" + std::to_string(cut));
  EXPECT_NEAR(std::stod(member.substr(member.find("\"deepest_m\":") + 12)), deepest, 1e-3);
  EXPECT_NE(member.find("\"latitude\":45.0,\"latitude_given\":false"), std::string::npos);
}

}  // namespace
