// How every view reads an input: opened, scanned with the damage tallied on
// the way, and the outcome told as a value, an allocation failure included.
#pragma once

#include <cerrno>
#include <new>

#include "core/inputBlocks.h"
#include "core/recordScanner.h"
#include "core/unwrittenTail.h"
#include "zolt/records.h"

namespace zolt {

// Passes every record on to the view and counts the damage as it goes by.
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
  void unwritten(uint64_t size, uint64_t offset) {
    damage_.unwrittenBytes = size;
    damage_.unwrittenOffset = offset;
    if constexpr (requires { view_.unwritten(size, offset); }) view_.unwritten(size, offset);
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

// Scans an opened input into the view, every record as it is.
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

// Scans an opened input into the view, leaving out its unwritten end.
template <RecordView View>
FileOutcome scanInput(InputBlocks& blocks, View& view, const KeepGoing& keepGoing = {}) {
  FileOutcome outcome;
  try {
    DamageTally<View> tallied(view, outcome.damage);
    UnwrittenTail<DamageTally<View>> tail(tallied);
    outcome.error = scanRecords(blocks, tail, keepGoing);
    if (outcome.error.ok()) outcome.error = tail.failure();
    if (outcome.error.ok() && tail.unwrittenBytes() > 0) {
      tallied.unwritten(tail.unwrittenBytes(), tail.unwrittenOffset());
    } else {
      tail.release();
    }
  } catch (const std::bad_alloc&) {
    outcome.error = outOfMemory();
  }
  return outcome;
}

// Opens the input and scans it into the view.
template <RecordView View>
FileOutcome readInput(const Input& input, View& view, const KeepGoing& keepGoing = {}) {
  try {
    InputBlocks blocks(input);
    if (blocks.openError().failed()) return {blocks.openError(), {}};
    return scanInput(blocks, view, keepGoing);
  } catch (const std::bad_alloc&) {
    return {outOfMemory(), {}};
  }
}

}  // namespace zolt
