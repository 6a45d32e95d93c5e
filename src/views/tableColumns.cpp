// Tables as typed columns: each row's values written straight into the
// arrays that the caller gets, so that a table is never held twice.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/fileSystem.h"
#include "core/readInput.h"
#include "views/columnMemory.h"
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

namespace {

// The most data records an input of known size can hold; 0 when its size
// is not known.
uint64_t dataRecordsAtMost(const Input& input) {
  FileStatus status;
  switch (input.kind()) {
    case Input::Kind::kMemory:
      return input.bytes().size() / kDataRecordSize;
    case Input::Kind::kPath:
    case Input::Kind::kMappedPath:
      status = fileStatus(input.pathName());
      break;
    case Input::Kind::kDescriptor:
      status = descriptorStatus(input.fd());
      break;
  }
  return status.kind == FileKind::kRegular ? status.size / kDataRecordSize : 0;
}

// Room for every row the input could give, where room not written costs
// only address space: the columns are then never moved as they grow, and
// the kernel backs them with huge pages from the first row on. A refusal
// costs speed only.
void reserveForInput(Table& table, TableKind kind, const Input& input) {
  if (kind != TableKind::kData || !reservingIsCheap()) return;
  const uint64_t most = dataRecordsAtMost(input);
  if (most == 0) return;
  try {
    for (Column& column : table.columns) {
      if (column.definition().type != ColumnType::kText) ColumnWriter::reserve(column, static_cast<size_t>(table.rows + most));
    }
  } catch (const std::bad_alloc&) {
  }
}

}  // namespace

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
  reserveForInput(run.table, run.kind, input);
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
