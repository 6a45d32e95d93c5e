// Each table's time span, as the rows of TableRowsView would be timed, with
// no row made: a run of data records is timed by its first and last record.
#include "core/readInput.h"
#include "core/recordCatalogue.h"
#include "zolt/spans.h"

namespace zolt {

namespace {

void add(TimeSpan& span, int64_t first, int64_t last) {
  if (!span.empty() && first < span.last) span.inOrder = false;
  span.first = std::min(span.first, first);
  span.last = std::max(span.last, last);
}

TimeSpan& of(FileSpans& spans, TableKind kind) { return spans.tables[static_cast<size_t>(kind)]; }

class SpanView : public TimedViewBase {
 public:
  explicit SpanView(FileSpans& spans) : spans_(spans) {}

  // Any record but a data record, timed as its row would be.
  template <RecordType Type>
  void record(TimedRecord<Type> record) {
    if constexpr (Type == kFileHeader) spans_.lastRate = record.read().rate;
    if (record.time != kNoTime) add(of(spans_, static_cast<TableKind>(Type)), record.time, record.time);
  }
  void samples(const Samples& samples) {
    if (!samples.timed()) return;
    if (!spans_.lastRate) spans_.usesCarriedRate = true;
    add(of(spans_, TableKind::kData), samples.timeOf(samples.first), samples.timeOf(samples.end() - 1));
  }

 private:
  FileSpans& spans_;
};

// Looks only until a header, or a data record after a marker, tells.
class CarriedRateView : public TimedViewBase {
 public:
  std::optional<bool> answer;

  void record(TimedRecord<kFileHeader> /*record*/) { tell(false); }
  // No other record tells.
  template <RecordType Type>
  void record(TimedRecord<Type> /*record*/) {}
  void samples(const Samples& samples) {
    if (samples.timed()) tell(true);
  }

 private:
  void tell(bool uses) {
    if (!answer) answer = uses;
  }
};

}  // namespace

std::optional<bool> usesCarriedRate(std::span<const uint8_t> start) {
  CarriedRateView view;
  RunClock clock;
  const FileOutcome outcome = readInput(Input::memory(start), clock, view);
  // The end of these bytes is not the file's end: a file that may go on
  // tells nothing more than what its start has shown.
  (void)outcome;
  return view.answer;
}

FileOutcome spansOf(const Input& input, uint16_t carriedRate, FileSpans& spans, const KeepGoing& keepGoing,
                    bool salvage) {
  spans = FileSpans{};
  SpanView view(spans);
  RunClock clock;
  clock.rate = carriedRate;
  return readInput(input, clock, view, keepGoing, salvage);
}

}  // namespace zolt
