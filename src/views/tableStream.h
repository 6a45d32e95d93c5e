// A run of files read once into several tables at a time, each handed on a
// chunk of rows at a time, so that memory holds a few chunks however long
// the run: what every writer of a whole run (netCDF, a page) is fed by.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "zolt/records.h"
#include "zolt/tables.h"

namespace zolt {

// What a look at the start of each input tells before anything is read in
// full: the run's first second marker, which a file's times may count from,
// and whether a record that takes its marker's time comes before a file's
// first marker, so that its table has rows without a time.
struct RunStart {
  std::optional<int32_t> firstMarker;
  bool untimedRows = false;
  // Whether `kind`'s table may have rows without a time.
  bool untimed(TableKind kind) const;
};

// Looks at the start of every input; a pipe cannot be read twice (given as
// a descriptor or by name), so its tables are taken to have rows without a
// time. With `salvage`, of the records salvage keeps.
RunStart lookAtStarts(std::span<const Input> inputs, const TimeWindow& window, bool salvage = false);

struct StreamedTable {
  TableKind kind;
  ColumnSet columns;
  size_t chunkRows;  // rows handed on at a time while the run lasts
};

// The first `rows` rows of a table, ready to be written.
struct ReadyRows {
  const Table* table;
  size_t rows;
};

// Where the chunks go.
class ChunkSink {
 public:
  virtual ~ChunkSink() = default;
  // The rows ready in each table, in the order the tables were asked for:
  // whole chunks while the run lasts, and the rest at its end. They are
  // dropped once this returns; an error ends the run.
  virtual Error write(std::span<const ReadyRows> ready, bool atEnd) = 0;
};

struct StreamOptions {
  std::vector<StreamedTable> tables;
  TimeWindow window;
  KeepGoing keepGoing;
  bool salvage = false;
  bool nanoseconds = false;  // times in ns instead of us
};

class TableStream {
 public:
  TableStream(StreamOptions options, ChunkSink& sink);
  ~TableStream();

  // Reads one input into the tables; the rate carries from input to input.
  FileOutcome add(const Input& input);
  // Hands on the rows that are left.
  Error finish();
  // Why the sink stopped taking rows, if it did: that ends the run, not
  // only the input it stopped in.
  const Error& sinkFailure() const;
  // The run's first file header, if any.
  const std::optional<FileHeader>& firstHeader() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zolt
