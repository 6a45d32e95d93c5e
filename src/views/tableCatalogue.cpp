// The columns of every table, and the table and column lookups.
#include <algorithm>
#include <array>
#include <iterator>

#include "views/tableCatalogue.h"

namespace zolt {

const char* const kTableNames = "header, marker, data, pressure, index, system";

namespace {

constexpr std::string_view kNames[kTableKinds] = {"header", "marker", "data", "pressure", "index", "system"};

constexpr double kSixteenths = 1.0 / 65536;
constexpr double kFourteenths = 1.0 / 16384;

using enum ColumnType;

constexpr ColumnDefinition kTime = {"time", kInt64, true, {}, 0};

constexpr ColumnDefinition kHeaderColumns[] = {
    kTime,
    {"ver", kInt64, true, {}, 0},
    {"id", kInt64, true, {}, 0},
    {"rate", kInt64, true, {}, 0},
    {"duration_s", kFloat64, true, {}, 0},
    {"duration_ms", kUint32, false, {}, 0},
};

constexpr ColumnDefinition kMarkerColumns[] = {kTime};

constexpr ColumnDefinition kDataColumns[] = {
    kTime,
    {"sample", kInt64, true, {}, 0},
    {"acc_x", kFloat64, true, {}, 0},
    {"acc_y", kFloat64, true, {}, 0},
    {"acc_z", kFloat64, true, {}, 0},
    {"quat_0", kFloat64, true, {}, 0},
    {"quat_1", kFloat64, true, {}, 0},
    {"quat_2", kFloat64, true, {}, 0},
    {"quat_3", kFloat64, true, {}, 0},
    {"acc_x_counts", kInt32, false, "acc_x", kSixteenths},
    {"acc_y_counts", kInt32, false, "acc_y", kSixteenths},
    {"acc_z_counts", kInt32, false, "acc_z", kSixteenths},
    {"quat_0_counts", kInt16, false, "quat_0", kFourteenths},
    {"quat_1_counts", kInt16, false, "quat_1", kFourteenths},
    {"quat_2_counts", kInt16, false, "quat_2", kFourteenths},
    {"quat_3_counts", kInt16, false, "quat_3", kFourteenths},
};

constexpr ColumnDefinition kPressureColumns[] = {
    kTime,
    {"counts", kInt64, true, {}, 0},
    {"volts", kFloat64, true, {}, 0},
    {"ext_press_bar", kFloat64, true, {}, 0},
};

constexpr ColumnDefinition kIndexColumns[] = {
    kTime,
    {"duration_s", kFloat64, true, {}, 0},
    {"max_val", kFloat64, true, {}, 0},
    {"file", kText, true, {}, 0},
    {"duration_ms", kUint32, false, {}, 0},
    {"max_val_counts", kUint32, false, "max_val", kSixteenths},
};

// The readings are single-precision laws of their counts, or double ones
// with an inexact factor: no count is worth an exact value here.
constexpr ColumnDefinition kSystemColumns[] = {
    kTime,
    {"batt_V", kFloat64, true, {}, 0},
    {"vmodem_V", kFloat64, true, {}, 0},
    {"ext_press_bar", kFloat64, true, {}, 0},
    {"int_press_psia", kFloat64, true, {}, 0},
    {"temp_degC", kFloat64, true, {}, 0},
    {"hum_pct", kFloat64, true, {}, 0},
    {"batt_counts", kUint16, false, {}, 0},
    {"vmodem_counts", kUint16, false, {}, 0},
    {"ext_press_counts", kUint16, false, {}, 0},
    {"int_press_counts", kUint16, false, {}, 0},
    {"temp_counts", kUint16, false, {}, 0},
    {"hum_counts", kUint16, false, {}, 0},
};

constexpr std::span<const ColumnDefinition> kColumns[kTableKinds] = {kHeaderColumns,   kMarkerColumns, kDataColumns,
                                                               kPressureColumns, kIndexColumns,  kSystemColumns};

static_assert(std::size(kDataColumns) == kDataColumnCount);
static_assert(std::size(kSystemColumns) == kSystemColumnCount);
static_assert(std::size(kIndexColumns) == kIndexColumnCount);

}  // namespace

std::optional<TableKind> tableNamed(std::string_view name) {
  const auto* found = std::find(std::begin(kNames), std::end(kNames), name);
  if (found == std::end(kNames)) return std::nullopt;
  return static_cast<TableKind>(found - std::begin(kNames));
}

std::string_view tableName(TableKind kind) { return kNames[static_cast<size_t>(kind)]; }

size_t elementSize(ColumnType type) {
  constexpr std::array<size_t, 7> kSizes = {2, 2, 4, 4, 8, 8, 0};
  return kSizes[static_cast<size_t>(type)];
}

std::span<const ColumnDefinition> columnsOf(TableKind kind) { return kColumns[static_cast<size_t>(kind)]; }

ColumnSet allColumns(TableKind kind) { return (ColumnSet{1} << columnsOf(kind).size()) - 1; }

ColumnSet csvColumns(TableKind kind) {
  ColumnSet set = 0;
  const std::span<const ColumnDefinition> columns = columnsOf(kind);
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].csv) set |= ColumnSet{1} << i;
  }
  return set;
}

std::optional<size_t> columnNumber(TableKind kind, std::string_view name) {
  const std::span<const ColumnDefinition> columns = columnsOf(kind);
  const auto found =
      std::find_if(columns.begin(), columns.end(), [&](const ColumnDefinition& each) { return each.name == name; });
  if (found == columns.end()) return std::nullopt;
  return static_cast<size_t>(found - columns.begin());
}

}  // namespace zolt
