// The tables made from the analysis of a deployment rather than from one
// record type: depth from the pressure readings, the dives, and activity
// from the inertial samples. `--csv` names them beside the record tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zolt {

enum class DerivedTable : uint8_t { kDepth, kDives, kActivity };
constexpr size_t kDerivedTables = 3;

std::optional<DerivedTable> derivedTableNamed(std::string_view name);
std::string_view derivedTableName(DerivedTable table);
// Whether its rows are a series in time, which averages on read take: the
// dives are not.
bool averagesOf(DerivedTable table);

}  // namespace zolt
