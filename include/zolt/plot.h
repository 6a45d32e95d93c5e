// The picture of a run: every file's records on one UTC time axis, drawn as
// a standalone SVG of six panels whose size does not grow with the run.
// What `decode --plot` draws.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "zolt/records.h"
#include "zolt/time.h"

namespace zolt {

class PlotRun {
 public:
  explicit PlotRun(const TimeWindow& window = {});
  ~PlotRun();

  // Gathers one input, named `name` in the title.
  FileOutcome add(std::string_view name, const Input& input, const KeepGoing& keepGoing = {});
  // The SVG of what was gathered.
  Result<std::string> render() const;

  struct Impl;  // what is gathered, for the library's own code

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace zolt
