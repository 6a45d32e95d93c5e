// How a table's group of a netCDF file stores its rows: which variables,
// with which attributes, and each chunk of rows as the values a variable
// stores (times as offsets from the run's first second marker, accelerations
// as counts with a scale factor, names as escaped text). The writer hands
// these to libnetcdf; zolt.open_dataset hands them to xarray to decode, so
// that a Dataset made in memory is what the file gives.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "zolt/netcdf.h"
#include "zolt/tables.h"

namespace zolt {

// The fill value of a time that a row lacks, and of a name never written
// (an empty name is a name: the type's own fill would hide it).
constexpr int64_t kTimeFill = -9223372036854775806LL;  // NC_FILL_INT64
constexpr std::string_view kNoNameFill = "\x7F";

struct VariableAttribute {
  std::string name;
  std::variant<std::string, double, std::array<double, 2>> value;
};

// The values of one variable for some rows, in the form it stores them.
struct StoredValues {
  std::variant<std::span<const int16_t>, std::span<const int32_t>, std::vector<int32_t>, std::span<const int64_t>,
               std::vector<int64_t>, std::span<const double>, std::vector<std::string>>
      values;
};

class GroupLayout {
 public:
  // `epochMicros`: what the times count from; `untimed`: whether rows may
  // lack a time, which then takes a fill value.
  GroupLayout(TableKind kind, int64_t epochMicros, bool untimed);

  TableKind kind() const { return kind_; }
  std::span<const NetcdfVariable> variables() const { return variables_; }
  // The columns a table must have for every variable.
  ColumnSet columns() const { return columns_; }
  // The attributes of variable `i` known before any row, in the order they
  // are written.
  std::vector<VariableAttribute> attributes(size_t i) const;
  // Whether variable `i` has a fill value, and which.
  std::optional<std::variant<int64_t, std::string_view>> fill(size_t i) const;

  // The values of variable `i` for the first `rows` rows of `table`, whose
  // ranges count toward actual_range.
  StoredValues encode(size_t i, const Table& table, size_t rows);
  // The attributes known once every row was encoded.
  std::vector<VariableAttribute> closingAttributes(size_t i) const;

 private:
  struct Range {
    double least = std::numeric_limits<double>::infinity();
    double greatest = -std::numeric_limits<double>::infinity();
    bool any() const { return least <= greatest; }
  };

  TableKind kind_;
  int64_t epoch_;
  bool untimed_;
  std::span<const NetcdfVariable> variables_;
  ColumnSet columns_ = 0;
  std::vector<Range> ranges_;
};

}  // namespace zolt
