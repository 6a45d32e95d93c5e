// What a record must be like to sit on the true framing of a file, from what
// the format gives. There are two kinds of check:
//
// - holds: whether a record can be part of a framing at all. A type byte
//   names a type; an index entry names a file or is of the recording's
//   time; a system record carries about the time of its second; a file
//   header is plausible where it stands (the same logger as before, or its
//   time near the markers that follow it). An undamaged file never fails
//   these; bytes read out of step fail them within a few records.
// - vouches: whether a record is one that bytes read out of step would
//   hardly make, so that it may stand next to damage: a marker a second
//   after the one before, a data record whose quaternion has unit length
//   (where the file's have) and whose values run on from its neighbour's, a
//   system record of its second's time, an index entry naming a file of
//   the recording's day. A pressure reading never vouches: any counts make
//   one.
//
// A clock that steps back or pauses, a stuck clock, quaternions that are
// not of unit length: none of these is damage, and none fails a hold.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "core/recordCatalogue.h"

namespace zolt {

// How far a system record's time may lie from its second's marker.
constexpr int64_t kMostSystemSkew = 60;
// How far a header's time may lie from the first marker after it.
constexpr int64_t kMostHeaderSkew = 86400;
// How far an index entry's time may lie from the recording's.
constexpr int64_t kMostIndexSkew = 86400;
// The longest a logger's clock may jump forward between two markers and
// still vouch for the second after.
constexpr int64_t kMostGapSeconds = int64_t{7} * 86400;

// A quaternion's squared length in counts, against 1 = 16384^2.
inline bool hasUnitLength(const uint8_t* dataBody) {
  int64_t squares = 0;
  for (size_t part = 0; part < kQuatParts; ++part) {
    const int64_t component = quatCount(dataBody + quatOffset(part));
    squares += component * component;
  }
  constexpr int64_t kOne = int64_t{16384} * 16384;
  return std::llabs(squares - kOne) <= kOne / 50;
}

// Whether two data records lie close enough in every value to be
// neighbouring samples: bytes read out of step are far from any.
inline bool runOn(const uint8_t* aBody, const uint8_t* bBody) {
  constexpr int32_t kMostAccStep = 32768;  // half the logger's unit
  constexpr int32_t kMostQuatStep = 4096;  // a quarter
  for (size_t axis = 0; axis < kAccAxes; ++axis) {
    if (std::abs(accCount(aBody + accOffset(axis)) - accCount(bBody + accOffset(axis))) > kMostAccStep) return false;
  }
  for (size_t part = 0; part < kQuatParts; ++part) {
    if (std::abs(int32_t{quatCount(aBody + quatOffset(part))} - quatCount(bBody + quatOffset(part))) > kMostQuatStep) {
      return false;
    }
  }
  return true;
}

// An index entry whose name is printable text: as a logger writes it.
inline bool namesAFile(const IndexRecord& index) {
  if (index.file.empty()) return false;
  return std::all_of(index.file.begin(), index.file.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F; });
}

// Whether the data records of a file have quaternions of unit length,
// learned from the latest of them that were kept.
class QuaternionHabit {
 public:
  void learn(const uint8_t* records, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) note(hasUnitLength(records + i * kDataRecordSize + 1));
  }
  void note(bool unit) {
    if (++seen_[current_] == kHalf) turn();
    unit_[current_] += unit ? 1 : 0;
  }
  // Only a habit that held for the latest hundreds of records tells.
  bool known() const { return seen_[0] + seen_[1] >= kKnown; }
  bool holds() const {
    const uint64_t seen = seen_[0] + seen_[1];
    return seen >= kKnown && (unit_[0] + unit_[1]) * 100 >= seen * 99;
  }

 private:
  static constexpr uint64_t kHalf = 2048;
  static constexpr uint64_t kKnown = 256;
  void turn() {
    current_ ^= 1;
    seen_[current_] = unit_[current_] = 0;
  }
  uint64_t seen_[2] = {};
  uint64_t unit_[2] = {};
  unsigned current_ = 0;
};

// What is known of the file so far that records are held to.
struct FramingContext {
  std::optional<FileHeader> header;  // the latest header kept
  QuaternionHabit quats;

  // The latest marker kept. (Not an optional: g++ 12 takes a copied empty
  // one for uninitialised.)
  static constexpr int64_t kNoMarker = INT64_MIN;
  int64_t markerTime = kNoMarker;
  bool hasMarker() const { return markerTime != kNoMarker; }
  std::optional<int32_t> marker() const {
    return hasMarker() ? std::optional(static_cast<int32_t>(markerTime)) : std::nullopt;
  }
  void setMarker(int32_t time) { markerTime = time; }
  void forgetMarker() { markerTime = kNoMarker; }

  // The time the records kept so far point at: the latest marker's, else
  // the header's.
  std::optional<int64_t> now() const {
    if (hasMarker()) return markerTime;
    if (header) return header->time;
    return std::nullopt;
  }
  bool sameLogger(const FileHeader& other) const {
    return header && other.id == header->id && other.ver == header->ver && other.rate == header->rate;
  }
};

// A header whose fields a logger could have written: not all zeros (the
// card's unwritten end reads as such headers), a rate.
inline bool plausibleFields(const FileHeader& header) { return header.rate != 0; }

// Whether a system record's time fits where it stands.
inline bool systemHolds(int32_t time, const FramingContext& context) {
  if (context.hasMarker()) return std::llabs(int64_t{time} - context.markerTime) <= kMostSystemSkew;
  if (context.header) return std::llabs(int64_t{time} - context.header->time) <= kMostHeaderSkew;
  return true;
}

inline bool indexHolds(const IndexRecord& index, const FramingContext& context) {
  if (namesAFile(index)) return true;
  const std::optional<int64_t> now = context.now();
  return now && std::llabs(int64_t{index.time} - *now) <= kMostIndexSkew;
}

// An index entry that vouches: a name of a few letters, milliseconds that
// are milliseconds, and the recording's day. The bytes of other records,
// read as one, name a file of a letter or two at most.
inline bool indexVouches(const IndexRecord& index, const FramingContext& context) {
  constexpr size_t kShortestName = 3;
  const std::optional<int64_t> now = context.now();
  return namesAFile(index) && index.file.size() >= kShortestName && index.ms < 1000 &&
         (!now || std::llabs(int64_t{index.time} - *now) <= kMostIndexSkew);
}

// Where the times of records amid damage may lie: from the last marker kept
// (or the header) up to the anchor after the damage.
struct TimesAround {
  int64_t low;
  int64_t high;
};

// The record after one that leads into an anchor: none (the anchor itself
// follows), or whether it is a data record and vouches.
struct NextRecord {
  bool exists;
  bool data;
  bool vouches;
};

// The rules each record type is held to. The data record (read in runs) and
// the file header (the start of a recording, judged by what follows it) are
// the framing's own and have theirs in salvage; a type without rules of its
// own stands wherever it is read, and never next to damage.
template <RecordType Type>
struct FramingRules {
  static bool holds(RecordBody<Type> /*body*/, const FramingContext& /*context*/) { return true; }
  // Right before damage, with the context before it.
  static bool vouches(RecordBody<Type> /*body*/, const FramingContext& /*before*/) { return false; }
  // Leading into the anchor after damage.
  static bool holdsAmidDamage(RecordBody<Type> /*body*/, const FramingContext& /*context*/, const TimesAround& /*times*/) {
    return true;
  }
  static bool vouchesAmidDamage(RecordBody<Type> /*body*/, const FramingContext& /*context*/,
                                const TimesAround& /*times*/, const NextRecord& /*next*/) {
    return false;
  }
};

template <>
struct FramingRules<kSecondMarker> {
  static bool holds(RecordBody<kSecondMarker> /*body*/, const FramingContext& /*context*/) { return true; }
  // Only the next second's: a marker right before damage may be the record
  // the damage fell in.
  static bool vouches(RecordBody<kSecondMarker> body, const FramingContext& before) {
    return before.hasMarker() && body.read().time == before.markerTime + 1;
  }
  static bool holdsAmidDamage(RecordBody<kSecondMarker> body, const FramingContext& /*context*/,
                              const TimesAround& times) {
    const int64_t time = body.read().time;
    return time >= times.low && time < times.high;
  }
  static bool vouchesAmidDamage(RecordBody<kSecondMarker> body, const FramingContext& context,
                                const TimesAround& times, const NextRecord& /*next*/) {
    return holdsAmidDamage(body, context, times);
  }
};

template <>
struct FramingRules<kPressureRecord> {
  static bool holds(RecordBody<kPressureRecord> /*body*/, const FramingContext& /*context*/) { return true; }
  // Any counts make a reading.
  static bool vouches(RecordBody<kPressureRecord> /*body*/, const FramingContext& /*before*/) { return false; }
  static bool holdsAmidDamage(RecordBody<kPressureRecord> /*body*/, const FramingContext& /*context*/,
                              const TimesAround& /*times*/) {
    return true;
  }
  // A reading stands next to damage where a record checked by more than its
  // type byte follows it: the anchor, or one that vouches (a data record
  // does not count: a stray type byte before data that resumes would pass).
  static bool vouchesAmidDamage(RecordBody<kPressureRecord> /*body*/, const FramingContext& /*context*/,
                                const TimesAround& /*times*/, const NextRecord& next) {
    return !next.exists || (!next.data && next.vouches);
  }
};

template <>
struct FramingRules<kIndexRecord> {
  static bool holds(RecordBody<kIndexRecord> body, const FramingContext& context) {
    return indexHolds(body.read(), context);
  }
  static bool vouches(RecordBody<kIndexRecord> body, const FramingContext& before) {
    return indexVouches(body.read(), before);
  }
  static bool holdsAmidDamage(RecordBody<kIndexRecord> body, const FramingContext& context,
                              const TimesAround& /*times*/) {
    return indexVouches(body.read(), context);
  }
  static bool vouchesAmidDamage(RecordBody<kIndexRecord> body, const FramingContext& context,
                                const TimesAround& times, const NextRecord& /*next*/) {
    return holdsAmidDamage(body, context, times);
  }
};

template <>
struct FramingRules<kSystemRecord> {
  static bool holds(RecordBody<kSystemRecord> body, const FramingContext& context) {
    return systemHolds(body.read().time, context);
  }
  static bool vouches(RecordBody<kSystemRecord> body, const FramingContext& before) {
    return before.hasMarker() && systemHolds(body.read().time, before);
  }
  static bool holdsAmidDamage(RecordBody<kSystemRecord> body, const FramingContext& /*context*/,
                              const TimesAround& times) {
    const int64_t time = body.read().time;
    return time >= times.low - kMostSystemSkew && time <= times.high + kMostSystemSkew;
  }
  static bool vouchesAmidDamage(RecordBody<kSystemRecord> body, const FramingContext& context,
                                const TimesAround& times, const NextRecord& /*next*/) {
    return holdsAmidDamage(body, context, times);
  }
};

}  // namespace zolt
