// Tables as typed columns: each row's values written straight into the
// arrays that the caller gets, so that a table is never held twice.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/readInput.h"
#include "core/shortestDecimal.h"
#include "views/columnMemory.h"
#include "views/tableCatalogue.h"
#include "views/tableRows.h"
#include "zolt/units.h"

namespace zolt {

Column::~Column() { freeColumnBlock(data_); }

Column::Column(Column&& other) noexcept
    : spec_(other.spec_), data_(other.data_), size_(other.size_), capacity_(other.capacity_),
      texts_(std::move(other.texts_)) {
  other.data_ = nullptr;
  other.size_ = other.capacity_ = 0;
}

Column& Column::operator=(Column&& other) noexcept {
  if (this != &other) {
    freeColumnBlock(data_);
    spec_ = other.spec_;
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
  const auto found = std::find_if(columns.begin(), columns.end(), [&](const Column& each) { return each.spec().name == name; });
  return found == columns.end() ? nullptr : &*found;
}

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

  static void appendText(Column& column, std::string text) {
    column.texts_.push_back(std::move(text));
    ++column.size_;
  }

  // Drops values beyond the first `size`: those of a row left half written.
  static void truncate(Column& column, size_t size) {
    if (column.size_ <= size) return;
    column.size_ = size;
    if (column.spec().type == ColumnType::kText) column.texts_.resize(size);
  }

  // Gives back the room grown beyond the values.
  static void fit(Column& column) {
    const size_t bytes = column.size_ * elementSize(column.spec().type);
    if (column.data_ == nullptr || bytes == 0 || column.capacity_ == column.size_) return;
    if (void* const fitted = resizeColumn(column.data_, bytes); fitted != nullptr) {
      column.data_ = fitted;
      column.capacity_ = column.size_;
    }
  }

 private:
  static constexpr size_t kFirstCapacity = 4096;

  static void grow(Column& column, size_t needed) {
    size_t capacity = std::max(kFirstCapacity, column.capacity_ * 2);
    while (capacity < needed) capacity *= 2;
    void* const grown = resizeColumn(column.data_, capacity * elementSize(column.spec().type));
    if (grown == nullptr) throw std::bad_alloc();
    column.data_ = grown;
    column.capacity_ = capacity;
  }
};

namespace {

// Writes each kept row into the chosen columns; a column not chosen has no
// place here and costs nothing.
class ColumnRows {
 public:
  ColumnRows(Table& table, bool nanoseconds) : table_(table), timeScale_(nanoseconds ? 1000 : 1) {
    for (Column& column : table.columns) {
      const size_t number = static_cast<size_t>(&column.spec() - columnsOf(table.kind).data());
      chosen_[number] = &column;
    }
  }

  void header(int64_t time, const FileHeader& record) {
    putTime(time);
    put<int64_t>(kHeaderVer, record.ver);
    put<int64_t>(kHeaderId, record.id);
    put<int64_t>(kHeaderRate, record.rate);
    put<double>(kHeaderDurationS, record.durationMs / 1000.0);
    put<uint32_t>(kHeaderDurationMs, record.durationMs);
    ++table_.rows;
  }

  void marker(int64_t time) {
    putTime(time);
    ++table_.rows;
  }

  void data(int64_t markerTime, uint16_t rate, uint64_t firstSample, const uint8_t* records, size_t count) {
    dataTimes(markerTime, rate, firstSample, count);
    if (Column* column = chosen_[kDataSample]; column != nullptr) {
      auto* out = ColumnWriter::extend<int64_t>(*column, count);
      for (size_t i = 0; i < count; ++i) out[i] = static_cast<int64_t>(firstSample + i);
    }
    const uint8_t* const bodies = records + 1;
    for (size_t axis = 0; axis < kAccAxes; ++axis) {
      const size_t field = accOffset(axis);
      eachData<double>(kDataAcc + axis, bodies, count, [=](const uint8_t* body) { return accCount(body + field) / 65536.0; });
      eachData<int32_t>(kDataAccCounts + axis, bodies, count, [=](const uint8_t* body) { return accCount(body + field); });
    }
    for (size_t part = 0; part < kQuatParts; ++part) {
      const size_t field = quatOffset(part);
      eachData<double>(kDataQuat + part, bodies, count, [=](const uint8_t* body) { return quatCount(body + field) / 16384.0; });
      eachData<int16_t>(kDataQuatCounts + part, bodies, count, [=](const uint8_t* body) { return quatCount(body + field); });
    }
    table_.rows += count;
  }

  void pressure(int64_t time, uint16_t counts) {
    putTime(time);
    put<int64_t>(kPressureCounts, counts);
    put<double>(kPressureVolts, converterVolts(counts));
    put<double>(kPressureBar, shortestDecimal(adcEngValue(kExtPressure, counts, nullptr)));
    ++table_.rows;
  }

  void index(int64_t time, const IndexRecord& record) {
    putTime(time);
    put<double>(kIndexDurationS, record.durationMs / 1000.0);
    put<double>(kIndexMaxVal, record.maxVal / 65536.0);
    if (Column* column = chosen_[kIndexFile]; column != nullptr) ColumnWriter::appendText(*column, std::string(record.file));
    put<uint32_t>(kIndexDurationMs, record.durationMs);
    put<uint32_t>(kIndexMaxValCounts, record.maxVal);
    ++table_.rows;
  }

  void system(int64_t time, const SystemRecord& record) {
    putTime(time);
    const uint16_t counts[] = {record.batt, record.vmodem, record.extPress, record.intPress, record.temp, record.hum};
    const double values[] = {supplyVolts(record.batt),
                             supplyVolts(record.vmodem),
                             shortestDecimal(adcEngValue(kExtPressure, record.extPress, nullptr)),
                             shortestDecimal(adcEngValue(kIntPressure, record.intPress, nullptr)),
                             shortestDecimal(adcEngValue(kTemperature, record.temp, nullptr)),
                             shortestDecimal(adcEngValue(kHumidity, record.hum, nullptr))};
    for (size_t i = 0; i < std::size(counts); ++i) {
      put<double>(kSystemValues + i, values[i]);
      put<uint16_t>(kSystemCounts + i, counts[i]);
    }
    ++table_.rows;
  }

 private:
  template <typename Value, typename Given>
  void put(size_t number, Given value) {
    if (Column* column = chosen_[number]; column != nullptr) *ColumnWriter::extend<Value>(*column, 1) = static_cast<Value>(value);
  }

  int64_t scaled(int64_t time) const { return time == kNoTime ? kNoTime : time * timeScale_; }

  void putTime(int64_t time) { put<int64_t>(kTimeColumn, scaled(time)); }

  void dataTimes(int64_t markerTime, uint16_t rate, uint64_t firstSample, size_t count) {
    Column* const column = chosen_[kTimeColumn];
    if (column == nullptr) return;
    auto* out = ColumnWriter::extend<int64_t>(*column, count);
    if (markerTime == kNoTime) {
      std::fill(out, out + count, kNoTime);
      return;
    }
    SampleClock clock(firstSample, rate);
    for (size_t i = 0; i < count; ++i, clock.step()) out[i] = (markerTime + clock.offset()) * timeScale_;
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

Table emptyTable(TableKind kind, ColumnSet columns) {
  Table table;
  table.kind = kind;
  const std::span<const ColumnSpec> specs = columnsOf(kind);
  for (size_t i = 0; i < specs.size(); ++i) {
    if ((columns >> i & 1) != 0) table.columns.emplace_back(specs[i]);
  }
  return table;
}

}  // namespace

struct TableRun::Impl {
  TableKind kind = TableKind::kData;
  TableOptions options;
  uint16_t rate = 0;  // of the latest file header of the run
  Table table;
  bool laidOut = false;  // the table has its columns
};

TableRun::TableRun(TableKind kind, TableOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->kind = kind;
  impl_->options = std::move(options);
}

TableRun::~TableRun() = default;
TableRun::TableRun(TableRun&&) noexcept = default;
TableRun& TableRun::operator=(TableRun&&) noexcept = default;

FileOutcome TableRun::add(const Input& input) {
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
  TableRowsView<ColumnRows> view(run.kind, run.options.window, run.rate, rows);
  const FileOutcome outcome = readInput(input, view, run.options.keepGoing);
  run.rate = view.rate();
  // A row cut short by a failed allocation is no row.
  for (Column& column : run.table.columns) ColumnWriter::truncate(column, run.table.rows);
  return outcome;
}

Table TableRun::take() {
  Impl& run = *impl_;
  if (!run.laidOut) return emptyTable(run.kind, run.options.columns);
  for (Column& column : run.table.columns) ColumnWriter::fit(column);
  run.laidOut = false;
  return std::move(run.table);
}

}  // namespace zolt
