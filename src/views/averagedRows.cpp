#include "views/averagedRows.h"

namespace zolt {

std::vector<size_t> averagedColumns(TableKind kind) {
  std::vector<size_t> numbers;
  const std::span<const ColumnDefinition> columns = columnsOf(kind);
  for (size_t number = kTimeColumn + 1; number < columns.size(); ++number) {
    if (columns[number].csv && columns[number].type == ColumnType::kFloat64) numbers.push_back(number);
  }
  return numbers;
}

std::vector<std::string_view> averagedColumnNames(TableKind kind) {
  std::vector<std::string_view> names;
  for (const size_t number : averagedColumns(kind)) names.push_back(columnsOf(kind)[number].name);
  return names;
}

}  // namespace zolt
