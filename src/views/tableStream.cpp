#include "views/tableStream.h"

#include <new>

#include "core/readInput.h"
#include "core/recordCatalogue.h"
#include "views/columnRows.h"
#include "views/tableRows.h"

namespace zolt {

namespace {

class StartView {
 public:
  explicit StartView(RunStart& start) : start_(start) {}
  void record(RecordBody<kSecondMarker> body) {
    if (!start_.firstMarker) start_.firstMarker = body.read().time;
    seen_ = true;
  }
  template <RecordType Type>
  void record(RecordBody<Type> /*body*/) {
    if (entryOf(Type).rowTime != RowTime::kOwn) untimed();
  }
  void dataRecords(const uint8_t* /*records*/, size_t /*count*/) { untimed(); }
  void unknownType(uint8_t /*type*/, uint64_t /*offset*/) {}
  void cutRecord(const uint8_t* /*bytes*/, size_t /*size*/, uint64_t /*offset*/) {}
  // Nothing after a file's first marker changes what this looks for.
  Error failure() const { return seen_ ? Error{Errc::kStopped, 0} : Error{}; }

 private:
  void untimed() {
    if (!seen_) start_.untimedRows = true;
  }
  RunStart& start_;
  bool seen_ = false;
};

}  // namespace

bool RunStart::untimed(TableKind kind) const { return untimedRows && entryOf(kind).rowTime != RowTime::kOwn; }

RunStart lookAtStarts(std::span<const Input> inputs, const TimeWindow& window, bool salvage) {
  RunStart start;
  for (const Input& input : inputs) {
    if (input.kind() == Input::Kind::kDescriptor) {
      start.untimedRows = true;
      continue;
    }
    StartView view(start);
    readInput(input, view, {}, salvage);
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
class StreamView {
 public:
  StreamView(std::vector<Filling>& tables, ChunkSink& sink, const TimeWindow& window, uint16_t rate,
             std::optional<FileHeader>& firstHeader)
      : tables_(tables), sink_(sink), firstHeader_(firstHeader) {
    rows_.reserve(tables.size());
    views_.reserve(tables.size());
    for (Filling& each : tables) {
      rows_.emplace_back(each.rows, false);
      views_.emplace_back(each.table.kind, window, rate, rows_.back());
    }
  }

  uint16_t rate() const { return views_.empty() ? 0 : views_.front().rate(); }

  void piece(const uint8_t* /*begin*/, uint64_t /*offset*/) {
    if (failure_.ok()) failure_ = handOn(tables_, sink_, false);
  }
  template <RecordType Type>
  void record(RecordBody<Type> body) {
    if constexpr (Type == kFileHeader) {
      if (!firstHeader_) firstHeader_ = body.read();
    }
    for (auto& view : views_) view.record(body);
  }
  void dataRecords(const uint8_t* records, size_t count) {
    for (auto& view : views_) view.dataRecords(records, count);
  }
  void lostDataRecords(uint64_t count) {
    for (auto& view : views_) view.lostDataRecords(count);
  }
  void salvagedRate(uint16_t rate) {
    for (auto& view : views_) view.salvagedRate(rate);
  }
  void placeSecond(int32_t markerTime, uint64_t firstSample) {
    for (auto& view : views_) view.placeSecond(markerTime, firstSample);
  }
  void unknownType(uint8_t /*type*/, uint64_t /*offset*/) {}
  void cutRecord(const uint8_t* /*bytes*/, size_t /*size*/, uint64_t /*offset*/) {}
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
  uint16_t rate = 0;
  std::optional<FileHeader> firstHeader;
  Error sinkFailure;
};

TableStream::TableStream(StreamOptions options, ChunkSink& sink)
    : impl_(std::make_unique<Impl>(Impl{std::move(options), sink, {}, 0, {}, {}})) {
  for (const StreamedTable& table : impl_->options.tables) {
    Filling& each = impl_->tables.emplace_back(Filling{table, emptyTable(table.kind, table.columns)});
    // A chunk, and what one piece of input can add before it is handed on.
    for (Column& column : each.rows.columns) ColumnWriter::reserve(column, table.chunkRows + kPieceRows);
  }
}

TableStream::~TableStream() = default;

FileOutcome TableStream::add(const Input& input) {
  Impl& run = *impl_;
  StreamView view(run.tables, run.sink, run.options.window, run.rate, run.firstHeader);
  FileOutcome outcome = readInput(input, view, run.options.keepGoing, run.options.salvage);
  run.rate = view.rate();
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
