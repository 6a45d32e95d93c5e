#include <cerrno>
#include <cmath>
#include <optional>

#include "core/readInput.h"
#include "core/recordCatalogue.h"
#include "text/exactFormat.h"
#include "text/infoRows.h"
#include "text/jsonString.h"
#include "text/textFormat.h"
#include "text/textOut.h"
#include "text/utf8Name.h"
#include "views/analysisView.h"
#include "views/deploymentSummary.h"
#include "views/diveTally.h"
#include "views/summarisedRead.h"
#include "zolt/summary.h"
#include "zolt/tables.h"

namespace zolt {

namespace {

std::string typeName(size_t type) { return std::string(entryOf(static_cast<RecordType>(type)).name); }

std::string shortest(const SensorInfo& sensor, double value) {
  char text[64];
  const char* end = sensor.singlePrecision ? putShortest(text, static_cast<float>(value)) : putShortest(text, value);
  return std::string(text, static_cast<size_t>(end - text));
}

std::string shortest(double value) {
  char text[64];
  const char* end = putShortest(text, value);
  return std::string(text, static_cast<size_t>(end - text));
}

std::string markerTime(int32_t seconds) {
  char text[32] = {};
  SecondCache cache;
  const char* end = putIsoTime(text, int64_t{seconds} * 1000000, 3, cache);
  return std::string(text, static_cast<size_t>(end - text));
}

// ---- text ----

constexpr size_t kLabelWidth = 23;
constexpr size_t kLineWidth = 80;

void textLine(std::string& out, const std::string& label, const std::string& value) {
  out += "  " + label;
  out.append(kLabelWidth > label.size() + 2 ? kLabelWidth - label.size() - 2 : 1, ' ');
  out += value + "\n";
}

// Words after the label, wrapped to the line width under the label column.
void wrappedText(std::string& out, const std::string& label, const std::string& words) {
  std::string current;
  std::string first = label;
  size_t at = 0;
  while (at < words.size()) {
    const size_t space = words.find(' ', at);
    const std::string word = words.substr(at, space == std::string::npos ? std::string::npos : space - at);
    at = space == std::string::npos ? words.size() : space + 1;
    if (!current.empty() && kLabelWidth + current.size() + 1 + word.size() > kLineWidth) {
      textLine(out, first, current);
      first.clear();
      current.clear();
    }
    current += (current.empty() ? "" : " ") + word;
  }
  textLine(out, first, current);
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
  std::string all;
  for (const std::string& part : parts) all += (all.empty() ? "" : separator) + part;
  return all;
}

void line(InfoRows& rows, std::string label, std::string value) {
  rows.push_back({std::move(label), std::move(value), false});
}
void wrappedLine(InfoRows& rows, std::string label, std::string value) {
  rows.push_back({std::move(label), std::move(value), true});
}

void markerLines(InfoRows& out, const Summary& summary) {
  if (!summary.firstMarker) {
    line(out, "markers", "none");
    return;
  }
  line(out, "markers", markerTime(*summary.firstMarker) + " to " + markerTime(*summary.lastMarker));
  line(out, "gaps", summary.gaps == 0 ? "none"
                                      : std::to_string(summary.gaps) + ", " + std::to_string(summary.missingSeconds) +
                                            " s missing, the longest " + std::to_string(summary.longestGap) + " s");
  line(out, "steps back", summary.stepsBack == 0 ? "none" : std::to_string(summary.stepsBack));
}

void samplingLine(InfoRows& out, const Summary& summary) {
  std::string text = summary.rate ? "rate " + std::to_string(*summary.rate) : "no rate";
  const SecondsFigures figures = secondsFigures(summary);
  if (figures.seconds == 0) {
    text += "; no whole seconds";
  } else {
    text += "; min " + std::to_string(figures.min) + ", median " + std::to_string(figures.median) + ", max " +
            std::to_string(figures.max) + " over " + std::to_string(figures.seconds) + " s";
    if (summary.rate && *summary.rate != 0) {
      text += "; " + std::to_string(figures.shortSeconds) + " short, " + std::to_string(figures.longSeconds) + " long";
    }
  }
  wrappedLine(out, "records a second", text);
}

void sensorLines(InfoRows& out, const Summary& summary) {
  for (size_t sensor = 0; sensor < kSensors; ++sensor) {
    const SensorInfo& info = kSensorInfo[sensor];
    const ReadingRange& range = summary.sensors[sensor];
    if (range.count == 0) {
      line(out, info.label, "none");
      continue;
    }
    line(out, info.label, "min " + shortest(info, range.min) + "  max " + shortest(info, range.max));
    line(out, "", "mean " + shortest(info, meanOf(static_cast<Sensor>(sensor), range)));
    line(out, "", "first " + shortest(info, range.first) + "  last " + shortest(info, range.last));
  }
  if (!summary.leastSquaredNorm) {
    line(out, "quaternion length", "none");
  } else {
    line(out, "quaternion length", "min " + shortest(quatNorm(*summary.leastSquaredNorm)) + "  max " +
                                       shortest(quatNorm(*summary.greatestSquaredNorm)));
  }
}

// ---- JSON ----

std::string jsonNumber(uint64_t value) { return std::to_string(value); }

template <typename Value, typename Show>
std::string jsonOptional(const std::optional<Value>& value, Show show) {
  return value ? show(*value) : "null";
}

std::string jsonSensors(const Summary& summary) {
  std::string out = "{";
  for (size_t sensor = 0; sensor < kSensors; ++sensor) {
    const SensorInfo& info = kSensorInfo[sensor];
    const ReadingRange& range = summary.sensors[sensor];
    out += (sensor == 0 ? "\"" : ",\"") + std::string(info.key) + "\":";
    if (range.count == 0) {
      out += "null";
      continue;
    }
    out += "{\"count\":" + jsonNumber(range.count) + ",\"min\":" + shortest(info, range.min) +
           ",\"mean\":" + shortest(info, meanOf(static_cast<Sensor>(sensor), range)) +
           ",\"max\":" + shortest(info, range.max) + ",\"first\":" + shortest(info, range.first) +
           ",\"last\":" + shortest(info, range.last) + "}";
  }
  return out + "}";
}

std::string jsonSampling(const Summary& summary) {
  const SecondsFigures figures = secondsFigures(summary);
  const bool any = figures.seconds > 0;
  const bool rated = summary.rate && *summary.rate != 0;
  auto figure = [&](bool known, uint64_t value) { return known ? jsonNumber(value) : std::string("null"); };
  return "{\"rate\":" + jsonOptional(summary.rate, [](uint16_t rate) { return jsonNumber(rate); }) +
         ",\"seconds\":" + jsonNumber(figures.seconds) + ",\"min\":" + figure(any, figures.min) +
         ",\"median\":" + figure(any, figures.median) + ",\"max\":" + figure(any, figures.max) +
         ",\"short\":" + figure(rated, figures.shortSeconds) + ",\"long\":" + figure(rated, figures.longSeconds) + "}";
}

std::string jsonMarkers(const Summary& summary) {
  auto time = [](int32_t seconds) { return std::string("\"").append(markerTime(seconds)).append("\""); };
  return "{\"first\":" + jsonOptional(summary.firstMarker, time) + ",\"last\":" +
         jsonOptional(summary.lastMarker, time) + ",\"gaps\":" + jsonNumber(summary.gaps) +
         ",\"missing_s\":" + jsonNumber(summary.missingSeconds) + ",\"longest_gap_s\":" +
         jsonNumber(summary.longestGap) + ",\"steps_back\":" + jsonNumber(summary.stepsBack) + "}";
}

// The stretches salvage skips, when there are any: where they are, and
// what salvage keeps.
void suspectLines(InfoRows& out, const Summary& summary, bool ofAFile) {
  if (summary.suspectStretches == 0) return;
  constexpr size_t kShown = 10;
  std::vector<std::string> stretches;
  for (size_t i = 0; i < summary.suspect.size() && i < kShown; ++i) {
    stretches.push_back("at " + std::to_string(summary.suspect[i].offset) + " (" +
                        std::to_string(summary.suspect[i].size) + " bytes)");
  }
  std::string text = std::to_string(summary.suspectStretches) + ", " + std::to_string(summary.suspectBytes) + " bytes";
  if (ofAFile) {
    text += ": " + joined(stretches, ", ");
    if (summary.suspectStretches > stretches.size()) {
      text += ", and " + std::to_string(summary.suspectStretches - stretches.size()) + " more";
    }
  }
  wrappedLine(out, summary.salvaged ? "skipped stretches" : "suspect stretches", text);
  if (summary.salvaged) return;
  uint64_t kept = 0;
  std::vector<std::string> counts;
  for (size_t type = 0; type < kRecordTypes; ++type) {
    kept += summary.salvageRecords[type];
    counts.push_back(std::to_string(summary.salvageRecords[type]) + " " + typeName(type));
  }
  wrappedLine(out, "salvage keeps", std::to_string(kept) + " records: " + joined(counts, ", "));
}

std::string jsonSuspect(const Summary& summary, bool ofAFile) {
  std::string out = "{\"stretches\":" + jsonNumber(summary.suspectStretches) +
                    ",\"bytes\":" + jsonNumber(summary.suspectBytes) + ",\"first\":";
  if (!ofAFile) return out + "null}";
  out += "[";
  for (size_t i = 0; i < summary.suspect.size(); ++i) {
    out += (i == 0 ? "{\"offset\":" : ",{\"offset\":") + jsonNumber(summary.suspect[i].offset) +
           ",\"bytes\":" + jsonNumber(summary.suspect[i].size) + "}";
  }
  return out + "]}";
}

std::string jsonSalvageRecords(const Summary& summary) {
  std::string out = "{";
  for (size_t type = 0; type < kRecordTypes; ++type) {
    out += (type == 0 ? "\"" : ",\"") + typeName(type) + "\":" + jsonNumber(summary.salvageRecords[type]);
  }
  return out + "}";
}

}  // namespace

InfoRows infoRows(const Summary& summary, bool ofAFile) {
  InfoRows rows;
  std::vector<std::string> counts;
  for (size_t type = 0; type < kRecordTypes; ++type) {
    counts.push_back(std::to_string(summary.records[type]) + " " + typeName(type));
  }
  wrappedLine(rows, "records", joined(counts, ", "));
  markerLines(rows, summary);
  samplingLine(rows, summary);
  sensorLines(rows, summary);
  suspectLines(rows, summary, ofAFile);
  const std::vector<std::string> problems = problemsOf(summary);
  wrappedLine(rows, "status", problems.empty() ? "clean" : "problems: " + joined(problems, "; "));
  return rows;
}

std::string infoText(std::optional<std::string_view> name, const Summary& summary, uint64_t files) {
  std::string out = name ? displayName(*name) : "all " + std::to_string(files) + " files as one deployment";
  out += ": " + std::to_string(summary.bytes) + " bytes\n";
  for (const InfoRow& row : infoRows(summary, name.has_value())) {
    if (row.wrapped) {
      wrappedText(out, row.label, row.value);
    } else {
      textLine(out, row.label, row.value);
    }
  }
  return out + "\n";
}

std::string infoJson(std::optional<std::string_view> name, const Summary& summary) {
  std::string out = "{\"file\":";
  if (name) {
    // A name's bytes come back from the JSON text: a real backslash is
    // doubled, as a byte that is not UTF-8 is written \xHH.
    appendJsonString(out, recoverableName(*name));
  } else {
    out += "null";
  }
  out += ",\"bytes\":" + jsonNumber(summary.bytes) + ",\"records\":{";
  for (size_t type = 0; type < kRecordTypes; ++type) {
    out += (type == 0 ? "\"" : ",\"") + typeName(type) + "\":" + jsonNumber(summary.records[type]);
  }
  out += "},\"unknown_bytes\":" + jsonNumber(summary.unknownBytes) + ",\"first_unknown_offset\":" +
         (summary.unknownBytes > 0 ? jsonNumber(summary.firstUnknownOffset) : "null") +
         ",\"truncated_bytes\":" + jsonNumber(summary.truncatedBytes) +
 ",\"markers\":" + jsonMarkers(summary) +
         ",\"samples_per_second\":" + jsonSampling(summary) + ",\"sensors\":" + jsonSensors(summary) +
         ",\"quat_norm\":";
  if (summary.leastSquaredNorm) {
    out += "{\"min\":" + shortest(quatNorm(*summary.leastSquaredNorm)) +
           ",\"max\":" + shortest(quatNorm(*summary.greatestSquaredNorm)) + "}";
  } else {
    out += "null";
  }
  out += ",\"problems\":[";
  const std::vector<std::string> problems = problemsOf(summary);
  for (size_t i = 0; i < problems.size(); ++i) {
    if (i > 0) out += ",";
    appendJsonString(out, problems[i]);
  }
  // Keys added since the first release come last, so that the order of
  // the earlier ones holds.
  return out + "],\"unwritten_bytes\":" + jsonNumber(summary.unwrittenBytes) +
         ",\"salvaged\":" + (summary.salvaged ? "true" : "false") + ",\"suspect\":" + jsonSuspect(summary, name.has_value()) +
         ",\"salvage_records\":" + jsonSalvageRecords(summary) + "}\n";
}

namespace {

// ---- the dives ----

std::string fixedText(double value, int decimals) {
  char text[64];
  const double scale = std::pow(10.0, decimals);
  const char* end = putShortest(text, std::round(value * scale) / scale);
  return std::string(text, static_cast<size_t>(end - text));
}

std::string timeText(int64_t micros) {
  char text[32] = {};
  SecondCache cache;
  const char* end = putIsoTime(text, micros, 3, cache);
  return std::string(text, static_cast<size_t>(end - text));
}

std::string waterText(const AnalysisSettings& settings) {
  return settings.depth.water == Water::kSea ? "sea water, TEOS-10" : "fresh water, hydrostatic";
}

std::string surfaceText(const AnalysisSettings& settings) {
  if (settings.surface.fixedBar) return fixedText(*settings.surface.fixedBar, 6) + " bar, as given";
  return "estimated over " + fixedText(settings.surface.window / 3600, 3) + " h windows";
}

std::string latitudeText(const AnalysisSettings& settings) {
  return fixedText(settings.depth.latitude, 6) + (settings.latitudeGiven ? " degrees, as given" : " degrees, not given");
}

// The lines after the existing ones of a block: what the dives were, and
// what they were found with.
void diveLines(std::string& out, const DiveSummary& dives, const AnalysisSettings& settings) {
  textLine(out, "dives", std::to_string(dives.dives) + ", " + std::to_string(dives.cut) + " cut short");
  if (dives.dives > 0) {
    textLine(out, "deepest", fixedText(dives.deepest, 2) + " m at " + timeText(dives.deepestTime));
    textLine(out, "longest", fixedText(dives.longest, 1) + " s from " + timeText(dives.longestStart));
  }
  textLine(out, "time submerged", fixedText(dives.submerged, 1) + " s");
  wrappedText(out, "dives found with",
              waterText(settings) + "; latitude " + latitudeText(settings) + "; surface pressure " +
                  surfaceText(settings) + "; dive depth " + fixedText(settings.dives.diveDepth, 6) +
                  " m, surface depth " + fixedText(settings.dives.surfaceDepth, 6) + " m, shortest dive " +
                  fixedText(settings.dives.minimumDuration, 6) + " s, bottom fraction " +
                  fixedText(settings.dives.bottomFraction, 6));
}

std::string diveJson(const DiveSummary& dives, const AnalysisSettings& settings) {
  const bool any = dives.dives > 0;
  std::string out = "{\"count\":" + jsonNumber(dives.dives) + ",\"cut\":" + jsonNumber(dives.cut) +
                    ",\"deepest_m\":" + (any ? fixedText(dives.deepest, 4) : "null") +
                    ",\"deepest_time\":" + (any ? "\"" + timeText(dives.deepestTime) + "\"" : "null") +
                    ",\"longest_s\":" + (any ? fixedText(dives.longest, 3) : "null") +
                    ",\"longest_start\":" + (any ? "\"" + timeText(dives.longestStart) + "\"" : "null") +
                    ",\"submerged_s\":" + fixedText(dives.submerged, 3);
  out += ",\"parameters\":{\"water\":\"" + std::string(settings.depth.water == Water::kSea ? "sea" : "fresh") +
         "\",\"latitude\":" + fixedText(settings.depth.latitude, 6) +
         ",\"latitude_given\":" + (settings.latitudeGiven ? "true" : "false") + ",\"surface_bar\":" +
         (settings.surface.fixedBar ? fixedText(*settings.surface.fixedBar, 6) : "null") +
         ",\"surface_window_s\":" + fixedText(settings.surface.window, 3) +
         ",\"dive_depth_m\":" + fixedText(settings.dives.diveDepth, 6) +
         ",\"surface_depth_m\":" + fixedText(settings.dives.surfaceDepth, 6) +
         ",\"min_dive_s\":" + fixedText(settings.dives.minimumDuration, 6) +
         ",\"bottom_fraction\":" + fixedText(settings.dives.bottomFraction, 6) + "}}";
  return out;
}

// A block with the dives after its existing lines: in the text before the
// empty line that ends it, in JSON as the last key.
std::string withDives(std::string block, InfoFormat format, const DiveSummary& dives, const AnalysisSettings& settings) {
  if (format == InfoFormat::kJson) {
    block.insert(block.size() - 2, ",\"dives\":" + diveJson(dives, settings));
  } else {
    std::string lines;
    diveLines(lines, dives, settings);
    block.insert(block.size() - 1, lines);
  }
  return block;
}

constexpr AnalysisParts kDiveParts = {.dives = true};

}  // namespace

struct InfoRun::Impl {
  Impl(Sink& sink, InfoOptions options)
      : format(options.format),
        out(sink),
        summaryOptions{std::move(options.keepGoing), options.salvage},
        settings(options.analysis ? *options.analysis : AnalysisSettings{}),
        runAnalysis(settings, kDiveParts, runDives) {}

  InfoFormat format;
  TextOut out;
  SummaryOptions summaryOptions;
  AnalysisSettings settings;
  RunClock clock;
  SummaryTally run;
  Summary file;
  DiveTally runDives;
  AnalysisView<DiveTally> runAnalysis;
  uint64_t files = 0;
  // An input that failed may have been read in part into the run's analysis.
  bool anyFailed = false;
};

InfoRun::InfoRun(Sink& sink, InfoOptions options) : impl_(std::make_unique<Impl>(sink, std::move(options))) {}

InfoRun::~InfoRun() = default;
InfoRun::InfoRun(InfoRun&&) noexcept = default;
InfoRun& InfoRun::operator=(InfoRun&&) noexcept = default;

FileOutcome InfoRun::add(const Input& input) {
  if (impl_ == nullptr) return {{Errc::kInvalidArgument, EINVAL}, {}};
  try {
    return addFile(*impl_, input);
  } catch (const std::bad_alloc&) {
    return {outOfMemory(), {}};
  }
}

// The dives of the file alone: until the first file ends, the run's
// analysis is that file's, so the first is analysed once, and its own
// analysis is the run's as it stands, finished.
FileOutcome InfoRun::addFile(Impl& info, const Input& input) {
  SummaryTally file;
  DiveTally fileDives;
  std::optional<AnalysisView<DiveTally>> fileAnalysis;
  FileOutcome outcome;
  if (info.files == 0 && !info.anyFailed) {
    outcome = summariseInput(input, info.clock, file, info.run, info.summaryOptions, info.runAnalysis);
    fileDives = info.runDives;
    fileAnalysis.emplace(info.runAnalysis, fileDives);
  } else {
    fileAnalysis.emplace(info.settings, kDiveParts, fileDives);
    TeeView<AnalysisView<DiveTally>, AnalysisView<DiveTally>> analyses(*fileAnalysis, info.runAnalysis);
    outcome = summariseInput(input, info.clock, file, info.run, info.summaryOptions, analyses);
  }
  if (outcome.error.failed()) {
    info.anyFailed = true;
    return outcome;
  }
  ++info.files;
  try {
    fileAnalysis->finish();
    const std::string block =
        info.format == InfoFormat::kJson ? infoJson(input.name(), file.summary) : infoText(input.name(), file.summary, 1);
    info.out.text(withDives(block, info.format, fileDives.summary, info.settings));
  } catch (const std::bad_alloc&) {
    outcome.error = outOfMemory();
  }
  if (const Error written = info.out.flush(); written.failed()) outcome.error = written;
  return outcome;
}

Error InfoRun::finish() {
  if (impl_ == nullptr) return {Errc::kInvalidArgument, EINVAL};
  Impl& info = *impl_;
  try {
    info.runAnalysis.finish();
    const std::string block = info.format == InfoFormat::kJson ? infoJson(std::nullopt, info.run.summary)
                                                               : infoText(std::nullopt, info.run.summary, info.files);
    info.out.text(withDives(block, info.format, info.runDives.summary, info.settings));
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  }
  return info.out.flush();
}

}  // namespace zolt
