// How every view reads an input: opened, scanned (or salvaged) into the
// clock that places its records in time, and the outcome told as a value,
// an allocation failure included.
#pragma once

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <new>

#include "core/inputBlocks.h"
#include "core/recordClock.h"
#include "core/recordScanner.h"
#include "core/salvage.h"
#include "core/unwrittenTail.h"
#include "zolt/records.h"

namespace zolt {

// Passes every record of a literal reading on to the view and counts the
// damage as it goes by: for the report, which has no clock.
template <RecordView View>
class DamageTally {
 public:
  DamageTally(View& view, Damage& damage) : view_(view), damage_(damage) {}

  template <RecordType Type>
  void record(RecordBody<Type> body) {
    view_.record(body);
  }
  void dataRecords(const uint8_t* records, size_t count) { view_.dataRecords(records, count); }
  void unknownType(uint8_t type, uint64_t offset) {
    if (damage_.unknownBytes++ == 0) damage_.firstUnknownOffset = offset;
    view_.unknownType(type, offset);
  }
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset) {
    damage_.cutType = bytes[0];
    damage_.cutSize = size;
    damage_.cutOffset = offset;
    view_.cutRecord(bytes, size, offset);
  }
  Error failure() const {
    if constexpr (requires { view_.failure(); }) return view_.failure();
    return {};
  }
  void piece(const uint8_t* begin, uint64_t offset) {
    if constexpr (requires { view_.piece(begin, offset); }) view_.piece(begin, offset);
  }

 private:
  View& view_;
  Damage& damage_;
};

inline Error outOfMemory() { return {Errc::kOutOfMemory, ENOMEM}; }

// Scans an opened input into the view, every record as it is, untimed.
template <RecordView View>
FileOutcome scanLiterally(InputBlocks& blocks, View& view, const KeepGoing& keepGoing = {}) {
  FileOutcome outcome;
  try {
    DamageTally<View> tallied(view, outcome.damage);
    outcome.error = scanRecords(blocks, tallied, keepGoing);
    // A failure in the last piece shows only once the scan is over.
    if (outcome.error.ok()) outcome.error = tallied.failure();
  } catch (const std::bad_alloc&) {
    outcome.error = outOfMemory();
  }
  return outcome;
}

// Reads an opened input into the clock, every record as it is but the
// unwritten end.
template <RecordView Clock>
Error scanClocked(InputBlocks& blocks, Clock& clock, const KeepGoing& keepGoing) {
  UnwrittenTail<Clock> tail(clock);
  Error error = scanRecords(blocks, tail, keepGoing);
  if (error.ok()) error = tail.failure();
  if (error.ok() && tail.unwrittenBytes() > 0) {
    clock.unwritten(tail.unwrittenBytes(), tail.unwrittenOffset());
  } else {
    tail.release();
  }
  return error;
}

// Opens the input and reads it into the view, each record placed in time by
// the run's clock: literally, or salvaged (only the records on its true
// framing).
template <TimedView View>
FileOutcome readInput(const Input& input, RunClock& run, View& view, const KeepGoing& keepGoing = {},
                      bool salvage = false) {
  FileOutcome outcome;
  try {
    InputBlocks blocks(input);
    if (blocks.openError().failed()) return {blocks.openError(), {}};
    RecordClock<View> clock(run, view, outcome.damage);
    outcome.error = salvage ? salvageRecords(blocks, clock, keepGoing) : scanClocked(blocks, clock, keepGoing);
    clock.finish();
    // A failure in the last piece shows only once the read is over.
    if (outcome.error.ok()) outcome.error = clock.failure();
  } catch (const std::bad_alloc&) {
    outcome.error = outOfMemory();
  }
  return outcome;
}

// What salvage keeps of an input: its records by type.
class SalvageCount : public TimedViewBase {
 public:
  template <RecordType Type>
  void record(TimedRecord<Type> /*record*/) {
    ++records[Type];
  }
  void samples(const Samples& samples) { records[kDataRecord] += samples.count; }

  uint64_t records[kRecordTypes] = {};
};

// Reads the input literally into `literal` and salvages the same bytes into
// `salvaged`, in one pass: a stream can be read only once. Each keeps its
// own place; a block goes on from the earlier of the two.
template <RecordView Literal, RecordView Salvaged>
Error scanAndSalvageRecords(InputBlocks& input, Literal& literal, Salvaged& salvaged, const KeepGoing& keepGoing) {
  Salvager<Salvaged> salvager(salvaged);
  uint64_t offset = 0;  // of the block's first byte
  uint64_t literalAt = 0;
  uint64_t salvageAt = 0;
  const uint8_t* rest = nullptr;
  for (;;) {
    if (Error stop = reasonToStop(literal, keepGoing); stop.failed()) return stop;
    const InputBlocks::Bytes bytes = input.next(rest);
    const uint8_t* const literalFrom = bytes.begin + (literalAt - offset);
    const uint8_t* const salvageFrom = bytes.begin + (salvageAt - offset);
    if (input.ended()) {
      if (input.error().failed()) return input.error();
      if (literalFrom < bytes.end) literal.cutRecord(literalFrom, static_cast<size_t>(bytes.end - literalFrom), literalAt);
      salvaged.piece(bytes.begin, offset);
      salvager.process(salvageFrom, bytes.end, salvageAt, true);
      return {};
    }
    literal.piece(bytes.begin, offset);
    salvaged.piece(bytes.begin, offset);
    const MappedFile* const mapping = input.mapping();
    const uint8_t* const literalRest =
        mapping != nullptr
            ? scanning::scanBlock(literalFrom, bytes.end, literalAt, literal, scanning::MappingGuard{*mapping})
            : scanning::scanBlock(literalFrom, bytes.end, literalAt, literal, scanning::Unguarded{});
    const uint8_t* const salvageRest = salvager.process(salvageFrom, bytes.end, salvageAt, false, mapping);
    literalAt += static_cast<uint64_t>(literalRest - literalFrom);
    salvageAt += static_cast<uint64_t>(salvageRest - salvageFrom);
    rest = std::min(literalRest, salvageRest);
    offset += static_cast<uint64_t>(rest - bytes.begin);
  }
}

// A literal reading of an input, and what salvage would keep of it.
struct CheckedOutcome {
  FileOutcome literal;
  Damage salvageDamage;
  uint64_t salvageRecords[kRecordTypes] = {};
};

// Reads the input literally into the view, leaving out its unwritten end,
// and tells what salvage would make of it, as a run of its own would: the
// run's clock is not moved by that.
template <TimedView View>
CheckedOutcome readInputChecked(const Input& input, RunClock& run, View& view, const KeepGoing& keepGoing = {}) {
  CheckedOutcome outcome;
  try {
    InputBlocks blocks(input);
    if (blocks.openError().failed()) {
      outcome.literal.error = blocks.openError();
      return outcome;
    }
    RecordClock<View> clock(run, view, outcome.literal.damage);
    UnwrittenTail<RecordClock<View>> tail(clock);
    SalvageCount count;
    RunClock salvageRun = run;
    RecordClock<SalvageCount> counted(salvageRun, count, outcome.salvageDamage);
    outcome.literal.error = scanAndSalvageRecords(blocks, tail, counted, keepGoing);
    counted.finish();
    if (outcome.literal.error.ok()) outcome.literal.error = tail.failure();
    if (outcome.literal.error.ok() && tail.unwrittenBytes() > 0) {
      clock.unwritten(tail.unwrittenBytes(), tail.unwrittenOffset());
    } else {
      tail.release();
    }
    std::copy(std::begin(count.records), std::end(count.records), std::begin(outcome.salvageRecords));
  } catch (const std::bad_alloc&) {
    outcome.literal.error = outOfMemory();
  }
  return outcome;
}

}  // namespace zolt
