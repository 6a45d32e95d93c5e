// What an output that carries depth, dives or activity says of how they
// were made: the method and every parameter, as (name, value) pairs that
// Python's DataFrame.attrs and the netCDF file's attributes both take, so
// that a table read back later still says what made it.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "analysis/analysisSettings.h"
#include "analysis/derivedTables.h"

namespace zolt {

struct AnalysisAttribute {
  std::string name;
  std::variant<std::string, double> value;
};

// Those of the parameters that `table` rests on: the depth's and the
// surface pressure's for every table but activity, the dives' for dives,
// the activity window for the dives (their mean VeDBA) and activity.
std::vector<AnalysisAttribute> analysisAttributes(const AnalysisSettings& settings, DerivedTable table);

// The units of each column of a table, by column name; none for a column
// without a unit (a count, a flag, an acceleration in the logger's unit).
std::vector<std::pair<std::string, std::string>> analysisUnits(DerivedTable table);

}  // namespace zolt
