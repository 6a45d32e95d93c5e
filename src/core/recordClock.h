// The one clock of the library: it takes the records of an input in file
// order, from the scanner or from salvage, places each in time, and hands
// them on to a timed view (core/timedView.h). It alone knows the latest
// second marker, the rate, each data record's number in its second, the
// steps between seconds and the damage told on the way.
//
// A data record is the sample numbered from its second marker, timed at the
// marker plus its number over the rate of the latest file header of the run.
// A record of the marker's time takes the time of the latest marker; the
// others carry their own. Before an input's first marker nothing has a time
// but the records that carry their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/recordCatalogue.h"
#include "core/timedView.h"
#include "zolt/records.h"

namespace zolt {

// What the clock carries from one input of a run to the next.
struct RunClock {
  uint16_t rate = 0;  // of the latest file header
  // The latest second of the run, and the data records placed in it.
  std::optional<int32_t> second;
  bool secondPlaced = false;
  uint64_t secondSamples = 0;
};

template <TimedView View>
class RecordClock {
 public:
  RecordClock(RunClock& run, View& view, Damage& damage) : run_(run), view_(view), damage_(damage) {}

  // Where the records handed over next lie in the input.
  void piece(const uint8_t* begin, uint64_t offset) {
    pieceBegin_ = begin;
    pieceOffset_ = offset;
    view_.nextPiece();
  }

  template <RecordType Type>
  void record(RecordBody<Type> body) {
    if constexpr (Type == kFileHeader) header(body.read());
    if constexpr (Type == kSecondMarker) beginSecond(body.read().time, false);
    view_.record(TimedRecord<Type>{body, timeOf(body), offsetOf(body.bytes - 1)});
  }

  void dataRecords(const uint8_t* records, size_t count) {
    if (count == 0) return;
    view_.samples(Samples{records, count, offsetOf(records), marker_, run_.rate, sample_});
    sample_ += count;
    run_.secondSamples += count;
  }

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
    view_.unwritten(size, offset);
  }
  void skipped(uint64_t offset, uint64_t size) {
    ++damage_.skippedStretches;
    damage_.skippedBytes += size;
    if (damage_.skipped.size() < Damage::kStretchesKept) damage_.skipped.push_back({offset, size});
    view_.skipped(offset, size);
  }

  // What salvage tells of the records it skipped.
  void lostDataRecords(uint64_t count) {
    damage_.lostDataRecords += count;
    sample_ += count;
  }
  void salvagedRate(uint16_t rate) {
    damage_.salvagedRate = rate;
    if (run_.rate == 0) run_.rate = rate;
  }
  void placeSecond(int32_t time, uint64_t firstSample) {
    ++damage_.placedSeconds;
    beginSecond(time, true);
    sample_ = firstSample;
  }

  Error failure() const { return view_.failure(); }

 private:
  uint64_t offsetOf(const uint8_t* byte) const { return pieceOffset_ + static_cast<uint64_t>(byte - pieceBegin_); }

  void header(const FileHeader& header) { run_.rate = header.rate; }

  void beginSecond(int32_t time, bool placed) {
    SecondStep step{time, placed, run_.second, secondInInput_, run_.secondPlaced, run_.secondSamples};
    run_.second = time;
    run_.secondPlaced = placed;
    run_.secondSamples = 0;
    secondInInput_ = true;
    marker_ = microsOf(time);
    sample_ = 0;
    view_.second(step);
  }

  template <RecordType Type>
  int64_t timeOf(RecordBody<Type> body) const {
    if constexpr (entryOf(Type).rowTime == RowTime::kOwn) {
      return Record<Type>::time(body.bytes);
    } else {
      return marker_;
    }
  }

  RunClock& run_;
  View& view_;
  Damage& damage_;
  const uint8_t* pieceBegin_ = nullptr;
  uint64_t pieceOffset_ = 0;
  int64_t marker_ = kNoTime;  // of the latest second of this input
  uint64_t sample_ = 0;       // data records since then
  bool secondInInput_ = false;
};

}  // namespace zolt
