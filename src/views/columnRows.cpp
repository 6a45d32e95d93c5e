#include "views/columnRows.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "views/columnMemory.h"

namespace zolt {

namespace {

constexpr size_t kFirstCapacity = 4096;

}  // namespace

void ColumnWriter::appendText(Column& column, std::string text) {
  column.texts_.push_back(std::move(text));
  ++column.size_;
}

void ColumnWriter::reserve(Column& column, size_t size) {
  if (column.definition().type == ColumnType::kText) {
    column.texts_.reserve(size);
  } else if (column.capacity_ < size) {
    grow(column, size);
  }
}

void ColumnWriter::truncate(Column& column, size_t size) {
  if (column.size_ <= size) return;
  column.size_ = size;
  if (column.definition().type == ColumnType::kText) column.texts_.resize(size);
}

void ColumnWriter::dropFront(Column& column, size_t count) {
  count = std::min(count, column.size_);
  if (column.definition().type == ColumnType::kText) {
    column.texts_.erase(column.texts_.begin(), column.texts_.begin() + static_cast<std::ptrdiff_t>(count));
  } else if (count > 0) {
    const size_t size = elementSize(column.definition().type);
    auto* const bytes = static_cast<char*>(column.data_);
    std::memmove(bytes, bytes + count * size, (column.size_ - count) * size);
  }
  column.size_ -= count;
}

void ColumnWriter::fit(Column& column) {
  const size_t bytes = column.size_ * elementSize(column.definition().type);
  if (column.data_ == nullptr || bytes == 0 || column.capacity_ == column.size_) return;
  if (void* const fitted = resizeColumn(column.data_, bytes); fitted != nullptr) {
    column.data_ = fitted;
    column.capacity_ = column.size_;
  }
}

void ColumnWriter::appendFrom(Column& column, const Column& from, size_t first, size_t count) {
  if (from.definition().type == ColumnType::kText) {
    const auto begin = from.texts_.begin() + static_cast<std::ptrdiff_t>(first);
    column.texts_.insert(column.texts_.end(), begin, begin + static_cast<std::ptrdiff_t>(count));
    column.size_ += count;
    return;
  }
  if (count == 0) return;
  const size_t size = elementSize(from.definition().type);
  reserve(column, column.size_ + count);
  std::memcpy(static_cast<char*>(column.data_) + column.size_ * size, static_cast<const char*>(from.data_) + first * size,
              count * size);
  column.size_ += count;
}

void ColumnWriter::grow(Column& column, size_t needed) {
  size_t capacity = std::max(kFirstCapacity, column.capacity_ * 2);
  while (capacity < needed) capacity *= 2;
  void* const grown = resizeColumn(column.data_, capacity * elementSize(column.definition().type));
  if (grown == nullptr) throw std::bad_alloc();
  column.data_ = grown;
  column.capacity_ = capacity;
}

Table emptyTable(TableKind kind, ColumnSet columns) {
  Table table;
  table.kind = kind;
  const std::span<const ColumnDefinition> definitions = columnsOf(kind);
  for (size_t i = 0; i < definitions.size(); ++i) {
    if ((columns >> i & 1) != 0) table.columns.emplace_back(definitions[i]);
  }
  return table;
}

void dropFirstRows(Table& table, size_t count) {
  for (Column& column : table.columns) ColumnWriter::dropFront(column, count);
  table.rows -= std::min(count, table.rows);
}

void appendRows(Table& table, const Table& from, size_t first, size_t count) {
  for (size_t i = 0; i < table.columns.size(); ++i) {
    ColumnWriter::appendFrom(table.columns[i], from.columns[i], first, count);
  }
  table.rows += count;
}

void clearRows(Table& table) {
  for (Column& column : table.columns) ColumnWriter::truncate(column, 0);
  table.rows = 0;
}

}  // namespace zolt
