// What a deployment check wants to know of a file, or of a run of files
// taken as one deployment: counts, clock, sampling, damage and the range of
// every sensor, gathered in one pass in memory that does not grow with the
// file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "recordFormat.h"

// The least and greatest sum of the squared quaternion counts of a run of
// data records.
struct SquaredNorms {
  uint64_t least = UINT64_MAX;
  uint64_t greatest = 0;
};
SquaredNorms squaredNorms(const uint8_t* records, size_t count);

// min, mean, max, first and last of one sensor's readings.
struct ReadingRange {
  uint64_t count = 0;
  double min = 0;
  double max = 0;
  double sum = 0;
  double first = 0;
  double last = 0;
  void add(double value);
};

enum Sensor : uint8_t { kExtPressBar, kIntPressPsia, kTempDegC, kHumPct, kBattV, kVmodemV, kSensors };

struct SensorInfo {
  const char* key;    // the column name of the tables
  const char* label;  // for people
  bool singlePrecision;
};
extern const SensorInfo kSensorInfo[kSensors];

struct DeploymentSummary {
  uint64_t bytes = 0;
  uint64_t records[kRecordTypes] = {};
  uint64_t unknownBytes = 0;
  uint64_t firstUnknownOffset = 0;
  uint64_t truncatedBytes = 0;

  std::optional<int32_t> firstMarker;
  std::optional<int32_t> lastMarker;
  uint64_t gaps = 0;
  uint64_t missingSeconds = 0;
  uint64_t longestGap = 0;
  uint64_t stepsBack = 0;

  std::optional<uint16_t> rate;  // from the first file header
  // Data records in each second between markers exactly one second apart:
  // how many seconds had each count.
  std::map<uint64_t, uint64_t> recordsPerSecond;
  uint64_t sinceMarker = 0;  // data records since the latest marker

  ReadingRange sensors[kSensors];
  // Of the quaternion's counts, whose squares add up exactly in integers.
  std::optional<uint64_t> leastSquaredNorm;
  std::optional<uint64_t> greatestSquaredNorm;

  void fileHeader(uint16_t headerRate);
  void secondMarker(int32_t time);
  void dataRecords(size_t count, const struct SquaredNorms& norms);
  void unknownByte(uint64_t offset);
};

// Figures derived for showing.
struct SecondsFigures {
  uint64_t seconds = 0;
  uint64_t min = 0;
  uint64_t median = 0;  // the lower middle for an even count
  uint64_t max = 0;
  uint64_t shortSeconds = 0;  // fewer records than the rate
  uint64_t longSeconds = 0;   // more records than the rate
};
SecondsFigures secondsFigures(const DeploymentSummary& summary);

// The quaternion's length from a sum of squared counts.
double quatNorm(uint64_t squaredCounts);

// Short texts, empty when the file is clean.
std::vector<std::string> problemsOf(const DeploymentSummary& summary);
