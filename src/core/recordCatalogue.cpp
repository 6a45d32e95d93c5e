// The catalogue's facts as the library's callers ask for them.
#include "core/recordCatalogue.h"

#include <algorithm>

namespace zolt {

namespace {

// "header, marker, data, pressure, index, system", made from the catalogue
// when the program is built.
constexpr auto kNamesInOrder = [] {
  std::array<char, 256> text{};
  size_t at = 0;
  for (const RecordDescription& record : kCatalogue) {
    if (at > 0) {
      text[at++] = ',';
      text[at++] = ' ';
    }
    for (const char c : record.name) text[at++] = c;
  }
  return text;
}();

}  // namespace

const char* const kTableNames = kNamesInOrder.data();

size_t recordSize(uint8_t type) { return type < kRecordTypes ? kRecordSize[type] : 0; }

std::optional<TableKind> tableNamed(std::string_view name) {
  const auto* found = std::find_if(std::begin(kCatalogue), std::end(kCatalogue),
                                   [&](const RecordDescription& record) { return record.name == name; });
  if (found == std::end(kCatalogue)) return std::nullopt;
  return static_cast<TableKind>(found->type);
}

std::string_view tableName(TableKind kind) { return entryOf(kind).name; }

size_t elementSize(ColumnType type) {
  constexpr std::array<size_t, 7> kSizes = {2, 2, 4, 4, 8, 8, 0};
  return kSizes[static_cast<size_t>(type)];
}

std::span<const ColumnDefinition> columnsOf(TableKind kind) { return entryOf(kind).definitions; }

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
