// Each table's time span, as the rows of TableRowsView would be timed, with
// no row made: a run of data records is timed by its first and last record.
#include "core/readInput.h"
#include "core/recordCatalogue.h"
#include "core/sampleClock.h"
#include "views/dataPlace.h"
#include "zolt/spans.h"

namespace zolt {

namespace {

void add(TimeSpan& span, int64_t first, int64_t last) {
  if (!span.empty() && first < span.last) span.inOrder = false;
  span.first = std::min(span.first, first);
  span.last = std::max(span.last, last);
}

TimeSpan& of(FileSpans& spans, TableKind kind) { return spans.tables[static_cast<size_t>(kind)]; }

class SpanView {
 public:
  SpanView(FileSpans& spans, uint16_t carriedRate) : spans_(spans) { place_.rate = carriedRate; }

  // Any record but a data record, timed as its row would be.
  template <RecordType Type>
  void record(RecordBody<Type> body) {
    if constexpr (Type == kFileHeader) {
      place_.rate = body.read().rate;
      spans_.lastRate = place_.rate;
    }
    if constexpr (Type == kSecondMarker) place_.marker(body);
    if constexpr (requires { Record<Type>::time(body.bytes); }) {
      const int64_t time = Record<Type>::time(body.bytes);
      add(of(spans_, static_cast<TableKind>(Type)), time, time);
    } else if (place_.markerTime != kNoTime) {
      add(of(spans_, static_cast<TableKind>(Type)), place_.markerTime, place_.markerTime);
    }
  }
  void dataRecords(const uint8_t* /*records*/, size_t count) {
    const DataPlace& at = place_;
    if (at.markerTime != kNoTime && count > 0) {
      if (!spans_.lastRate) spans_.usesCarriedRate = true;
      add(of(spans_, TableKind::kData), at.markerTime + sampleOffset(at.sample, at.rate),
          at.markerTime + sampleOffset(at.sample + count - 1, at.rate));
    }
    place_.sample += count;
  }
  void lostDataRecords(uint64_t count) { place_.lostDataRecords(count); }
  void salvagedRate(uint16_t rate) { place_.salvagedRate(rate); }
  void placeSecond(int32_t markerTime, uint64_t firstSample) { place_.placeSecond(markerTime, firstSample); }
  void unknownType(uint8_t /*type*/, uint64_t /*offset*/) {}
  void cutRecord(const uint8_t* /*bytes*/, size_t /*size*/, uint64_t /*offset*/) {}

 private:
  FileSpans& spans_;
  DataPlace place_;
};

// Looks only until a header, or a data record after a marker, tells.
class CarriedRateView {
 public:
  std::optional<bool> answer;

  void record(RecordBody<kFileHeader> /*body*/) { tell(false); }
  void record(RecordBody<kSecondMarker> /*body*/) { marked_ = true; }
  // No other record tells.
  template <RecordType Type>
  void record(RecordBody<Type> /*body*/) {}
  void dataRecords(const uint8_t* /*records*/, size_t /*count*/) {
    if (marked_) tell(true);
  }
  void unknownType(uint8_t /*type*/, uint64_t /*offset*/) {}
  void cutRecord(const uint8_t* /*bytes*/, size_t /*size*/, uint64_t /*offset*/) {}

 private:
  void tell(bool uses) {
    if (!answer) answer = uses;
  }
  bool marked_ = false;
};

}  // namespace

std::optional<bool> usesCarriedRate(std::span<const uint8_t> start) {
  CarriedRateView view;
  const FileOutcome outcome = readInput(Input::memory(start), view);
  // The end of these bytes is not the file's end: a file that may go on
  // tells nothing more than what its start has shown.
  (void)outcome;
  return view.answer;
}

FileOutcome spansOf(const Input& input, uint16_t carriedRate, FileSpans& spans, const KeepGoing& keepGoing,
                    bool salvage) {
  spans = FileSpans{};
  SpanView view(spans, carriedRate);
  return readInput(input, view, keepGoing, salvage);
}

}  // namespace zolt
