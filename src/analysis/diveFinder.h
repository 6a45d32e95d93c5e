// Dives found in a stream of depths. A dive is a time under water that
// passes the dive depth: it is found where the depth goes below
// `diveDepth`, and it ends where the depth comes back above
// `surfaceDepth`. Its start is where it went below `surfaceDepth` on its
// way down, so that both ends of a dive lie at the same depth and a dive's
// duration, descent and ascent compare with another's. Both crossings are
// interpolated between the readings on either side.
//
// A dive cut short (by the end of the input, a gap in the clock, damage or
// a depth that is not known: whatever the caller marks with cut()) is
// reported with the part that was seen and flagged, never as whole: the
// side that was cut gives no descent or ascent, and no surface interval.
//
// Nothing of a dive's readings is kept but what says when it first and
// last reached each depth (analysis/levelCrossings.h); dynamic body
// acceleration may come in any time ahead of the depth, or up to a minute
// behind it (the finder waits that long for it before it goes on).
#pragma once

#include <cmath>
#include <cstdint>
#include <deque>
#include <optional>

#include "analysis/dbaBins.h"
#include "analysis/levelCrossings.h"
#include "zolt/error.h"

namespace zolt {

struct DiveParameters {
  // Metres. Waves of half a metre and the sensor's noise at the surface
  // stay well clear of 2 m, and studies of tagged animals commonly take 1 to
  // 2 m for the least depth of a dive.
  double diveDepth = 2;
  // Metres, less than the dive depth: a dive that comes back up to between
  // the two and goes down again is one dive, not two.
  double surfaceDepth = 1;
  // Seconds: a shorter time under water (a spike of one or two readings)
  // is not a dive. A dive cut short is reported whatever its length.
  double minimumDuration = 5;
  // The bottom of a dive is the time from when it first reached this
  // fraction of its greatest depth to when it last left it.
  double bottomFraction = 0.8;
};

struct Dive {
  uint64_t number = 0;  // from 1
  int64_t start = 0;    // microseconds; where it was cut, the first reading seen
  int64_t end = 0;      // microseconds; where it was cut, the last reading seen
  double duration = 0;  // seconds
  double maxDepth = 0;  // metres
  int64_t maxDepthTime = 0;
  double bottomTime = 0;   // seconds
  double descentTime = 0;  // seconds, from the start to the bottom; NaN where cut
  double descentRate = 0;  // m/s, mean, positive down; NaN where cut
  double ascentTime = 0;   // seconds, from the bottom to the end; NaN where cut
  double ascentRate = 0;   // m/s, mean, positive up; NaN where cut
  double surfaceInterval = 0;  // seconds to the next dive's start; NaN where not known
  double meanDba = 0;          // of the samples given; NaN without any
  bool cutAtStart = false;
  bool cutAtEnd = false;
  bool complete() const { return !cutAtStart && !cutAtEnd; }
};

class DiveFinder {
 public:
  static constexpr int64_t kDbaWait = 60'000'000;  // us

  DiveFinder() : DiveFinder(DiveParameters{}) {}
  // Refuses depths that are negative or not numbers, a surface depth not
  // less than the dive depth, a negative duration, and a bottom fraction
  // outside (0, 1].
  static Result<DiveFinder> make(const DiveParameters& parameters);

  // A depth in metres at a time in microseconds, in time order; a depth
  // that is not a number, or a time before the one before, cuts there.
  void addDepth(int64_t time, double depth);
  // A sample of dynamic body acceleration, in time order among themselves.
  void addDba(int64_t time, double dba) {
    // Most come in well ahead of the depth of their time, which nothing
    // waits for: they only go to the bins.
    const bool ahead = !processedTime_ || time > *processedTime_;
    const bool nothingWaits = held_.empty() || held_.front().time > time;
    if (ahead && nothingWaits && dbaTime_ && time >= *dbaTime_ && std::isfinite(dba)) {
      dbaTime_ = time;
      bins_.add(time, dba);
      return;
    }
    addDbaElsewhere(time, dba);
  }
  // What comes next does not continue what came before.
  void cut();
  // The input is over: a dive still open is cut.
  void finish();
  // The next dive whose row is whole, in order.
  std::optional<Dive> next();

 private:
  explicit DiveFinder(const DiveParameters& parameters);

  struct Reading {
    int64_t time;
    double depth;
    bool cut;  // a cut, not a reading
  };
  struct Excursion {
    Dive dive;
    double startTime;  // us, not yet rounded
    double startDepth;
    double dbaSum;
    double dbaCount;
  };

  void addDbaElsewhere(int64_t time, double dba);
  void processHeld(bool all);
  void process(const Reading& reading);
  void open(const Reading& reading);
  void close(double endTime, bool cutAtEnd);
  void takeBins(int64_t until, bool underWater, double to);
  void finishDive(Excursion& excursion, double endTime);
  void emit(Dive& dive, double nextStart);
  void cutHere();

  DiveParameters parameters_;
  std::deque<Reading> held_;
  std::optional<int64_t> dbaTime_;
  std::optional<int64_t> latestDepthTime_;
  std::optional<Reading> last_;  // the reading before, since the last cut
  std::optional<Excursion> excursion_;
  std::optional<Dive> waiting_;  // for the start of the next dive
  LevelCrossings crossings_;
  DbaBins bins_;
  std::optional<int64_t> processedTime_;
  uint64_t dives_ = 0;
  std::deque<Dive> ready_;
};

}  // namespace zolt
