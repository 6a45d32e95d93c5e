// One table of a run handed out a batch of rows at a time, in order, while
// the run is read on a thread of its own: memory holds a few batches however
// long the run, and the batches together are the table that TableRun gives.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <vector>

#include "zolt/records.h"
#include "zolt/tables.h"

namespace zolt {

struct Batch {
  enum class State : uint8_t { kRows, kWaiting, kEnd };
  State state = State::kWaiting;
  Table rows;  // with kRows: the next rows, `batchRows` of them but at the end
};

class TableBatches {
 public:
  // Begins reading `inputs` at once; each must stay readable until the
  // batches are destroyed. `options.keepGoing` is asked from the reading
  // thread.
  TableBatches(TableKind kind, TableOptions options, size_t batchRows, std::vector<Input> inputs);
  // Stops the reading and waits for it.
  ~TableBatches();
  TableBatches(const TableBatches&) = delete;
  TableBatches& operator=(const TableBatches&) = delete;

  // Waits at most `patience` for the next batch: kRows with it, kEnd once
  // every batch was taken (the run read, or stopped at an input that
  // failed), kWaiting when none came in time.
  Batch next(std::chrono::milliseconds patience);
  // The outcome of every input read so far, in order; reading stops at
  // the first that failed, once the rows before its failure are handed out.
  std::vector<FileOutcome> outcomes() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zolt
