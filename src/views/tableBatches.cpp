#include "views/tableBatches.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "core/readInput.h"
#include "views/columnRows.h"
#include "views/tableStream.h"

namespace zolt {

namespace {

// Batches read ahead of the one taken: reading goes on while a batch is
// used, and memory holds no more than these.
constexpr size_t kReadAhead = 1;
// The rows the stream gathers before it hands them to the batch being
// filled: the room it keeps for them does not grow with the batches.
constexpr size_t kMostChunkRows = 65536;

}  // namespace

struct TableBatches::Impl final : ChunkSink {
  TableKind kind;
  size_t batchRows;
  ColumnSet columns = 0;
  std::vector<Input> inputs;
  mutable std::mutex mutex;
  std::condition_variable changed;
  Table filling;  // the next batch, until it has its rows
  std::deque<Table> ready;
  std::vector<FileOutcome> outcomes;
  bool done = false;
  std::atomic<bool> stopping = false;
  std::thread reader;

  Impl(TableKind tableKind, size_t rows, std::vector<Input> given)
      : kind(tableKind), batchRows(rows), inputs(std::move(given)) {}

  // Fills batches with the ready rows, handing on each that is full, and
  // the last at the end.
  Error write(std::span<const ReadyRows> tables, bool atEnd) override {
    const ReadyRows& rows = tables.front();
    for (size_t first = 0; first < rows.rows;) {
      const size_t count = std::min(batchRows - filling.rows, rows.rows - first);
      try {
        appendRows(filling, *rows.table, first, count);
      } catch (const std::bad_alloc&) {
        return outOfMemory();
      }
      first += count;
      if (filling.rows == batchRows) {
        if (Error handed = handOn(); handed.failed()) return handed;
      }
    }
    return atEnd && filling.rows > 0 ? handOn() : Error{};
  }

  // Waits for room for the filled batch.
  Error handOn() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return ready.size() < kReadAhead || stopping; });
    if (stopping) return {Errc::kStopped, 0};
    ready.push_back(std::exchange(filling, emptyTable(kind, columns)));
    changed.notify_all();
    return {};
  }

  void readCatching(TableOptions options) {
    try {
      read(std::move(options));
    } catch (const std::bad_alloc&) {
      const std::lock_guard lock(mutex);
      if (outcomes.empty()) outcomes.emplace_back();
      outcomes.back().error = outOfMemory();
      done = true;
      changed.notify_all();
    }
  }

  void read(TableOptions options) {
    columns = options.columns;
    filling = emptyTable(kind, columns);
    StreamOptions stream;
    stream.tables.push_back({kind, options.columns, std::min(batchRows, kMostChunkRows)});
    stream.window = options.window;
    stream.salvage = options.salvage;
    stream.nanoseconds = options.nanoseconds;
    stream.keepGoing = [this, asked = std::move(options.keepGoing)]() {
      return !stopping && (!asked || asked());
    };
    TableStream run(std::move(stream), *this);
    bool handing = true;  // the rows read can still be handed out
    for (const Input& input : inputs) {
      const FileOutcome outcome = run.add(input);
      {
        const std::lock_guard lock(mutex);
        outcomes.push_back(outcome);
        if (run.sinkFailure().failed()) outcomes.back().error = run.sinkFailure();
      }
      handing = run.sinkFailure().ok() && !stopping;
      if (!outcomes.back().ok()) break;
    }
    if (handing) {
      if (const Error finished = run.finish(); finished.failed()) {
        const std::lock_guard lock(mutex);
        outcomes.back().error = finished;
      }
    }
    const std::lock_guard lock(mutex);
    done = true;
    changed.notify_all();
  }
};

TableBatches::TableBatches(TableKind kind, TableOptions options, size_t batchRows, std::vector<Input> inputs)
    : impl_(std::make_unique<Impl>(kind, std::max<size_t>(batchRows, 1), std::move(inputs))) {
  if (impl_->inputs.empty()) {
    impl_->done = true;
    return;
  }
  impl_->reader = std::thread([impl = impl_.get(), options = std::move(options)]() mutable { impl->readCatching(std::move(options)); });
}

TableBatches::~TableBatches() {
  {
    const std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
    impl_->changed.notify_all();
  }
  if (impl_->reader.joinable()) impl_->reader.join();
}

Batch TableBatches::next(std::chrono::milliseconds patience) {
  Impl& run = *impl_;
  std::unique_lock lock(run.mutex);
  if (!run.changed.wait_for(lock, patience, [&] { return !run.ready.empty() || run.done; })) return {};
  if (run.ready.empty()) return {Batch::State::kEnd, {}};
  Batch batch{Batch::State::kRows, std::move(run.ready.front())};
  run.ready.pop_front();
  run.changed.notify_all();
  return batch;
}

std::vector<FileOutcome> TableBatches::outcomes() const {
  const std::lock_guard lock(impl_->mutex);
  return impl_->outcomes;
}

}  // namespace zolt
