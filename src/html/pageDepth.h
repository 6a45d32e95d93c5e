// The depth of the pressure readings and the dives in it, for the page:
// the analysis that --csv=depth and --csv=dives make, with their default
// settings, fed by the page's own read of every input and lasting the
// whole run, so that a deployment split over files is one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "views/analysisView.h"

namespace zolt {

struct PageRun;

// Depth is kept in tenths of a millimetre, the rounding --csv=depth writes.
constexpr int kDepthDecimals = 4;
// The most dives the page shades and names: their rows go into the page
// whole, and no bucket makes them fewer.
constexpr size_t kMostPageDives = 5000;

// A dive as the page shades and names it.
struct PageDive {
  uint64_t number;
  int64_t start;  // microseconds
  int64_t end;
  double maxDepth;  // metres
};

// Takes the analysis's rows into the run: the depths as a group of their
// own, the dives whose start the window keeps.
class PageDepthRows {
 public:
  explicit PageDepthRows(PageRun& run) : run_(run) {}
  void depth(const SurfaceReading& reading, double depth);
  void dive(const Dive& dive);
  void activity(const ActivitySample& /*sample*/) {}

 private:
  PageRun& run_;
};

class PageDepth {
 public:
  explicit PageDepth(PageRun& run);
  AnalysisView<PageDepthRows>& view() { return view_; }
  // The run is over: the readings still held, and a dive still open, cut.
  void finish() { view_.finish(); }

 private:
  PageDepthRows rows_;
  AnalysisView<PageDepthRows> view_;
};

}  // namespace zolt
