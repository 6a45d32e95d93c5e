#include "views/tableStream.h"

#include <new>

#include "core/readInput.h"
#include "core/recordCatalogue.h"
#include "core/rereadable.h"
#include "views/columnRows.h"
#include "views/tableRows.h"

namespace zolt {

namespace {

class StartView : public TimedViewBase {
 public:
  explicit StartView(RunStart& start) : start_(start) {}
  template <RecordType Type>
  void record(TimedRecord<Type> record) {
    if constexpr (Type == kSecondMarker) {
      if (!start_.firstMarker) start_.firstMarker = record.read().time;
    }
    if (record.time == kNoTime) start_.untimedRows = true;
  }
  void samples(const Samples& samples) {
    if (!samples.timed()) start_.untimedRows = true;
  }
  void second(const SecondStep& /*step*/) { timed_ = true; }
  // Nothing after a file's first marker changes what this looks for.
  Error failure() const { return timed_ ? Error{Errc::kStopped, 0} : Error{}; }

 private:
  RunStart& start_;
  bool timed_ = false;
};

}  // namespace

bool RunStart::untimed(TableKind kind) const { return untimedRows && entryOf(kind).rowTime != RowTime::kOwn; }

RunStart lookAtStarts(std::span<const Input> inputs, const TimeWindow& window, bool salvage) {
  RunStart start;
  for (const Input& input : inputs) {
    if (!rereadable(input)) {
      start.untimedRows = true;
      continue;
    }
    StartView view(start);
    RunClock clock;
    readInput(input, clock, view, {}, salvage);
  }
  // A window keeps no row without a time.
  if (window.given) start.untimedRows = false;
  return start;
}

namespace {

// The most data records a piece of input holds: a mapped window.
constexpr size_t kPieceRows = MappedFile::kWindow / kDataRecordSize + 1;

// One table being filled.
struct Filling {
  StreamedTable table;
  Table rows;
};

// Hands every record to the rows of every table, and the ready rows to the
// sink between pieces of the input.
class StreamView : public TimedViewBase {
 public:
  StreamView(std::vector<Filling>& tables, ChunkSink& sink, const StreamOptions& options,
             std::optional<FileHeader>& firstHeader)
      : tables_(tables), sink_(sink), firstHeader_(firstHeader) {
    rows_.reserve(tables.size());
    views_.reserve(tables.size());
    for (Filling& each : tables) {
      rows_.emplace_back(each.rows, options.nanoseconds);
      views_.emplace_back(each.table.kind, options.window, rows_.back());
    }
  }

  template <RecordType Type>
  void record(TimedRecord<Type> record) {
    if constexpr (Type == kFileHeader) {
      if (!firstHeader_) firstHeader_ = record.read();
    }
    for (auto& view : views_) view.record(record);
  }
  void samples(const Samples& samples) {
    for (auto& view : views_) view.samples(samples);
  }
  void nextPiece() {
    if (failure_.ok()) failure_ = handOn(tables_, sink_, false);
  }
  Error failure() const { return failure_; }

  // Whole chunks while the run lasts, everything at its end.
  static Error handOn(std::vector<Filling>& tables, ChunkSink& sink, bool atEnd) {
    std::vector<ReadyRows> ready;
    ready.reserve(tables.size());
    bool any = false;
    for (const Filling& each : tables) {
      const size_t chunk = each.table.chunkRows;
      const size_t rows = atEnd ? each.rows.rows : each.rows.rows / chunk * chunk;
      ready.push_back({&each.rows, rows});
      any = any || rows > 0;
    }
    if (!any && !atEnd) return {};
    if (Error written = sink.write(ready, atEnd); written.failed()) return written;
    for (size_t i = 0; i < tables.size(); ++i) dropFirstRows(tables[i].rows, ready[i].rows);
    return {};
  }

 private:
  std::vector<Filling>& tables_;
  ChunkSink& sink_;
  std::optional<FileHeader>& firstHeader_;
  std::vector<ColumnRows> rows_;
  std::vector<TableRowsView<ColumnRows>> views_;
  Error failure_;
};

}  // namespace

struct TableStream::Impl {
  StreamOptions options;
  ChunkSink& sink;
  std::vector<Filling> tables;
  RunClock clock;
  std::optional<FileHeader> firstHeader;
  Error sinkFailure;
};

TableStream::TableStream(StreamOptions options, ChunkSink& sink)
    : impl_(std::make_unique<Impl>(Impl{std::move(options), sink, {}, {}, {}, {}})) {
  for (const StreamedTable& table : impl_->options.tables) {
    Filling& each = impl_->tables.emplace_back(Filling{table, emptyTable(table.kind, table.columns)});
    // A chunk, and what one piece of input can add before it is handed on.
    for (Column& column : each.rows.columns) ColumnWriter::reserve(column, table.chunkRows + kPieceRows);
  }
}

TableStream::~TableStream() = default;

FileOutcome TableStream::add(const Input& input) {
  Impl& run = *impl_;
  StreamView view(run.tables, run.sink, run.options, run.firstHeader);
  FileOutcome outcome = readInput(input, run.clock, view, run.options.keepGoing, run.options.salvage);
  run.sinkFailure = view.failure();
  // A row cut short by a failed allocation is no row.
  for (Filling& each : run.tables) {
    for (Column& column : each.rows.columns) ColumnWriter::truncate(column, each.rows.rows);
  }
  return outcome;
}

Error TableStream::finish() {
  try {
    return StreamView::handOn(impl_->tables, impl_->sink, true);
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  }
}

const std::optional<FileHeader>& TableStream::firstHeader() const { return impl_->firstHeader; }

const Error& TableStream::sinkFailure() const { return impl_->sinkFailure; }

}  // namespace zolt
