// The analysis of a run (depth, and the dives) as two groups of the netCDF
// file beside those of the record tables, laid out as they are: `depth`
// along `obs`, with time as microseconds since the run's first second and
// the other variables on it as coordinates; `dives` along a `dive`
// dimension, a variable for each column of the dive table. The method and
// its parameters go into the attributes of the variables they made and of
// the dive group.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "analysis/analysisSettings.h"
#include "netcdf/groupLayout.h"
#include "zolt/input.h"
#include "zolt/time.h"

namespace zolt {

struct WholeVariable {
  std::string name;
  std::variant<std::vector<int64_t>, std::vector<double>> values;
  std::vector<VariableAttribute> attributes;
};

struct WholeGroup {
  std::string name;
  std::string dimension;
  std::vector<WholeVariable> variables;
  std::vector<VariableAttribute> attributes;
};

struct AnalysisGroupsOptions {
  TimeWindow window;
  bool salvage = false;
  KeepGoing keepGoing;
  AnalysisSettings settings;  // sound: each component takes them
  int64_t epochMicros = 0;    // what the times count from
};

// Whether the inputs can be read a second time for the analysis: a pipe
// cannot, whether given as a descriptor or by name.
bool analysable(std::span<const Input> inputs);

// The inputs read again, as one deployment, into the two groups; what was
// damaged the first reading told.
std::vector<WholeGroup> analysisGroups(std::span<const Input> inputs, const AnalysisGroupsOptions& options);

}  // namespace zolt
