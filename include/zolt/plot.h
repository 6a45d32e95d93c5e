// The picture of a run: every file's records on one UTC time axis, drawn as
// a standalone SVG of six panels whose size does not grow with the run.
// What `decode --plot` draws.
#pragma once

#include <memory>
#include <string>

#include "zolt/records.h"
#include "zolt/time.h"

namespace zolt {

struct PlotOptions {
  TimeWindow window;
  KeepGoing keepGoing;
  bool salvage = false;  // only the records on each input's true framing
};

class PlotRun {
 public:
  explicit PlotRun(PlotOptions options = {});
  ~PlotRun();
  PlotRun(PlotRun&& other) noexcept;
  PlotRun& operator=(PlotRun&& other) noexcept;

  // Gathers one input, named in the title by its name.
  FileOutcome add(const Input& input);
  // The SVG of what was gathered.
  Result<std::string> render() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zolt
