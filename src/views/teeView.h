// Two timed views fed by one read: every record, every step of the clock and
// every note of damage goes to both, so that a front end that needs two
// views of an input reads it once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/timedView.h"
#include "zolt/error.h"

namespace zolt {

template <TimedView First, TimedView Second>
class TeeView {
 public:
  TeeView(First& first, Second& second) : first_(first), second_(second) {}

  template <RecordType Type>
  void record(TimedRecord<Type> record) {
    first_.record(record);
    second_.record(record);
  }
  void samples(const Samples& samples) {
    first_.samples(samples);
    second_.samples(samples);
  }
  void second(const SecondStep& step) {
    first_.second(step);
    second_.second(step);
  }
  void unknownType(uint8_t type, uint64_t offset) {
    first_.unknownType(type, offset);
    second_.unknownType(type, offset);
  }
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset) {
    first_.cutRecord(bytes, size, offset);
    second_.cutRecord(bytes, size, offset);
  }
  void unwritten(uint64_t size, uint64_t offset) {
    first_.unwritten(size, offset);
    second_.unwritten(size, offset);
  }
  void skipped(uint64_t offset, uint64_t size) {
    first_.skipped(offset, size);
    second_.skipped(offset, size);
  }
  void nextPiece() {
    first_.nextPiece();
    second_.nextPiece();
  }
  Error failure() const {
    if (Error failed = first_.failure(); failed.failed()) return failed;
    return second_.failure();
  }

 private:
  First& first_;
  Second& second_;
};

}  // namespace zolt
