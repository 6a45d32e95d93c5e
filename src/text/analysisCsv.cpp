// The analysis's tables as CSV. Values are rounded to what the readings
// can tell (a tenth of a millimetre of depth, a millisecond of time) and
// written with the fewest digits that say it; a value that is not known
// (a surface pressure no window gave, a rate of a side cut short) is an
// empty field.
#include "text/analysisCsv.h"

#include <cerrno>
#include <cmath>
#include <array>
#include <limits>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "core/readInput.h"
#include "core/shortestDecimal.h"
#include "text/exactFormat.h"
#include "text/intervalCsv.h"
#include "text/textFormat.h"
#include "text/textOut.h"
#include "views/analysisView.h"

namespace zolt {

namespace {

constexpr size_t kRowRoom = 512;  // more than any row

const char* headerRow(DerivedTable table) {
  switch (table) {
    case DerivedTable::kDepth: return "time,pressure,surface_pressure,depth\n";
    case DerivedTable::kDives:
      return "number,start,end,duration_s,max_depth_m,max_depth_time,bottom_time_s,descent_time_s,descent_rate_m_s,"
             "ascent_time_s,ascent_rate_m_s,surface_interval_s,mean_vedba,complete\n";
    case DerivedTable::kActivity:
      return "time,static_x,static_y,static_z,odba,vedba,pitch,roll,quat_pitch,quat_roll,quat_heading\n";
  }
  return "\n";
}

AnalysisParts partsOf(DerivedTable table) {
  switch (table) {
    case DerivedTable::kDepth: return {.depth = true};
    case DerivedTable::kDives: return {.dives = true, .diveDba = true};
    case DerivedTable::kActivity: return {.activity = true};
  }
  return {};
}

// The value to `decimals` places, never -0; NaN for one not known.
double rounded(double value, int decimals) {
  if (!std::isfinite(value)) return std::numeric_limits<double>::quiet_NaN();
  const double scale = std::pow(10.0, decimals);
  const double near = std::round(value * scale) / scale;
  return near == 0 ? 0.0 : near;
}

// "," and the value to `decimals` places, or "," alone for one not known.
char* putRounded(char* out, double value, int decimals) {
  *out++ = ',';
  const double near = rounded(value, decimals);
  return std::isnan(near) ? out : putShortest(out, near);
}

// The columns after the time that averages are made of, as the header row
// names them.
std::vector<std::string_view> figureNames(DerivedTable table) {
  std::string_view names = headerRow(table);
  names.remove_suffix(1);  // the newline
  std::vector<std::string_view> columns;
  for (size_t at = names.find(',') + 1; at != 0; ) {
    const size_t end = names.find(',', at);
    columns.push_back(names.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
    at = end + 1;
  }
  return columns;
}

constexpr size_t kDepthFigures = 3;
constexpr size_t kActivityFigures = 10;

// The table's rows, as their text reads back, handed to interval averages.
struct AnalysisAverages {
  AnalysisAverages(TextOut& out, DerivedTable table, const Averaging& averaging)
      : text(out, averaging), averages(figureNames(table).size(), averaging, text) {}
  IntervalCsv text;
  IntervalAverages averages;
};

class AnalysisCsvRows {
 public:
  AnalysisCsvRows(TextOut& out, const TimeWindow& window, AnalysisAverages* averages)
      : out_(out), window_(window), averages_(averages) {}

  void depth(const SurfaceReading& reading, double depth) {
    if (!window_.keeps(reading.time)) return;
    if (averages_ != nullptr) {
      const std::array<double, kDepthFigures> figures = {
          shortestDecimal(static_cast<float>(reading.bar)), rounded(reading.surfaceBar, 5), rounded(depth, 4)};
      averages_->averages.add(reading.time, figures);
      return;
    }
    char* out = putIsoTime(out_.reserve(kRowRoom), reading.time, 3, seconds_);
    out = putShortest(putText(out, ","), static_cast<float>(reading.bar));
    out = putRounded(out, reading.surfaceBar, 5);
    endRow(putRounded(out, depth, 4));
  }

  void dive(const Dive& dive) {
    if (!window_.keeps(dive.start)) return;
    char* out = putUnsigned(out_.reserve(kRowRoom), dive.number);
    out = putIsoTime(putText(out, ","), dive.start, 3, seconds_);
    out = putIsoTime(putText(out, ","), dive.end, 3, seconds_);
    out = putRounded(out, dive.duration, 3);
    out = putRounded(out, dive.maxDepth, 4);
    out = putIsoTime(putText(out, ","), dive.maxDepthTime, 3, seconds_);
    out = putRounded(out, dive.bottomTime, 3);
    out = putRounded(out, dive.descentTime, 3);
    out = putRounded(out, dive.descentRate, 4);
    out = putRounded(out, dive.ascentTime, 3);
    out = putRounded(out, dive.ascentRate, 4);
    out = putRounded(out, dive.surfaceInterval, 3);
    out = putRounded(out, dive.meanDba, 5);
    endRow(putText(out, dive.complete() ? ",true" : ",false"));
  }

  void activity(const ActivitySample& sample) {
    if (!window_.keeps(sample.time)) return;
    if (averages_ != nullptr) {
      const std::array<double, kActivityFigures> figures = {
          rounded(sample.staticAcceleration[0], 6), rounded(sample.staticAcceleration[1], 6),
          rounded(sample.staticAcceleration[2], 6), rounded(sample.odba, 6),
          rounded(sample.vedba, 6), rounded(sample.gravity.pitch, 3),
          rounded(sample.gravity.roll, 3), rounded(sample.quaternion.pitch, 3),
          rounded(sample.quaternion.roll, 3), rounded(sample.quaternion.heading, 3)};
      averages_->averages.add(sample.time, figures);
      return;
    }
    char* out = putIsoTime(out_.reserve(kRowRoom), sample.time, 6, seconds_);
    for (const double axis : sample.staticAcceleration) out = putRounded(out, axis, 6);
    out = putRounded(out, sample.odba, 6);
    out = putRounded(out, sample.vedba, 6);
    out = putRounded(out, sample.gravity.pitch, 3);
    out = putRounded(out, sample.gravity.roll, 3);
    out = putRounded(out, sample.quaternion.pitch, 3);
    out = putRounded(out, sample.quaternion.roll, 3);
    endRow(putRounded(out, sample.quaternion.heading, 3));
  }

  Error failure() const { return out_.failure(); }

 private:
  void endRow(char* out) { out_.commit(putText(out, "\n")); }

  TextOut& out_;
  const TimeWindow& window_;
  AnalysisAverages* averages_;
  SecondCache seconds_;
};

}  // namespace


struct AnalysisCsvRun::Impl {
  Impl(Sink& sink, const AnalysisCsvOptions& given)
      : options(given),
        out(sink),
        averages(options.averaging.on() && averagesOf(options.table)
                     ? std::make_unique<AnalysisAverages>(out, options.table, options.averaging)
                     : nullptr),
        rows(out, options.window, averages.get()),
        view(options.settings, partsOf(options.table), rows) {}

  // The header row, once, before any row.
  Error begin() {
    if (begun) return {};
    try {
      if (averages) {
        out.text(intervalHeaderRow(figureNames(options.table), options.averaging));
      } else {
        out.text(headerRow(options.table));
      }
    } catch (const std::bad_alloc&) {
      return outOfMemory();
    }
    begun = true;
    return {};
  }

  AnalysisCsvOptions options;
  TextOut out;
  std::unique_ptr<AnalysisAverages> averages;
  AnalysisCsvRows rows;
  AnalysisView<AnalysisCsvRows> view;
  RunClock clock;
  bool begun = false;
};

AnalysisCsvRun::AnalysisCsvRun(Sink& sink, const AnalysisCsvOptions& options)
    : impl_(std::make_unique<Impl>(sink, options)) {}

AnalysisCsvRun::~AnalysisCsvRun() = default;

FileOutcome AnalysisCsvRun::add(const Input& input) {
  Impl& run = *impl_;
  if (Error begun = run.begin(); begun.failed()) return {std::move(begun), {}};
  FileOutcome outcome = readInput(input, run.clock, run.view, run.options.keepGoing, run.options.salvage);
  if (const Error written = run.out.flush(); written.failed()) outcome.error = written;
  return outcome;
}

Error AnalysisCsvRun::finish() {
  Impl& run = *impl_;
  if (Error begun = run.begin(); begun.failed()) return begun;
  try {
    run.view.finish();
    if (run.averages) run.averages->averages.finish();
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  }
  return run.out.flush();
}

}  // namespace zolt
