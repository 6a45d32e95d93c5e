// Tables for analysis tools: one CSV table of one record type over every
// input of a run, with exact values and ISO 8601 times in UTC. The header
// row and every row but the data table's follow from the catalogue.
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "core/readInput.h"
#include "core/recordCatalogue.h"
#include "core/sampleClock.h"
#include "text/exactFormat.h"
#include "text/intervalCsv.h"
#include "text/textFormat.h"
#include "text/textOut.h"
#include "views/averagedRows.h"
#include "views/tableRows.h"
#include "zolt/csv.h"

namespace zolt {

namespace {

constexpr size_t kRowRoom = 512;  // more than any row

// The names of the table's CSV columns, in their order.
std::string headerRow(TableKind kind) {
  std::string row;
  for (const ColumnDefinition& column : columnsOf(kind)) {
    if (column.csv) row.append(row.empty() ? "" : ",").append(column.name);
  }
  return row + "\n";
}

// A CSV field: quoted only when it holds a comma or a double quote, which
// is then doubled.
char* putCsvField(char* out, std::string_view text) {
  if (text.find_first_of(",\"") == std::string_view::npos) return putText(out, text);
  *out++ = '"';
  for (const char c : text) {
    if (c == '"') *out++ = '"';
    *out++ = c;
  }
  *out++ = '"';
  return out;
}

char* putCell(char* out, const Cell& cell) {
  switch (cell.kind) {
    case Cell::kInteger:
      if (cell.integer < 0) *out++ = '-';
      return putUnsigned(out, cell.integer < 0 ? 0 - static_cast<uint64_t>(cell.integer) : static_cast<uint64_t>(cell.integer));
    case Cell::kFraction: return putExactFraction(out, cell.integer, cell.bits);
    case Cell::kThousandths: return putExactThousandths(out, static_cast<uint32_t>(cell.integer));
    case Cell::kSingle: return putShortest(out, cell.single);
    case Cell::kDouble: return putShortest(out, cell.real);
    case Cell::kText: break;
  }
  char escaped[escapedNameRoom(kFileNameSize)];
  const char* escapedEnd = putEscapedName(escaped, cell.text.substr(0, kFileNameSize));
  return putCsvField(out, std::string_view(escaped, static_cast<size_t>(escapedEnd - escaped)));
}

// Each kept row as a line of text.
class CsvRows {
 public:
  explicit CsvRows(TextOut& out) : out_(out) {}

  template <RecordType Type>
  void row(int64_t time, RecordBody<Type> body) {
    char* out = putTime(reserveRow(), time, 3);
    const std::span<const CatalogueColumn> columns = entryOf(Type).columns;
    for (size_t number = kTimeColumn + 1; number < columns.size(); ++number) {
      if (columns[number].definition.csv) out = putCell(putText(out, ","), columns[number].cell(body.bytes));
    }
    endRow(out);
  }

  void data(const Samples& samples) {
    SampleClock clock(samples.first, samples.rate);
    for (size_t i = 0; i < samples.count; ++i, clock.step()) {
      const int64_t time = samples.timed() ? samples.marker + clock.offset() : kNoTime;
      const DataRecord record = Record<kDataRecord>::read(samples.records + i * kDataRecordSize + 1);
      char* out = putTime(reserveRow(), time, 6);
      out = putUnsigned(putText(out, ","), samples.first + i);
      endRow(putInertialFields(out, record.acc, record.quat));
    }
  }

  Error failure() const { return out_.failure(); }

 private:
  char* putTime(char* out, int64_t micros, int decimals) {
    return micros == kNoTime ? out : putIsoTime(out, micros, decimals, seconds_);
  }
  char* reserveRow() { return out_.reserve(kRowRoom); }
  void endRow(char* out) { out_.commit(putText(out, "\n")); }

  TextOut& out_;
  SecondCache seconds_;
};

}  // namespace

// The intervals of a whole run: one may span two inputs.
struct AveragedCsv {
  AveragedCsv(TextOut& out, TableKind table, const Averaging& averaging)
      : text(out, averaging), rows(table, averaging, text) {}
  IntervalCsv text;
  AveragedRows rows;
};

struct CsvRun::Impl {
  Impl(Sink& sink, CsvOptions given) : options(std::move(given)), out(sink) {
    if (options.averaging.on()) averaged = std::make_unique<AveragedCsv>(out, options.table, options.averaging);
  }
  std::string header() const {
    if (!averaged) return headerRow(options.table);
    const std::vector<std::string_view> names = averagedColumnNames(options.table);
    return intervalHeaderRow(names, options.averaging);
  }
  CsvOptions options;
  TextOut out;
  bool begun = false;  // the header row is written
  RunClock clock;
  std::unique_ptr<AveragedCsv> averaged;
};

CsvRun::CsvRun(Sink& sink, CsvOptions options) : impl_(std::make_unique<Impl>(sink, std::move(options))) {}

CsvRun::~CsvRun() = default;
CsvRun::CsvRun(CsvRun&&) noexcept = default;
CsvRun& CsvRun::operator=(CsvRun&&) noexcept = default;

namespace {

// The header row, once, before any row.
Error begin(TextOut& out, const std::string& header, bool& begun) {
  if (begun) return {};
  try {
    out.text(header);
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  }
  begun = true;
  return {};
}

}  // namespace

Error CsvRun::finish() {
  if (impl_ == nullptr) return {Errc::kInvalidArgument, EINVAL};
  Impl& run = *impl_;
  if (Error begun = begin(run.out, run.header(), run.begun); begun.failed()) return begun;
  if (run.averaged) run.averaged->rows.finish();
  return run.out.flush();
}

FileOutcome CsvRun::add(const Input& input) {
  if (impl_ == nullptr) return {{Errc::kInvalidArgument, EINVAL}, {}};
  Impl& run = *impl_;
  // The header row comes first, even before a file that cannot be read.
  if (Error begun = begin(run.out, run.header(), run.begun); begun.failed()) return {std::move(begun), {}};
  FileOutcome outcome;
  if (run.averaged) {
    TableRowsView<AveragedRows> view(run.options.table, run.options.window, run.averaged->rows);
    outcome = readInput(input, run.clock, view, run.options.keepGoing, run.options.salvage);
  } else {
    CsvRows rows(run.out);
    TableRowsView<CsvRows> view(run.options.table, run.options.window, rows);
    outcome = readInput(input, run.clock, view, run.options.keepGoing, run.options.salvage);
  }
  // The rows come before anything the caller says of the input.
  if (const Error written = run.out.flush(); written.failed()) outcome.error = written;
  return outcome;
}

}  // namespace zolt
