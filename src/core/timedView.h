// What a view is handed once the clock has placed every record in time: each
// record with its row's time resolved, the data records in runs of
// consecutive samples of one second, and the clock's account of each second.
// No view keeps a clock of its own, so every view times every record alike.
//
// A timed view is a type that meets TimedView below: it takes every record
// type but the data record as a TimedRecord, and runs of data records as
// Samples. It derives from TimedViewBase, which gives it the members it does
// not care for (damage notes, the seconds, failure()) as members that do
// nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

#include "core/recordCatalogue.h"
#include "core/sampleClock.h"
#include "zolt/error.h"
#include "zolt/time.h"

namespace zolt {

// A record with its row's time: its own, or that of its second (kNoTime for
// one read before the input's first second).
template <RecordType Type>
struct TimedRecord {
  RecordBody<Type> body;
  int64_t time;
  uint64_t offset;  // of its type byte in the input
  auto read() const { return body.read(); }
};

// Whole data records that follow one another in one second: the first is
// the sample numbered `first` since the second began at `marker` (kNoTime
// before the input's first second), at `rate` samples a second.
struct Samples {
  const uint8_t* records;  // type byte first
  size_t count;
  uint64_t offset;  // of the first one's type byte
  int64_t marker;
  uint16_t rate;
  uint64_t first;

  bool timed() const { return marker != kNoTime; }
  uint64_t end() const { return first + count; }
  // Of the sample numbered `sample`, which lies in this run.
  int64_t timeOf(uint64_t sample) const { return timed() ? marker + sampleOffset(sample, rate) : kNoTime; }
  const uint8_t* record(uint64_t sample) const { return records + (sample - first) * kDataRecordSize; }
  // The samples of this run whose times `window` keeps: one after the other.
  Samples within(const TimeWindow& window) const {
    if (!timed()) return window.given ? part(first, first) : *this;
    const SampleSpan span = samplesWithin(marker, rate, first, count, window.from, window.to);
    return part(span.first, span.end);
  }
  // The samples numbered [from, to) of this run.
  Samples part(uint64_t from, uint64_t to) const {
    if (from >= to) return {records, 0, offset, marker, rate, first};
    return {record(from), static_cast<size_t>(to - from), offset + (from - first) * kDataRecordSize, marker, rate, from};
  }
};

// How one second follows the one before it in the run: told as each second
// begins, before its marker (if it has one) is handed on.
struct SecondStep {
  int32_t time;
  // Its marker was lost to damage, and the markers around it placed it.
  bool placed = false;
  // The second before it in the run, if any.
  std::optional<int32_t> previous;
  bool previousInInput = false;     // read from the same input
  bool previousPlaced = false;      // itself placed
  uint64_t previousSamples = 0;     // data records the clock placed in it
  // How far it lies after the one before: 1 for the next second.
  int64_t step() const { return previous ? int64_t{time} - *previous : 0; }
};

// The members a timed view need not have.
struct TimedViewBase {
  void unknownType(uint8_t /*type*/, uint64_t /*offset*/) {}
  // The input ended `size` bytes into a record: it makes no row.
  void cutRecord(const uint8_t* /*bytes*/, size_t /*size*/, uint64_t /*offset*/) {}
  // The input ends in `size` zero bytes that were never written.
  void unwritten(uint64_t /*size*/, uint64_t /*offset*/) {}
  // Salvage skipped these bytes: no records there sit on the true framing.
  void skipped(uint64_t /*offset*/, uint64_t /*size*/) {}
  void second(const SecondStep& /*step*/) {}
  // Told before each piece of the input, a few hundred kilobytes apart:
  // where a view may hand on what it holds.
  void nextPiece() {}
  // Asked between pieces of the input: an error ends the read.
  static Error failure() { return {}; }
};

template <typename View, size_t... Types>
constexpr bool takesEachTimedRecord(std::index_sequence<Types...> /*types*/) {
  return ((Types == kDataRecord ||
           requires(View& view) {
             view.record(TimedRecord<static_cast<RecordType>(Types)>{{nullptr}, 0, 0});
           }) &&
          ...);
}

template <typename View>
concept TimedView = takesEachTimedRecord<View>(std::make_index_sequence<kRecordTypes>{}) &&
                    requires(View& view, const Samples& samples, const SecondStep& step, const uint8_t* bytes) {
                      view.samples(samples);
                      view.second(step);
                      view.nextPiece();
                      view.unknownType(uint8_t{}, uint64_t{});
                      view.cutRecord(bytes, size_t{}, uint64_t{});
                      view.unwritten(uint64_t{}, uint64_t{});
                      view.skipped(uint64_t{}, uint64_t{});
                      { view.failure() } -> std::convertible_to<Error>;
                    };

}  // namespace zolt
