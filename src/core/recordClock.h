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
//
// After bytes that salvage skipped, the records are held until the marker
// after them comes, and then placed by the markers around them
// (core/secondPlacement.h): a record the damage did not touch keeps its
// time and number, and one that cannot be placed is dropped and told with
// the skipped bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "core/heldRecords.h"
#include "core/recordCatalogue.h"
#include "core/secondPlacement.h"
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
  // Whole seconds in a row that held the same number of data records, and
  // that number: whether the logger keeps to its rate.
  uint64_t alikeSeconds = 0;
  uint64_t alikeCount = 0;
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
    const uint64_t offset = offsetOf(body.bytes - 1);
    if (!held_.empty()) {
      if ((Type == kSecondMarker || Type == kFileHeader) && closing_ == SIZE_MAX) closing_ = held_.entries().size();
      held_.record(body.bytes - 1, offset);
      placeHeld(false);
      return;
    }
    take(body, offset);
  }

  void dataRecords(const uint8_t* records, size_t count) {
    if (count == 0) return;
    const uint64_t offset = offsetOf(records);
    if (!held_.empty()) {
      held_.data(records, count, offset);
      placeHeld(false);
      return;
    }
    takeData(records, count, offset);
  }

  void unknownType(uint8_t type, uint64_t offset) {
    placeHeld(true);
    flushStretch();
    if (damage_.unknownBytes++ == 0) damage_.firstUnknownOffset = offset;
    view_.unknownType(type, offset);
  }
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset) {
    placeHeld(true);
    flushStretch();
    damage_.cutType = bytes[0];
    damage_.cutSize = size;
    damage_.cutOffset = offset;
    view_.cutRecord(bytes, size, offset);
  }
  void unwritten(uint64_t size, uint64_t offset) {
    placeHeld(true);
    flushStretch();
    damage_.unwrittenBytes = size;
    damage_.unwrittenOffset = offset;
    view_.unwritten(size, offset);
  }
  // Salvage skipped these bytes: what follows is held until it can be
  // placed.
  void skipped(uint64_t offset, uint64_t size) {
    // A file that begins inside a record (a piece of a recording cut in two,
    // or one that lost its start) is held like any other: its whole seconds
    // tell the rate that its lost header would have.
    if (held_.empty()) {
      facts_.before = secondInInput_ ? run_.second : std::nullopt;
      facts_.samplesBefore = sample_;
      startDamaged_ = offset == 0;
    }
    held_.skipped(offset, size);
    ++skipsSinceMarker_;
  }

  // The input is over: what is held is placed as well as it can be.
  void finish() {
    placeHeld(true);
    flushStretch();
  }

  Error failure() const { return view_.failure(); }

 private:
  static constexpr unsigned kAlikeToKeepRate = 2;
  // Held records beyond this are placed as if the input ended: a stretch
  // that long without a marker tells nothing more.
  static constexpr size_t kMostHeld = size_t{1} << 20;

  uint64_t offsetOf(const uint8_t* byte) const { return pieceOffset_ + static_cast<uint64_t>(byte - pieceBegin_); }

  // ---- Records placed as they come ----

  template <RecordType Type>
  void take(RecordBody<Type> body, uint64_t offset) {
    if constexpr (Type == kFileHeader) header(body.read());
    if constexpr (Type == kSecondMarker) beginSecond(body.read().time, false);
    const int64_t time = timeOf(body);
    if (time == kNoTime && lostSecond_) return drop(kRecordSize[Type], offset);
    flushStretch();
    view_.record(TimedRecord<Type>{body, time, offset});
  }

  void takeData(const uint8_t* records, size_t count, uint64_t offset) {
    if (lostSecond_) return drop(count * kDataRecordSize, offset);
    flushStretch();
    view_.samples(Samples{records, count, offset, marker_, run_.rate, sample_});
    sample_ += count;
    run_.secondSamples += count;
  }

  void header(const FileHeader& header) {
    run_.rate = header.rate;
    run_.alikeSeconds = 0;
  }

  void beginSecond(int32_t time, bool placed) {
    flushStretch();
    const SecondStep step{time, placed, run_.second, secondInInput_, run_.secondPlaced, run_.secondSamples};
    if (!placed) countWholeSecond(step);
    run_.second = time;
    run_.secondPlaced = placed;
    run_.secondSamples = 0;
    secondInInput_ = true;
    skipsSinceMarker_ = 0;
    lostSecond_ = false;
    marker_ = microsOf(time);
    sample_ = 0;
    if (placed) ++damage_.placedSeconds;
    view_.second(step);
  }

  // A second read whole, from its marker to the next a second later: how
  // many records the logger writes in one.
  void countWholeSecond(const SecondStep& step) {
    const bool whole = step.step() == 1 && step.previousInInput && !step.previousPlaced && skipsSinceMarker_ == 0;
    if (!whole) return;
    run_.alikeSeconds = step.previousSamples == run_.alikeCount ? run_.alikeSeconds + 1 : 1;
    run_.alikeCount = step.previousSamples;
  }

  // The rate the logger keeps to, from its header or its whole seconds; 0
  // when neither tells.
  uint64_t keptRate() const {
    // A header's rate that a whole second bore out, or seconds alike.
    if (run_.rate != 0 && run_.alikeSeconds > 0) return run_.alikeCount == run_.rate ? run_.rate : 0;
    return run_.alikeSeconds >= kAlikeToKeepRate ? run_.alikeCount : 0;
  }

  template <RecordType Type>
  int64_t timeOf(RecordBody<Type> body) const {
    if constexpr (entryOf(Type).rowTime == RowTime::kOwn) {
      return Record<Type>::time(body.bytes);
    } else {
      return lostSecond_ ? kNoTime : marker_;
    }
  }

  // ---- Records held after skipped bytes ----

  // Places what is held once the marker after it has come (and, where the
  // rate is to be learned, the whole seconds after that), or at the end.
  void placeHeld(bool atEnd) {
    if (held_.empty()) return;
    const bool closed = closing_ != SIZE_MAX;
    const size_t closing = closed ? closing_ : held_.entries().size();
    if (!closed && !atEnd && held_.bytes() < kMostHeld) return;
    PlacementFacts facts = facts_;
    uint64_t rate = keptRate();
    if (closed && held_.entries()[closing].type == kSecondMarker) {
      facts.next = Record<kSecondMarker>::read(held_.entries()[closing].bytes(held_) + 1).time;
      if (rate == 0) {
        const std::optional<uint64_t> ahead = rateAhead(closing);
        if (!ahead && !atEnd && held_.bytes() < kMostHeld) return;
        rate = ahead.value_or(0);
      }
    }
    // A file whose start was damaged lost its header with it, most likely:
    // its data records are timed by the rate its seconds show.
    if (startDamaged_ && run_.rate == 0 && rate != 0 && rate <= UINT16_MAX) {
      run_.rate = static_cast<uint16_t>(rate);
      damage_.salvagedRate = run_.rate;
    }
    facts.rate = static_cast<uint16_t>(std::min<uint64_t>(rate, UINT16_MAX));
    facts.regular = rate != 0;
    facts.mostInASecond = run_.rate != 0 ? uint64_t{run_.rate} * 8 + 64 : 0;
    HeldRecords held = std::move(held_);
    held_.clear();
    closing_ = SIZE_MAX;
    placeUpTo(held, closing, facts);
    replay(held, closing);
  }

  // The rate that the whole seconds held after the marker at `closing`
  // show: the header's if a whole second bears it out, else two in a row of
  // the same count. 0 when they tell against any; nothing while too few
  // are held to tell.
  std::optional<uint64_t> rateAhead(size_t closing) const {
    const auto& entries = held_.entries();
    std::optional<int64_t> marker;
    uint64_t data = 0;
    std::vector<uint64_t> counts;
    const size_t wanted = run_.rate != 0 ? 1 : kAlikeToKeepRate;
    for (size_t i = closing; i < entries.size() && counts.size() < wanted; ++i) {
      const auto& entry = entries[i];
      if (entry.type == HeldRecords::kSkipped || entry.type == kFileHeader) return 0;
      if (entry.type == kDataRecord) data += entry.count;
      if (entry.type != kSecondMarker) continue;
      const int32_t time = Record<kSecondMarker>::read(entry.bytes(held_) + 1).time;
      if (marker && time != *marker + 1) return 0;
      if (marker) counts.push_back(data);
      marker = time;
      data = 0;
    }
    if (counts.size() < wanted) return std::nullopt;
    if (run_.rate != 0) return counts[0] == run_.rate ? run_.rate : 0;
    return counts[0] == counts[1] ? counts[0] : 0;
  }

  // The held records before entry `closing`, placed by the rule that holds,
  // each kept or dropped.
  void placeUpTo(const HeldRecords& held, size_t closing, const PlacementFacts& facts) {
    const auto& entries = held.entries();
    std::vector<HeldSegment> segments;
    for (size_t i = 0; i < closing; ++i) {
      if (entries[i].type == HeldRecords::kSkipped) {
        if (i == 0 || entries[i - 1].type != HeldRecords::kSkipped) segments.push_back({0, 0});
        segments.back().skippedBytes += entries[i].size;
      } else if (entries[i].type == kDataRecord) {
        segments.back().data += entries[i].count;
      }
    }
    const Placement placement = placeAfterDamage(facts, segments);
    damage_.lostDataRecords += placement.lostSamples;
    // Counted back: where the first record of the placed segment lies.
    uint64_t back = 0;
    if (placement.way == Placement::Way::kCountedBack) back = segments[placement.placedSegment].data;
    size_t segment = SIZE_MAX;
    bool dataInSegment = false;
    for (size_t i = 0; i < closing; ++i) {
      const auto& entry = entries[i];
      if (entry.type == HeldRecords::kSkipped) {
        if (i == 0 || entries[i - 1].type != HeldRecords::kSkipped) {
          ++segment;
          dataInSegment = false;
          if (placement.way == Placement::Way::kCountedOn) {
            sample_ = placement.firstSample[segment];
            lostSecond_ = false;
          } else {
            lostSecond_ = true;
          }
        }
        stretch(entry.offset, entry.size);
        continue;
      }
      const bool placed = placement.way == Placement::Way::kCountedOn ||
                          (placement.way == Placement::Way::kCountedBack && segment == placement.placedSegment);
      if (entry.type == kDataRecord) {
        if (!placed) {
          damage_.lostDataRecords += entry.count;
          drop(entry.count * kDataRecordSize, entry.offset);
          continue;
        }
        if (placement.way == Placement::Way::kCountedBack) {
          placeCountedBack(entry, held, *facts.next, facts.rate, back);
          back -= entry.count;
        } else {
          takeData(entry.bytes(held), entry.count, entry.offset);
        }
        dataInSegment = true;
        continue;
      }
      // A reading of its marker's time needs a sample before it to tell
      // which second it is of.
      if (!placed || (placement.way == Placement::Way::kCountedBack && !dataInSegment)) lostSecond_ = true;
      replayRecord(entry, held);
      if (placed && dataInSegment) lostSecond_ = false;
    }
    // Whatever comes before the next marker cannot be placed either, unless
    // it was placed: counted back, its records run up to the marker.
    lostSecond_ = placement.way == Placement::Way::kDropped;
  }

  // Data records counted back from the marker at `next`: the first of them
  // is the `back`-th record before it.
  void placeCountedBack(const HeldRecords::Entry& entry, const HeldRecords& held, int32_t next, uint16_t rate,
                        uint64_t back) {
    uint64_t done = 0;
    while (done < entry.count) {
      const uint64_t before = back - done;  // records from this one to the marker
      const uint64_t secondsBack = (before + rate - 1) / rate;
      const auto second = static_cast<int32_t>(next - static_cast<int64_t>(secondsBack));
      const uint64_t sample = secondsBack * rate - before;
      if (!secondInInput_ || !run_.second || second != *run_.second) beginSecond(second, true);
      lostSecond_ = false;
      sample_ = sample;
      const uint64_t count = std::min<uint64_t>(entry.count - done, rate - sample);
      takeData(entry.bytes(held) + done * kDataRecordSize, static_cast<size_t>(count), entry.offset + done * kDataRecordSize);
      done += count;
    }
  }

  // Hands on the held records from entry `from` as if they came now.
  void replay(const HeldRecords& held, size_t from) {
    const auto& entries = held.entries();
    for (size_t i = from; i < entries.size(); ++i) {
      const auto& entry = entries[i];
      if (entry.type == HeldRecords::kSkipped) {
        skipped(entry.offset, entry.size);
      } else if (!held_.empty()) {
        // Skipped bytes among them: what follows is held again.
        if (entry.type == kDataRecord) {
          held_.data(entry.bytes(held), entry.count, entry.offset);
        } else {
          held_.record(entry.bytes(held), entry.offset);
        }
      } else if (entry.type == kDataRecord) {
        takeData(entry.bytes(held), entry.count, entry.offset);
      } else {
        replayRecord(entry, held);
      }
    }
  }

  void replayRecord(const HeldRecords::Entry& entry, const HeldRecords& held) {
    visitRecordBody(entry.type, entry.bytes(held) + 1, [&](auto body) { take(body, entry.offset); });
  }

  // ---- What could not be placed, told with the bytes skipped ----

  void drop(uint64_t size, uint64_t offset) { stretch(offset, size); }

  void stretch(uint64_t offset, uint64_t size) {
    if (stretchSize_ > 0 && stretchOffset_ + stretchSize_ == offset) {
      stretchSize_ += size;
      return;
    }
    flushStretch();
    stretchOffset_ = offset;
    stretchSize_ = size;
  }
  void flushStretch() {
    if (stretchSize_ == 0) return;
    ++damage_.skippedStretches;
    damage_.skippedBytes += stretchSize_;
    if (damage_.skipped.size() < Damage::kStretchesKept) damage_.skipped.push_back({stretchOffset_, stretchSize_});
    view_.skipped(stretchOffset_, stretchSize_);
    stretchSize_ = 0;
  }

  RunClock& run_;
  View& view_;
  Damage& damage_;
  const uint8_t* pieceBegin_ = nullptr;
  uint64_t pieceOffset_ = 0;
  int64_t marker_ = kNoTime;  // of the latest second of this input
  uint64_t sample_ = 0;       // data records since then
  bool secondInInput_ = false;
  // The latest second lost its place to damage: its records have none.
  bool lostSecond_ = false;
  unsigned skipsSinceMarker_ = 0;
  HeldRecords held_;
  size_t closing_ = SIZE_MAX;  // the held entry of the first marker or header after the skipped bytes
  PlacementFacts facts_;
  bool startDamaged_ = false;
  uint64_t stretchOffset_ = 0;
  uint64_t stretchSize_ = 0;
};

}  // namespace zolt
