// Gathering the picture of a run: every file's records placed on one time
// axis of columns, and the facts the title tells.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/recordClock.h"
#include "views/timeColumns.h"
#include "zolt/plot.h"

namespace zolt {

// What the title line tells besides the columns.
struct PlotFacts {
  std::vector<std::string> names;
  std::optional<uint16_t> id;    // of the first file header
  std::optional<uint16_t> rate;  // of the first file header
};

// What the picture has gathered of the run so far.
struct PlotGathering {
  TimeWindow window;
  TimeColumns columns;
  PlotFacts facts;
  RunClock clock;
};

struct PlotRun::Impl {
  PlotGathering gathered;
  KeepGoing keepGoing;
  bool salvage = false;
};

// Gathers one input into the run.
FileOutcome gatherPlot(PlotGathering& run, const Input& input, const KeepGoing& keepGoing, bool salvage);

}  // namespace zolt
