#include "analysis/diveFinder.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/parameterError.h"

namespace zolt {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMicroseconds = 1e6;

// Where the line between two readings passes `level`.
double crossingTime(int64_t fromTime, double fromDepth, int64_t toTime, double toDepth, double level) {
  const double span = toDepth - fromDepth;
  const double fraction = span == 0 ? 1.0 : std::clamp((level - fromDepth) / span, 0.0, 1.0);
  return static_cast<double>(fromTime) + fraction * static_cast<double>(toTime - fromTime);
}

bool finiteAtLeast(double value, double least) { return std::isfinite(value) && value >= least; }

}  // namespace

Result<DiveFinder> DiveFinder::make(const DiveParameters& parameters) {
  if (!finiteAtLeast(parameters.diveDepth, 0) || parameters.diveDepth == 0)
    return parameterError("dive depth", "a positive number of metres", parameters.diveDepth);
  if (!finiteAtLeast(parameters.surfaceDepth, 0) || parameters.surfaceDepth >= parameters.diveDepth)
    return parameterError("surface depth", "at least 0 m and less than the dive depth", parameters.surfaceDepth);
  if (!finiteAtLeast(parameters.minimumDuration, 0))
    return parameterError("least duration of a dive", "a number of seconds, at least 0", parameters.minimumDuration);
  if (!(parameters.bottomFraction > 0 && parameters.bottomFraction <= 1))
    return parameterError("fraction of the greatest depth at the bottom", "more than 0 and at most 1",
                          parameters.bottomFraction);
  return DiveFinder(parameters);
}

DiveFinder::DiveFinder(const DiveParameters& parameters) : parameters_(parameters) {}

void DiveFinder::addDepth(int64_t time, double depth) {
  latestDepthTime_ = std::max(latestDepthTime_.value_or(time), time);
  held_.push_back({time, depth, false});
  processHeld(false);
}

void DiveFinder::addDbaElsewhere(int64_t time, double dba) {
  dbaTime_ = std::max(dbaTime_.value_or(time), time);
  if (std::isfinite(dba)) {
    if (processedTime_ && time <= *processedTime_) {
      if (excursion_ && static_cast<double>(time) >= excursion_->startTime) {
        excursion_->dbaSum += dba;
        excursion_->dbaCount += 1;
      }
    } else {
      bins_.add(time, dba);
    }
  }
  if (!held_.empty() && held_.front().time <= time) processHeld(false);
}

void DiveFinder::cut() {
  held_.push_back({0, 0, true});
  processHeld(false);
}

void DiveFinder::finish() {
  processHeld(true);
  cutHere();
}

// A reading waits until the acceleration of its time has come in, or until
// the depth is a minute past it.
void DiveFinder::processHeld(bool all) {
  while (!held_.empty()) {
    const Reading& front = held_.front();
    const bool ready = all || front.cut || (dbaTime_ && *dbaTime_ >= front.time) ||
                       *latestDepthTime_ - front.time >= kDbaWait;
    if (!ready) return;
    const Reading reading = front;
    held_.pop_front();
    process(reading);
  }
}

void DiveFinder::process(const Reading& reading) {
  if (reading.cut || !std::isfinite(reading.depth)) {
    cutHere();
    return;
  }
  if (last_ && reading.time < last_->time) cutHere();
  processedTime_ = reading.time;
  if (!excursion_) {
    if (reading.depth >= parameters_.surfaceDepth) {
      open(reading);
    } else {
      takeBins(reading.time, false, 0);
    }
  } else {
    Dive& dive = excursion_->dive;
    if (reading.depth > dive.maxDepth) {
      dive.maxDepth = reading.depth;
      dive.maxDepthTime = reading.time;
    }
    if (reading.depth < parameters_.surfaceDepth) {
      const double end =
          crossingTime(last_->time, last_->depth, reading.time, reading.depth, parameters_.surfaceDepth);
      crossings_.add({end, parameters_.surfaceDepth});
      takeBins(reading.time, true, end);
      close(end, false);
    } else {
      crossings_.add({static_cast<double>(reading.time), reading.depth});
      takeBins(reading.time, true, std::numeric_limits<double>::infinity());
    }
  }
  last_ = reading;
}

// Under water, from the crossing of the surface depth since the reading
// before, or from this reading where there is none before it.
void DiveFinder::open(const Reading& reading) {
  Excursion excursion{};
  crossings_.clear();
  if (last_) {
    excursion.startTime =
        crossingTime(last_->time, last_->depth, reading.time, reading.depth, parameters_.surfaceDepth);
    excursion.startDepth = parameters_.surfaceDepth;
    crossings_.add({excursion.startTime, excursion.startDepth});
  } else {
    excursion.startTime = static_cast<double>(reading.time);
    excursion.startDepth = reading.depth;
    excursion.dive.cutAtStart = true;
  }
  crossings_.add({static_cast<double>(reading.time), reading.depth});
  excursion.dive.maxDepth = reading.depth;
  excursion.dive.maxDepthTime = reading.time;
  excursion_ = excursion;
  takeBins(reading.time, true, std::numeric_limits<double>::infinity());
}

// The bins up to `until` count for the time under water when their centres
// lie in it, up to `to`; the others were taken at the surface.
void DiveFinder::takeBins(int64_t until, bool underWater, double to) {
  bins_.takeUntil(until, [&](int64_t centre, double sum, uint64_t count) {
    const auto at = static_cast<double>(centre);
    if (!underWater || !excursion_ || at < excursion_->startTime || at > to) return;
    excursion_->dbaSum += sum;
    excursion_->dbaCount += static_cast<double>(count);
  });
}

void DiveFinder::close(double endTime, bool cutAtEnd) {
  Excursion excursion = *excursion_;
  excursion_.reset();
  excursion.dive.cutAtEnd = cutAtEnd;
  if (excursion.dive.maxDepth < parameters_.diveDepth) return;
  const double duration = (endTime - excursion.startTime) / kMicroseconds;
  if (excursion.dive.complete() && duration < parameters_.minimumDuration) return;
  finishDive(excursion, endTime);
  if (waiting_) {
    emit(*waiting_, excursion.dive.cutAtStart ? kNaN : excursion.startTime);
    waiting_.reset();
  }
  if (cutAtEnd) {
    emit(excursion.dive, kNaN);
  } else {
    waiting_ = excursion.dive;
  }
}

void DiveFinder::finishDive(Excursion& excursion, double endTime) {
  Dive& dive = excursion.dive;
  dive.number = ++dives_;
  dive.start = std::llround(excursion.startTime);
  dive.end = std::llround(endTime);
  dive.duration = (endTime - excursion.startTime) / kMicroseconds;
  const double bottom = parameters_.bottomFraction * dive.maxDepth;
  const double bottomStart = std::max(excursion.startTime, crossings_.firstReaching(bottom));
  const double bottomEnd = std::clamp(crossings_.lastLeaving(bottom), bottomStart, endTime);
  dive.bottomTime = (bottomEnd - bottomStart) / kMicroseconds;
  dive.descentTime = dive.cutAtStart ? kNaN : (bottomStart - excursion.startTime) / kMicroseconds;
  dive.descentRate = dive.descentTime > 0 ? (bottom - excursion.startDepth) / dive.descentTime : kNaN;
  dive.ascentTime = dive.cutAtEnd ? kNaN : (endTime - bottomEnd) / kMicroseconds;
  dive.ascentRate = dive.ascentTime > 0 ? (bottom - parameters_.surfaceDepth) / dive.ascentTime : kNaN;
  dive.meanDba = excursion.dbaCount > 0 ? excursion.dbaSum / excursion.dbaCount : kNaN;
}

void DiveFinder::emit(Dive& dive, double nextStart) {
  dive.surfaceInterval = std::isnan(nextStart) ? kNaN : (nextStart - static_cast<double>(dive.end)) / kMicroseconds;
  ready_.push_back(dive);
}

// The dive under way ends at the last reading, and the one before it
// never learns when the next began.
void DiveFinder::cutHere() {
  if (excursion_) close(static_cast<double>(last_->time), true);
  if (waiting_) {
    emit(*waiting_, kNaN);
    waiting_.reset();
  }
  last_.reset();
}

std::optional<Dive> DiveFinder::next() {
  if (ready_.empty()) return std::nullopt;
  const Dive dive = ready_.front();
  ready_.pop_front();
  return dive;
}

}  // namespace zolt
