// Two views fed by one read: every record, and every note of damage, goes
// to both, so that a front end that needs two views of an input reads it
// once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/recordCatalogue.h"
#include "zolt/error.h"

namespace zolt {

template <typename First, typename Second>
class TeeView {
 public:
  TeeView(First& first, Second& second) : first_(first), second_(second) {}

  template <RecordType Type>
  void record(RecordBody<Type> body) {
    first_.record(body);
    second_.record(body);
  }
  void dataRecords(const uint8_t* records, size_t count) {
    first_.dataRecords(records, count);
    second_.dataRecords(records, count);
  }
  void unknownType(uint8_t type, uint64_t offset) {
    first_.unknownType(type, offset);
    second_.unknownType(type, offset);
  }
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset) {
    first_.cutRecord(bytes, size, offset);
    second_.cutRecord(bytes, size, offset);
  }
  // The hooks that only some views have go to those that have them.
  void piece(const uint8_t* begin, uint64_t offset) {
    each([&](auto& view) { if constexpr (requires { view.piece(begin, offset); }) view.piece(begin, offset); });
  }
  void unwritten(uint64_t size, uint64_t offset) {
    each([&](auto& view) { if constexpr (requires { view.unwritten(size, offset); }) view.unwritten(size, offset); });
  }
  void skipped(uint64_t offset, uint64_t size) {
    each([&](auto& view) { if constexpr (requires { view.skipped(offset, size); }) view.skipped(offset, size); });
  }
  void lostDataRecords(uint64_t count) {
    each([&](auto& view) { if constexpr (requires { view.lostDataRecords(count); }) view.lostDataRecords(count); });
  }
  void salvagedRate(uint16_t rate) {
    each([&](auto& view) { if constexpr (requires { view.salvagedRate(rate); }) view.salvagedRate(rate); });
  }
  void placeSecond(int32_t time, uint64_t firstSample) {
    each([&](auto& view) {
      if constexpr (requires { view.placeSecond(time, firstSample); }) view.placeSecond(time, firstSample);
    });
  }
  Error failure() const {
    if constexpr (requires { first_.failure(); }) {
      if (Error failed = first_.failure(); failed.failed()) return failed;
    }
    // cppcheck-suppress duplicateCondition ; it asks of the other view
    if constexpr (requires { second_.failure(); }) return second_.failure();
    return {};
  }

 private:
  template <typename Each>
  void each(Each each) {
    each(first_);
    each(second_);
  }

  First& first_;
  Second& second_;
};

}  // namespace zolt
