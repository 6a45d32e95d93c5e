// The picture of a run: every file's records gathered on one time axis, and
// drawn as a standalone SVG of six panels.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "csvTables.h"
#include "timeColumns.h"

// What the title line tells besides the columns.
struct PlotFacts {
  std::vector<std::string> names;
  std::optional<uint16_t> id;    // of the first file header
  std::optional<uint16_t> rate;  // of the first file header
};

class PlotRun {
 public:
  explicit PlotRun(const TimeWindow& window) : window_(window) {}

  // Gathers one named file ("-" for standard input); false when it could
  // not be opened or read to its end.
  bool addFile(const char* name);
  const TimeColumns& columns() const { return columns_; }
  const PlotFacts& facts() const { return facts_; }

 private:
  friend class PlotView;
  TimeWindow window_;
  TimeColumns columns_;
  PlotFacts facts_;
  uint16_t rate_ = 0;                  // of the latest file header, for sample times
  std::optional<int32_t> lastMarker_;  // of the run, for gaps between files
};

// The SVG of the gathered run.
std::string renderPlot(const TimeColumns& columns, const PlotFacts& facts);
