#include "analysis/derivedTables.h"

#include <array>

namespace zolt {

namespace {
constexpr std::array<std::string_view, kDerivedTables> kNames = {"depth", "dives", "activity"};
}  // namespace

std::optional<DerivedTable> derivedTableNamed(std::string_view name) {
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (kNames[i] == name) return static_cast<DerivedTable>(i);
  }
  return std::nullopt;
}

std::string_view derivedTableName(DerivedTable table) { return kNames[static_cast<size_t>(table)]; }

bool averagesOf(DerivedTable table) { return table != DerivedTable::kDives; }

}  // namespace zolt
