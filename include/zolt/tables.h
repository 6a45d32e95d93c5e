// The six tables, one per record type, as typed columns: the CSV tables'
// columns with their exact values, and the raw counts behind them.
//
// A row's time is in microseconds since 1970 UTC (nanoseconds on request),
// or kNoTime. A data record's time is its second marker's time plus its
// number since that marker over the rate of the latest file header of the
// run, to the nearest microsecond; pressure records take their marker's
// time; the other records carry their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zolt/records.h"
#include "zolt/time.h"

namespace zolt {

enum class TableKind : uint8_t { kHeader, kMarker, kData, kPressure, kIndex, kSystem };
constexpr size_t kTableKinds = 6;

std::optional<TableKind> tableNamed(std::string_view name);
std::string_view tableName(TableKind kind);
// "header, marker, data, pressure, index, system", for messages.
extern const char* const kTableNames;

enum class ColumnType : uint8_t { kInt16, kUint16, kInt32, kUint32, kInt64, kFloat64, kText };
size_t elementSize(ColumnType type);  // 0 for text

struct ColumnDefinition {
  std::string_view name;
  ColumnType type;
  bool csv;  // a column of the CSV table (which has them in this order)
  // For a raw count column: the value column it counts, and what one count
  // of it is worth there (the value is exactly count * scale).
  std::string_view countOf;
  double scale;
  // What the column says of itself in a self-describing file (netCDF and
  // the CF conventions), for a column of the CSV table.
  std::string_view longName;
  std::string_view units;         // UDUNITS; empty where there is none or it is not known
  std::string_view standardName;  // CF's, where there is one
  std::string_view comment;
  // How a file stores it: as this type; for a real value stored as an
  // integer, as the count column of that type that counts it exactly.
  ColumnType stored;
};

// Every column a table can have: "time" first, the CSV columns in their
// order, then the raw counts.
std::span<const ColumnDefinition> columnsOf(TableKind kind);

// Columns chosen by their place in columnsOf().
using ColumnSet = uint32_t;
ColumnSet csvColumns(TableKind kind);
ColumnSet allColumns(TableKind kind);
std::optional<size_t> columnNumber(TableKind kind, std::string_view name);

// One column's values in one block of memory; release() hands the block to
// a caller, who gives it back with freeColumnBlock().
class Column {
 public:
  explicit Column(const ColumnDefinition& definition) : definition_(&definition) {}
  ~Column();
  Column(Column&& other) noexcept;
  Column& operator=(Column&& other) noexcept;
  Column(const Column&) = delete;
  Column& operator=(const Column&) = delete;

  const ColumnDefinition& definition() const { return *definition_; }
  size_t size() const { return size_; }
  // The values, read as the column's type; empty for a text column.
  template <typename Value>
  std::span<const Value> values() const {
    return {static_cast<const Value*>(data_), data_ == nullptr ? 0 : size_};
  }
  const std::vector<std::string>& texts() const { return texts_; }
  // The block (nullptr when empty); the column is empty afterwards.
  void* release();

 private:
  friend class ColumnWriter;
  const ColumnDefinition* definition_;
  void* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  std::vector<std::string> texts_;
};

// Gives back a block that Column::release() handed over.
void freeColumnBlock(void* values) noexcept;

struct Table {
  TableKind kind = TableKind::kData;
  size_t rows = 0;
  std::vector<Column> columns;  // the chosen ones, in the order of columnsOf()
  const Column* column(std::string_view name) const;
};

struct TableOptions {
  TimeWindow window;
  ColumnSet columns = ~ColumnSet{0};  // all of them
  bool nanoseconds = false;           // times in ns instead of us
  // The rate of the latest file header before the first input, for a run
  // that continues one read before.
  uint16_t carriedRate = 0;
  KeepGoing keepGoing;
  // Only the records on each input's true framing (zolt::ScanOptions).
  bool salvage = false;
};

// One table over the files of a run, in order: the rate of the latest file
// header carries from file to file, as on the command line.
class TableRun {
 public:
  TableRun(TableKind kind, TableOptions options);
  ~TableRun();
  TableRun(TableRun&& other) noexcept;
  TableRun& operator=(TableRun&& other) noexcept;

  // Appends the rows of one input. On an error the rows of its whole
  // records before the error are kept. A run that was moved from adds
  // nothing: Errc::kInvalidArgument.
  FileOutcome add(const Input& input);
  // The rows so far; the run goes on from an empty table.
  Table take();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The name in an index record as every table gives it (CSV, Python,
// netCDF): printable characters in well-formed UTF-8 as they are, a
// backslash doubled, and any other byte (a control character, a byte that
// is not UTF-8) as "\xHH", so that the text maps back to the bytes.
std::string escapedName(std::string_view name);

}  // namespace zolt
