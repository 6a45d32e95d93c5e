#include "views/deploymentSummary.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "core/readInput.h"
#include "core/readings.h"
#include "views/summarisedRead.h"
#include "zolt/units.h"

namespace zolt {

const SensorInfo kSensorInfo[kSensors] = {
    {"ext_press_bar", "ext. pressure, bar", true},
    {"int_press_psia", "int. pressure, psia", true},
    {"temp_degC", "temperature, degC", true},
    {"hum_pct", "humidity, %", true},
    {"batt_V", "battery, V", false},
    {"vmodem_V", "modem, V", false},
};

namespace {

// The law from a count to each sensor's reading, for the mean of its counts.
constexpr uint16_t kSupply = 0;
constexpr uint16_t kLaws[kSensors] = {static_cast<uint16_t>(AdcChannel::kExtPressure),
                                      static_cast<uint16_t>(AdcChannel::kIntPressure),
                                      static_cast<uint16_t>(AdcChannel::kTemperature),
                                      static_cast<uint16_t>(AdcChannel::kHumidity),
                                      kSupply,
                                      kSupply};

void addReading(SummaryTally& tally, Sensor sensor, uint16_t counts, double value) {
  ReadingRange& range = tally.summary.sensors[static_cast<size_t>(sensor)];
  if (range.count == 0) {
    range.min = range.max = range.first = value;
  } else {
    range.min = std::min(range.min, value);
    range.max = std::max(range.max, value);
  }
  range.last = value;
  range.countSum += counts;
  ++range.count;
}

}  // namespace

void SummaryTally::fileHeader(uint16_t headerRate) {
  if (!summary.rate) summary.rate = headerRate;
}

void SummaryTally::second(int32_t time, std::optional<int32_t> previous, uint64_t previousSamples) {
  if (previous) {
    const int64_t step = int64_t{time} - *previous;
    if (step == 1) ++summary.recordsPerSecond[previousSamples];
    if (step > 1) {
      const auto missing = static_cast<uint64_t>(step - 1);
      ++summary.gaps;
      summary.missingSeconds += missing;
      summary.longestGap = std::max(summary.longestGap, missing);
    }
    if (step <= 0) ++summary.stepsBack;
  } else {
    summary.firstMarker = time;
  }
  summary.lastMarker = time;
}

void SummaryTally::dataRecords(size_t count, const SquaredNorms& norms) {
  summary.records[kDataRecord] += count;
  if (count == 0) return;
  summary.leastSquaredNorm = std::min(summary.leastSquaredNorm.value_or(UINT64_MAX), norms.least);
  summary.greatestSquaredNorm = std::max(summary.greatestSquaredNorm.value_or(0), norms.greatest);
}

void SummaryTally::unknownByte(uint64_t offset) {
  if (summary.unknownBytes++ == 0) summary.firstUnknownOffset = offset;
}

SecondsFigures secondsFigures(const Summary& summary) {
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

double meanOf(Sensor sensor, const ReadingRange& range) {
  const double count = static_cast<double>(range.countSum) / static_cast<double>(range.count);
  const uint16_t law = kLaws[static_cast<size_t>(sensor)];
  const double mean = law == kSupply ? supplyVolts(count) : channelLaw(law, count);
  return std::clamp(mean, range.min, range.max);
}

double quatNorm(uint64_t squaredCounts) { return std::sqrt(static_cast<double>(squaredCounts)) * kQuatCount; }

namespace {

std::string counted(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::vector<std::string> problemsOf(const Summary& summary) {
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
  if (summary.unwrittenBytes > 0) {
    problems.push_back(counted(summary.unwrittenBytes, "zero byte", "zero bytes") + " at offset " +
                       std::to_string(summary.unwrittenOffset) + ": unwritten");
  }
  if (summary.suspectStretches > 0) {
    const std::string stretches = counted(summary.suspectStretches, "suspect stretch", "suspect stretches") + ", " +
                                  counted(summary.suspectBytes, "byte", "bytes");
    problems.push_back(summary.salvaged ? stretches + ", skipped: no records there sit on the file's framing"
                                        : stretches + ", that salvage would skip");
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

SummaryView::SummaryView(SummaryTally& file, SummaryTally& run)
    : file_(file), run_(run), runOffset_(run.summary.bytes) {}

void SummaryView::record(TimedRecord<kFileHeader> record) {
  const uint16_t rate = record.read().rate;
  both(kFileHeader, [&](SummaryTally& tally) { tally.fileHeader(rate); });
}

// The file's own figures begin with its first second; the run's go on
// from the input before.
void SummaryView::second(const SecondStep& step) {
  if (step.placed) return;
  file_.second(step.time, step.previousInInput ? step.previous : std::nullopt, step.previousSamples);
  run_.second(step.time, step.previous, step.previousSamples);
}

void SummaryView::samples(const Samples& samples) {
  const SquaredNorms norms = squaredNorms(samples.records, samples.count);
  for (SummaryTally* tally : {&file_, &run_}) {
    tally->summary.bytes += samples.count * kDataRecordSize;
    tally->dataRecords(samples.count, norms);
  }
}

void SummaryView::record(TimedRecord<kPressureRecord> record) {
  const uint16_t counts = record.read().counts;
  const double bar = pressureReadings(counts).bar;
  both(kPressureRecord, [&](SummaryTally& tally) { addReading(tally, Sensor::kExtPressBar, counts, bar); });
}

void SummaryView::record(TimedRecord<kSystemRecord> record) {
  const SystemRecord fields = record.read();
  const SystemReadings values = systemReadings(fields);
  both(kSystemRecord, [&](SummaryTally& tally) {
    addReading(tally, Sensor::kIntPressPsia, fields.intPress, values.intPressPsia);
    addReading(tally, Sensor::kTempDegC, fields.temp, values.tempDegC);
    addReading(tally, Sensor::kHumPct, fields.hum, values.humPct);
    addReading(tally, Sensor::kBattV, fields.batt, values.battV);
    addReading(tally, Sensor::kVmodemV, fields.vmodem, values.vmodemV);
  });
}

void SummaryView::unknownType(uint8_t /*type*/, uint64_t offset) {
  ++file_.summary.bytes;
  ++run_.summary.bytes;
  file_.unknownByte(offset);
  run_.unknownByte(runOffset_ + offset);
}

void SummaryView::cutRecord(const uint8_t* /*bytes*/, size_t size, uint64_t /*offset*/) {
  for (SummaryTally* tally : {&file_, &run_}) {
    tally->summary.bytes += size;
    tally->summary.truncatedBytes += size;
  }
}

void SummaryView::unwritten(uint64_t size, uint64_t offset) {
  for (SummaryTally* tally : {&file_, &run_}) {
    if (tally->summary.unwrittenBytes == 0) tally->summary.unwrittenOffset = (tally == &run_ ? runOffset_ : 0) + offset;
    tally->summary.bytes += size;
    tally->summary.unwrittenBytes += size;
  }
}

void SummaryView::skipped(uint64_t offset, uint64_t size) {
  for (SummaryTally* tally : {&file_, &run_}) {
    tally->summary.bytes += size;
    ++tally->summary.suspectStretches;
    tally->summary.suspectBytes += size;
  }
  if (file_.summary.suspect.size() < Damage::kStretchesKept) file_.summary.suspect.push_back({offset, size});
}

void addSalvageCheck(const CheckedOutcome& checked, Summary& file, Summary& run) {
  const Damage& damage = checked.salvageDamage;
  for (Summary* summary : {&file, &run}) {
    summary->suspectStretches += damage.skippedStretches;
    summary->suspectBytes += damage.skippedBytes;
    for (size_t type = 0; type < kRecordTypes; ++type) summary->salvageRecords[type] += checked.salvageRecords[type];
  }
  file.suspect = damage.skipped;
}

void addSalvaged(Summary& file, Summary& run) {
  file.salvaged = run.salvaged = true;
  for (size_t type = 0; type < kRecordTypes; ++type) {
    file.salvageRecords[type] = file.records[type];
    run.salvageRecords[type] += file.records[type];
  }
}

struct SummaryRun::Impl {
  RunClock clock;
  SummaryTally run;
  Summary file;
  SummaryOptions options;
};

SummaryRun::SummaryRun(SummaryOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
}
SummaryRun::~SummaryRun() = default;
SummaryRun::SummaryRun(SummaryRun&&) noexcept = default;
SummaryRun& SummaryRun::operator=(SummaryRun&&) noexcept = default;

FileOutcome SummaryRun::add(const Input& input) {
  if (impl_ == nullptr) return {{Errc::kInvalidArgument, EINVAL}, {}};
  SummaryTally tally;
  SummaryView view(tally, impl_->run);
  FileOutcome outcome = readSummarised(input, impl_->clock, view, tally.summary, impl_->run.summary,
                                       impl_->options.keepGoing, impl_->options.salvage);
  impl_->file = std::move(tally.summary);
  return outcome;
}

namespace {

const Summary kNothing;

}  // namespace

const Summary& SummaryRun::file() const { return impl_ == nullptr ? kNothing : impl_->file; }

const Summary& SummaryRun::run() const { return impl_ == nullptr ? kNothing : impl_->run.summary; }

}  // namespace zolt
