// The analysis's tables as CSV. Values are rounded to what the readings
// can tell (a tenth of a millimetre of depth, a millisecond of time) and
// written with the fewest digits that say it; a value that is not known
// (a surface pressure no window gave, a rate of a side cut short) is an
// empty field.
#include "text/analysisCsv.h"

#include <cerrno>
#include <cmath>
#include <new>

#include "core/readInput.h"
#include "text/exactFormat.h"
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

// "," and the value to `decimals` places, or "," alone for one not known.
char* putRounded(char* out, double value, int decimals) {
  *out++ = ',';
  if (!std::isfinite(value)) return out;
  const double scale = std::pow(10.0, decimals);
  const double rounded = std::round(value * scale) / scale;
  return putShortest(out, rounded == 0 ? 0.0 : rounded);  // never "-0"
}

class AnalysisCsvRows {
 public:
  AnalysisCsvRows(TextOut& out, const TimeWindow& window) : out_(out), window_(window) {}

  void depth(const SurfaceReading& reading, double depth) {
    if (!window_.keeps(reading.time)) return;
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
  SecondCache seconds_;
};

}  // namespace

struct AnalysisCsvRun::Impl {
  Impl(Sink& sink, const AnalysisCsvOptions& given)
      : options(given), out(sink), rows(out, options.window), view(options.settings, partsOf(options.table), rows) {}

  // The header row, once, before any row.
  Error begin() {
    if (begun) return {};
    try {
      out.text(headerRow(options.table));
    } catch (const std::bad_alloc&) {
      return outOfMemory();
    }
    begun = true;
    return {};
  }

  AnalysisCsvOptions options;
  TextOut out;
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
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  }
  return run.out.flush();
}

}  // namespace zolt
