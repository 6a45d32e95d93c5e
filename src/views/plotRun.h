// Gathering the picture of a run: every file's records placed on one time
// axis of columns, and the facts the title tells.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/recordClock.h"
#include "views/analysisView.h"
#include "views/timeColumns.h"
#include "zolt/plot.h"

namespace zolt {

// What the title line tells besides the columns.
struct PlotFacts {
  std::vector<std::string> names;
  std::optional<uint16_t> id;    // of the first file header
  std::optional<uint16_t> rate;  // of the first file header
};

// A dive, as the depth panel shades it.
struct PlotDive {
  int64_t start;
  int64_t end;
  uint64_t number;
};

// The depth of the run, with the decoder's default parameters, into the
// columns beside the pressure, and the dives.
class PlotDepthRows {
 public:
  PlotDepthRows(const TimeWindow& window, TimeColumns& columns) : window_(window), columns_(columns) {}
  void depth(const SurfaceReading& reading, double depth);
  void dive(const Dive& dive);
  void activity(const ActivitySample& /*sample*/) {}

  std::vector<PlotDive> dives;

 private:
  const TimeWindow& window_;
  TimeColumns& columns_;
};

// What the picture has gathered of the run so far.
struct PlotGathering {
  TimeWindow window;
  TimeColumns columns;
  PlotFacts facts;
  RunClock clock;
  PlotDepthRows depthRows{window, columns};
  // The analysis lasts the whole run, so that a deployment over many files
  // is one; it is finished once, before the drawing.
  AnalysisView<PlotDepthRows> analysis{AnalysisSettings{}, {.depth = true, .dives = true}, depthRows};
  bool analysed = false;
};

struct PlotRun::Impl {
  PlotGathering gathered;
  KeepGoing keepGoing;
  bool salvage = false;
};

// Gathers one input into the run.
FileOutcome gatherPlot(PlotGathering& run, const Input& input, const KeepGoing& keepGoing, bool salvage);

}  // namespace zolt
