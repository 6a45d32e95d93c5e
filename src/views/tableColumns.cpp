// Tables as typed columns: each row's values written straight into the
// arrays that the caller gets, so that a table is never held twice.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/readInput.h"
#include "views/columnRows.h"
#include "views/tableRows.h"

namespace zolt {

Column::~Column() { freeColumnBlock(data_); }

Column::Column(Column&& other) noexcept
    : definition_(other.definition_), data_(other.data_), size_(other.size_), capacity_(other.capacity_),
      texts_(std::move(other.texts_)) {
  other.data_ = nullptr;
  other.size_ = other.capacity_ = 0;
}

Column& Column::operator=(Column&& other) noexcept {
  if (this != &other) {
    freeColumnBlock(data_);
    definition_ = other.definition_;
    data_ = other.data_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    texts_ = std::move(other.texts_);
    other.data_ = nullptr;
    other.size_ = other.capacity_ = 0;
  }
  return *this;
}

void* Column::release() {
  void* const data = data_;
  data_ = nullptr;
  size_ = capacity_ = 0;
  return data;
}

const Column* Table::column(std::string_view name) const {
  const auto found =
      std::find_if(columns.begin(), columns.end(), [&](const Column& each) { return each.definition().name == name; });
  return found == columns.end() ? nullptr : &*found;
}

struct TableRun::Impl {
  TableKind kind = TableKind::kData;
  TableOptions options;
  RunClock clock;
  Table table;
  bool laidOut = false;  // the table has its columns
};

TableRun::TableRun(TableKind kind, TableOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->kind = kind;
  impl_->clock.rate = options.carriedRate;
  impl_->options = std::move(options);
}

TableRun::~TableRun() = default;
TableRun::TableRun(TableRun&&) noexcept = default;
TableRun& TableRun::operator=(TableRun&&) noexcept = default;

FileOutcome TableRun::add(const Input& input) {
  if (impl_ == nullptr) return {{Errc::kInvalidArgument, EINVAL}, {}};
  Impl& run = *impl_;
  if (!run.laidOut) {
    try {
      run.table = emptyTable(run.kind, run.options.columns);
    } catch (const std::bad_alloc&) {
      return {outOfMemory(), {}};
    }
    run.laidOut = true;
  }
  ColumnRows rows(run.table, run.options.nanoseconds);
  TableRowsView<ColumnRows> view(run.kind, run.options.window, rows);
  FileOutcome outcome = readInput(input, run.clock, view, run.options.keepGoing, run.options.salvage);
  // A row cut short by a failed allocation is no row.
  for (Column& column : run.table.columns) ColumnWriter::truncate(column, run.table.rows);
  return outcome;
}

Table TableRun::take() {
  if (impl_ == nullptr) return {};
  Impl& run = *impl_;
  if (!run.laidOut) return emptyTable(run.kind, run.options.columns);
  for (Column& column : run.table.columns) ColumnWriter::fit(column);
  run.laidOut = false;
  return std::move(run.table);
}

}  // namespace zolt
