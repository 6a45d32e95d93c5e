#include "deploymentSummary.h"

#include <algorithm>
#include <cmath>

const SensorInfo kSensorInfo[kSensors] = {
    {"ext_press_bar", "ext. pressure, bar", true},
    {"int_press_psia", "int. pressure, psia", true},
    {"temp_degC", "temperature, degC", true},
    {"hum_pct", "humidity, %", true},
    {"batt_V", "battery, V", false},
    {"vmodem_V", "modem, V", false},
};

void ReadingRange::add(double value) {
  if (count == 0) {
    min = max = first = value;
  } else {
    min = std::min(min, value);
    max = std::max(max, value);
  }
  last = value;
  sum += value;
  ++count;
}

void DeploymentSummary::fileHeader(uint16_t headerRate) {
  if (!rate) rate = headerRate;
}

void DeploymentSummary::secondMarker(int32_t time) {
  if (lastMarker) {
    const int64_t step = int64_t{time} - *lastMarker;
    if (step == 1) ++recordsPerSecond[sinceMarker];
    if (step > 1) {
      const auto missing = static_cast<uint64_t>(step - 1);
      ++gaps;
      missingSeconds += missing;
      longestGap = std::max(longestGap, missing);
    }
    if (step <= 0) ++stepsBack;
  } else {
    firstMarker = time;
  }
  lastMarker = time;
  sinceMarker = 0;
}

SquaredNorms squaredNorms(const uint8_t* records, size_t count) {
  SquaredNorms norms;
  for (const uint8_t* record = records; record < records + count * kDataRecordSize; record += kDataRecordSize) {
    uint64_t squares = 0;
    for (size_t part = 0; part < kQuatParts; ++part) {
      const int64_t component = quatCount(record + 1 + quatOffset(part));
      squares += static_cast<uint64_t>(component * component);
    }
    norms.least = std::min(norms.least, squares);
    norms.greatest = std::max(norms.greatest, squares);
  }
  return norms;
}

void DeploymentSummary::dataRecords(size_t count, const SquaredNorms& norms) {
  records[kDataRecord] += count;
  sinceMarker += count;
  if (count == 0) return;
  leastSquaredNorm = std::min(leastSquaredNorm.value_or(UINT64_MAX), norms.least);
  greatestSquaredNorm = std::max(greatestSquaredNorm.value_or(0), norms.greatest);
}

void DeploymentSummary::unknownByte(uint64_t offset) {
  if (unknownBytes++ == 0) firstUnknownOffset = offset;
}

SecondsFigures secondsFigures(const DeploymentSummary& summary) {
  SecondsFigures figures;
  const auto& histogram = summary.recordsPerSecond;
  if (histogram.empty()) return figures;
  for (const auto& [records, seconds] : histogram) figures.seconds += seconds;
  figures.min = histogram.begin()->first;
  figures.max = histogram.rbegin()->first;
  uint64_t seen = 0;
  const uint64_t middle = (figures.seconds - 1) / 2;
  for (const auto& [records, seconds] : histogram) {
    if (seen <= middle && middle < seen + seconds) figures.median = records;
    seen += seconds;
    if (summary.rate && records < *summary.rate) figures.shortSeconds += seconds;
    if (summary.rate && records > *summary.rate) figures.longSeconds += seconds;
  }
  return figures;
}

double quatNorm(uint64_t squaredCounts) { return std::sqrt(static_cast<double>(squaredCounts)) / 16384.0; }

namespace {

std::string counted(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::vector<std::string> problemsOf(const DeploymentSummary& summary) {
  std::vector<std::string> problems;
  if (summary.gaps > 0) {
    problems.push_back(counted(summary.gaps, "gap", "gaps") + " in the markers, " +
                       std::to_string(summary.missingSeconds) + " s missing");
  }
  if (summary.stepsBack > 0) problems.push_back(counted(summary.stepsBack, "marker", "markers") + " not after the one before");
  if (summary.unknownBytes > 0) {
    problems.push_back(counted(summary.unknownBytes, "byte", "bytes") + " of unknown record type, from offset " +
                       std::to_string(summary.firstUnknownOffset));
  }
  if (summary.truncatedBytes > 0) {
    problems.push_back("last record cut short after " + counted(summary.truncatedBytes, "byte", "bytes"));
  }
  const SecondsFigures figures = secondsFigures(summary);
  if (figures.shortSeconds > 0) {
    problems.push_back(counted(figures.shortSeconds, "second", "seconds") + " with fewer records than the rate");
  }
  if (figures.longSeconds > 0) {
    problems.push_back(counted(figures.longSeconds, "second", "seconds") + " with more records than the rate");
  }
  return problems;
}
