// What a deployment check wants to know of a file, or of a run of files
// taken as one deployment: counts, clock, sampling, damage and the range of
// every sensor, gathered in one pass in memory that does not grow with the
// input. As text or JSON, it is what `decode --info` prints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zolt/records.h"
#include "zolt/sink.h"

namespace zolt {

enum class Sensor : uint8_t { kExtPressBar, kIntPressPsia, kTempDegC, kHumPct, kBattV, kVmodemV };
constexpr size_t kSensors = 6;

struct SensorInfo {
  const char* key;    // the column name of the tables
  const char* label;  // for people
  bool singlePrecision;
};
extern const SensorInfo kSensorInfo[kSensors];

// min, max, first and last of one sensor's readings, and the exact sum of
// the converter counts behind them, for the mean.
struct ReadingRange {
  uint64_t count = 0;
  double min = 0;
  double max = 0;
  double first = 0;
  double last = 0;
  uint64_t countSum = 0;
};

struct Summary {
  uint64_t bytes = 0;
  uint64_t records[kRecordTypes] = {};
  uint64_t unknownBytes = 0;
  uint64_t firstUnknownOffset = 0;
  uint64_t truncatedBytes = 0;
  // Zero bytes at the end that were never written (zolt::Damage).
  uint64_t unwrittenBytes = 0;
  uint64_t unwrittenOffset = 0;

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

  // What salvage finds: the stretches it skips, as no records there sit on
  // the file's framing (of a file, the first Damage::kStretchesKept; of a
  // run, none listed), and the records it keeps. On a clean file there are
  // none, and it keeps every record.
  uint64_t suspectStretches = 0;
  uint64_t suspectBytes = 0;
  std::vector<Stretch> suspect;
  uint64_t salvageRecords[kRecordTypes] = {};
  bool salvaged = false;  // the other figures are of what salvage keeps

  ReadingRange sensors[kSensors];
  // Of the quaternion's counts, whose squares add up exactly in integers.
  std::optional<uint64_t> leastSquaredNorm;
  std::optional<uint64_t> greatestSquaredNorm;
};

// The mean of a sensor's readings: its law applied to the mean count, so
// that a constant series has its one value as its mean, kept within
// [min, max] against the rounding of the readings.
double meanOf(Sensor sensor, const ReadingRange& range);

// Figures derived for showing.
struct SecondsFigures {
  uint64_t seconds = 0;
  uint64_t min = 0;
  uint64_t median = 0;  // the lower middle for an even count
  uint64_t max = 0;
  uint64_t shortSeconds = 0;  // fewer records than the rate
  uint64_t longSeconds = 0;   // more records than the rate
};
SecondsFigures secondsFigures(const Summary& summary);

// The quaternion's length from a sum of squared counts.
double quatNorm(uint64_t squaredCounts);

// Short texts, none when the input is clean.
std::vector<std::string> problemsOf(const Summary& summary);

// Summaries of the files of a run, and of the run as one deployment, where
// gaps and steps between files count too.
struct SummaryOptions {
  KeepGoing keepGoing;
  bool salvage = false;  // only the records on each input's true framing
};

class SummaryRun {
 public:
  explicit SummaryRun(SummaryOptions options = {});
  ~SummaryRun();
  SummaryRun(SummaryRun&& other) noexcept;
  SummaryRun& operator=(SummaryRun&& other) noexcept;

  // Summarises one input and adds it to the run. An input that could not
  // be read to its end still counts in the run as far as it was read. A
  // run that was moved from adds nothing: Errc::kInvalidArgument.
  FileOutcome add(const Input& input);
  // The summary of the input added last, and of the run so far.
  const Summary& file() const;
  const Summary& run() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

enum class InfoFormat : uint8_t { kText, kJson };

// The text block and the JSON line of one summary, each ending in a line
// end; a run has no name and tells how many files it took.
std::string infoText(std::optional<std::string_view> name, const Summary& summary, uint64_t files);
std::string infoJson(std::optional<std::string_view> name, const Summary& summary);

// The parameters of the analysis of the dives (the decoder's own
// analysis/analysisSettings.h); the defaults where none are given.
struct AnalysisSettings;

struct InfoOptions {
  InfoFormat format = InfoFormat::kText;
  KeepGoing keepGoing;
  bool salvage = false;  // the check of what salvage keeps
  std::shared_ptr<const AnalysisSettings> analysis = nullptr;
};

// The deployment check written to a sink: one block per file read to its
// end, and one for the run.
class InfoRun {
 public:
  explicit InfoRun(Sink& sink, InfoOptions options = {});
  ~InfoRun();
  InfoRun(InfoRun&& other) noexcept;
  InfoRun& operator=(InfoRun&& other) noexcept;

  // A file that could not be read to its end gets no block.
  FileOutcome add(const Input& input);
  // The block of the files described so far as one deployment.
  Error finish();

 private:
  struct Impl;
  static FileOutcome addFile(Impl& info, const Input& input);
  std::unique_ptr<Impl> impl_;
};

}  // namespace zolt
