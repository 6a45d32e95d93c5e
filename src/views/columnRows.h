// Rows of a table written into typed columns: the Rows of TableRowsView
// that every front end with columns shares, so that the tables' values are
// the same wherever they go.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "core/recordCatalogue.h"
#include "core/sampleClock.h"
#include "core/timedView.h"
#include "views/cellValue.h"
#include "zolt/tables.h"

namespace zolt {

// Grows a column's block, which a large block does by remapping its pages
// rather than copying them.
class ColumnWriter {
 public:
  // Room for `more` values after the last; where the first of them goes.
  template <typename Value>
  static Value* extend(Column& column, size_t more) {
    if (column.capacity_ - column.size_ < more) grow(column, column.size_ + more);
    Value* const at = static_cast<Value*>(column.data_) + column.size_;
    column.size_ += more;
    return at;
  }
  static void appendText(Column& column, std::string text);
  // Room for `size` values in all, so that a column filled and emptied
  // over and over never grows past it.
  static void reserve(Column& column, size_t size);
  // Drops values beyond the first `size`: those of a row left half written,
  // or those already handed on.
  static void truncate(Column& column, size_t size);
  // Drops the first `count` values, keeping the rest in order.
  static void dropFront(Column& column, size_t count);
  // Gives back the room grown beyond the values.
  static void fit(Column& column);
  // Appends `count` values of `from`, a column of the same type, from its
  // value `first` on.
  static void appendFrom(Column& column, const Column& from, size_t first, size_t count);

 private:
  static void grow(Column& column, size_t needed);
};

// Writes each kept row into the chosen columns of a table; a column not
// chosen costs nothing.
class ColumnRows {
 public:
  ColumnRows(Table& table, bool nanoseconds) : table_(table), timeScale_(nanoseconds ? 1000 : 1) {
    for (Column& column : table.columns) {
      const size_t number = static_cast<size_t>(&column.definition() - columnsOf(table.kind).data());
      chosen_[number] = &column;
    }
  }

  // A row of any table but the data table, a cell for each chosen column.
  template <RecordType Type>
  void row(int64_t time, RecordBody<Type> body) {
    putTime(time);
    const std::span<const CatalogueColumn> columns = entryOf(Type).columns;
    for (size_t number = kTimeColumn + 1; number < columns.size(); ++number) {
      if (Column* column = chosen_[number]; column != nullptr) putCell(*column, columns[number].cell(body.bytes));
    }
    ++table_.rows;
  }

  void data(const Samples& samples) {
    const size_t count = samples.count;
    dataTimes(samples);
    if (Column* column = chosen_[dataColumns::kSample]; column != nullptr) {
      auto* out = ColumnWriter::extend<int64_t>(*column, count);
      for (size_t i = 0; i < count; ++i) out[i] = static_cast<int64_t>(samples.first + i);
    }
    const uint8_t* const bodies = samples.records + 1;
    for (size_t axis = 0; axis < kAccAxes; ++axis) {
      const size_t field = accOffset(axis);
      eachData<double>(dataColumns::kAcc + axis, bodies, count,
                       [=](const uint8_t* body) { return accCount(body + field) * kAccCount; });
      eachData<int32_t>(dataColumns::kAccCounts + axis, bodies, count,
                        [=](const uint8_t* body) { return accCount(body + field); });
    }
    for (size_t part = 0; part < kQuatParts; ++part) {
      const size_t field = quatOffset(part);
      eachData<double>(dataColumns::kQuat + part, bodies, count,
                       [=](const uint8_t* body) { return quatCount(body + field) * kQuatCount; });
      eachData<int16_t>(dataColumns::kQuatCounts + part, bodies, count,
                        [=](const uint8_t* body) { return quatCount(body + field); });
    }
    table_.rows += count;
  }

 private:
  template <typename Value, typename Given>
  void put(size_t number, Given value) {
    if (Column* column = chosen_[number]; column != nullptr) *ColumnWriter::extend<Value>(*column, 1) = static_cast<Value>(value);
  }

  static void putCell(Column& column, const Cell& cell) {
    switch (column.definition().type) {
      case ColumnType::kInt16: *ColumnWriter::extend<int16_t>(column, 1) = static_cast<int16_t>(cell.integer); break;
      case ColumnType::kUint16: *ColumnWriter::extend<uint16_t>(column, 1) = static_cast<uint16_t>(cell.integer); break;
      case ColumnType::kInt32: *ColumnWriter::extend<int32_t>(column, 1) = static_cast<int32_t>(cell.integer); break;
      case ColumnType::kUint32: *ColumnWriter::extend<uint32_t>(column, 1) = static_cast<uint32_t>(cell.integer); break;
      case ColumnType::kInt64: *ColumnWriter::extend<int64_t>(column, 1) = cell.integer; break;
      case ColumnType::kFloat64: *ColumnWriter::extend<double>(column, 1) = valueOf(cell); break;
      case ColumnType::kText: ColumnWriter::appendText(column, std::string(cell.text)); break;
    }
  }

  int64_t scaled(int64_t time) const { return time == kNoTime ? kNoTime : time * timeScale_; }

  void putTime(int64_t time) { put<int64_t>(kTimeColumn, scaled(time)); }

  void dataTimes(const Samples& samples) {
    Column* const column = chosen_[kTimeColumn];
    if (column == nullptr) return;
    auto* out = ColumnWriter::extend<int64_t>(*column, samples.count);
    if (!samples.timed()) {
      std::fill(out, out + samples.count, kNoTime);
      return;
    }
    SampleClock clock(samples.first, samples.rate);
    for (size_t i = 0; i < samples.count; ++i, clock.step()) out[i] = (samples.marker + clock.offset()) * timeScale_;
  }

  template <typename Value, typename Field>
  void eachData(size_t number, const uint8_t* bodies, size_t count, Field field) {
    Column* const column = chosen_[number];
    if (column == nullptr) return;
    Value* const out = ColumnWriter::extend<Value>(*column, count);
    for (size_t i = 0; i < count; ++i) out[i] = field(bodies + i * kDataRecordSize);
  }

  Table& table_;
  int64_t timeScale_;
  Column* chosen_[32] = {};
};

// A table of no rows with the chosen columns.
Table emptyTable(TableKind kind, ColumnSet columns);
// Drops every row, keeping the columns' room for the next ones.
void clearRows(Table& table);
// Drops the first `count` rows, keeping the others in order.
void dropFirstRows(Table& table, size_t count);
// Appends `count` rows of `from`, a table of the same columns, from its
// row `first` on.
void appendRows(Table& table, const Table& from, size_t first, size_t count);

}  // namespace zolt
