// A run of record files as one self-describing netCDF-4 file following the
// CF conventions, written through libnetcdf. What `decode --netcdf` writes.
//
// One group per table, named as the tables, each with one dimension `obs`,
// a variable `time(obs)` (integer microseconds since the run's first second
// marker) and one variable per column of that CSV table, with the column's
// name. Link with zolt::netcdf.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "zolt/records.h"
#include "zolt/tables.h"

namespace zolt {

enum class NetcdfType : uint8_t { kShort, kInt, kInt64, kDouble, kString };

// How one column of a table is stored: from which of the table's columns
// (a raw count column for packed values), as what, and what it says of
// itself.
struct NetcdfVariable {
  std::string_view name;
  std::string_view column;
  NetcdfType type;
  double scaleFactor;  // 0: the values are stored as they are
  std::string_view longName;
  std::string_view units;  // UDUNITS; empty where there is none or it is not known
  std::string_view standardName;
  std::string_view comment;
};

// The variables of a table's group, time first: one for each column of
// the CSV table, under its name.
std::span<const NetcdfVariable> netcdfVariables(TableKind kind);

struct NetcdfAttribute {
  std::string name;
  std::variant<std::string, int64_t, double> value;
};

// Why netCDF would not take `name` for a global attribute, in a sentence
// that shows the name escaped and cut short; nothing when it would.
std::optional<std::string> attributeNameProblem(std::string_view name);

// The most attributes a caller may add: HDF5 slows down and then fails
// with many more.
constexpr size_t kMostAttributes = 1000;

struct AnalysisSettings;

struct NetcdfOptions {
  TimeWindow window;
  // Global attributes that are added, or that replace the decoder's own.
  std::vector<NetcdfAttribute> attributes;
  // What made the file, for the history attribute after the time.
  std::string history;
  // Write nothing unless every input could be read to its end.
  bool allOrNothing = false;
  KeepGoing keepGoing;
  bool salvage = false;  // only the records on each input's true framing
  // The parameters of the depth and the dives, which the groups `depth` and
  // `dives` hold (analysis/analysisSettings.h); the defaults where none are
  // given. An input that is a pipe cannot be read again for them: then
  // neither group is written.
  std::shared_ptr<const AnalysisSettings> analysis = nullptr;
};

struct NetcdfResult {
  Error error;  // why the file is not there; inputs that failed are in `inputs`
  std::vector<FileOutcome> inputs;
  bool written = false;  // false too when no input could be read
};

// Writes the inputs, as one run, to `path`, whole or not at all: under a
// temporary name beside it, renamed when complete. An existing path that
// is not a regular file is never replaced; a symbolic link is followed.
// Nothing is written when no input could be read. Each input is named in
// the file by its name.
NetcdfResult writeNetcdf(const std::string& path, std::span<const Input> inputs, const NetcdfOptions& options);

}  // namespace zolt
