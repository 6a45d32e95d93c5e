#include "netcdf/groupLayout.h"

#include <algorithm>
#include <array>

#include "core/recordCatalogue.h"

namespace zolt {

namespace {

NetcdfType netcdfTypeOf(ColumnType type) {
  switch (type) {
    case ColumnType::kInt16: return NetcdfType::kShort;
    case ColumnType::kUint16:
    case ColumnType::kInt32: return NetcdfType::kInt;
    case ColumnType::kUint32:
    case ColumnType::kInt64: return NetcdfType::kInt64;
    case ColumnType::kFloat64: return NetcdfType::kDouble;
    case ColumnType::kText: break;
  }
  return NetcdfType::kString;
}

// A variable for each CSV column: stored as the count that counts it
// exactly, where there is one, or as the column's stored type.
std::vector<NetcdfVariable> variablesOf(TableKind kind) {
  const std::span<const ColumnDefinition> columns = columnsOf(kind);
  std::vector<NetcdfVariable> variables;
  for (const ColumnDefinition& column : columns) {
    if (!column.csv) continue;
    NetcdfVariable variable{column.name, column.name, netcdfTypeOf(column.stored), 0,
                            column.longName, column.units, column.standardName, column.comment};
    const auto count = std::find_if(columns.begin(), columns.end(), [&](const ColumnDefinition& each) {
      return column.stored != column.type && each.countOf == column.name && each.type == column.stored;
    });
    if (count != columns.end()) {
      variable.column = count->name;
      variable.type = netcdfTypeOf(count->type);
      variable.scaleFactor = count->scale;
    }
    variables.push_back(variable);
  }
  return variables;
}

const std::array<std::vector<NetcdfVariable>, kTableKinds> kVariables = [] {
  std::array<std::vector<NetcdfVariable>, kTableKinds> all;
  for (size_t kind = 0; kind < kTableKinds; ++kind) all[kind] = variablesOf(static_cast<TableKind>(kind));
  return all;
}();

}  // namespace

std::span<const NetcdfVariable> netcdfVariables(TableKind kind) { return kVariables[static_cast<size_t>(kind)]; }

GroupLayout::GroupLayout(TableKind kind, int64_t epochMicros, bool untimed)
    : kind_(kind), epoch_(epochMicros), untimed_(untimed), variables_(netcdfVariables(kind)), ranges_(variables_.size()) {
  for (const NetcdfVariable& variable : variables_) columns_ |= ColumnSet{1} << *columnNumber(kind, variable.column);
}

std::vector<VariableAttribute> GroupLayout::attributes(size_t i) const {
  const NetcdfVariable& variable = variables_[i];
  std::vector<VariableAttribute> attributes = {{"long_name", std::string(variable.longName)}};
  if (!variable.units.empty()) attributes.push_back({"units", std::string(variable.units)});
  if (!variable.standardName.empty()) attributes.push_back({"standard_name", std::string(variable.standardName)});
  if (!variable.comment.empty()) attributes.push_back({"comment", std::string(variable.comment)});
  if (variable.scaleFactor != 0) attributes.push_back({"scale_factor", variable.scaleFactor});
  if (variable.name == "time") {
    attributes.push_back({"units", "microseconds since " + isoTime(epoch_, 3).substr(0, 19) + "Z"});
    attributes.push_back({"calendar", std::string("standard")});
    attributes.push_back({"axis", std::string("T")});
  } else {
    // The clock may step back, so time is not the dimension's coordinate.
    attributes.push_back({"coordinates", std::string("time")});
  }
  return attributes;
}

std::optional<std::variant<int64_t, std::string_view>> GroupLayout::fill(size_t i) const {
  const NetcdfVariable& variable = variables_[i];
  // Every other row is written, so no other variable needs a fill value:
  // with one, readers would turn its integers into floats.
  if (variable.name == "time" && untimed_) return kTimeFill;
  if (variable.type == NetcdfType::kString) return kNoNameFill;
  return std::nullopt;
}

StoredValues GroupLayout::encode(size_t i, const Table& table, size_t rows) {
  const NetcdfVariable& variable = variables_[i];
  const Column& column = *table.column(variable.column);
  Range& range = ranges_[i];
  const auto add = [&range](double value) {
    range.least = std::min(range.least, value);
    range.greatest = std::max(range.greatest, value);
  };
  if (variable.name == "time") {
    std::vector<int64_t> offsets(rows);
    const std::span<const int64_t> times = column.values<int64_t>();
    for (size_t row = 0; row < rows; ++row) offsets[row] = times[row] == kNoTime ? kTimeFill : times[row] - epoch_;
    return {std::move(offsets)};
  }
  switch (column.definition().type) {
    case ColumnType::kInt16: {
      const std::span<const int16_t> values = column.values<int16_t>().first(rows);
      for (const int16_t value : values) add(value * variable.scaleFactor);
      return {values};
    }
    case ColumnType::kInt32: {
      const std::span<const int32_t> values = column.values<int32_t>().first(rows);
      for (const int32_t value : values) add(value * variable.scaleFactor);
      return {values};
    }
    case ColumnType::kInt64: {
      const std::span<const int64_t> values = column.values<int64_t>().first(rows);
      if (variable.type == NetcdfType::kInt64) return {values};
      return {std::vector<int32_t>(values.begin(), values.end())};
    }
    case ColumnType::kFloat64: {
      const std::span<const double> values = column.values<double>().first(rows);
      for (const double value : values) add(value);
      return {values};
    }
    case ColumnType::kText: {
      // netCDF's strings are UTF-8: a name damaged into other bytes is
      // kept as text that gives the bytes back.
      std::vector<std::string> names;
      names.reserve(rows);
      for (size_t row = 0; row < rows; ++row) names.push_back(escapedName(column.texts()[row]));
      return {std::move(names)};
    }
    case ColumnType::kUint16:
    case ColumnType::kUint32: break;
  }
  return {std::vector<int64_t>()};
}

std::vector<VariableAttribute> GroupLayout::closingAttributes(size_t i) const {
  if (!ranges_[i].any()) return {};
  return {{"actual_range", std::array<double, 2>{ranges_[i].least, ranges_[i].greatest}}};
}

}  // namespace zolt
