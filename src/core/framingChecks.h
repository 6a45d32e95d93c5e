// What a record must be like to sit on the true framing of a file, from
// what the format gives: markers count up a second at a time (with gaps,
// never back); system records carry the current second; a file header
// comes first, or again as the same logger's; an index entry names a file;
// a second holds about `rate` data records, whose quaternion (where the
// file's are of unit length) has unit length. Random bytes, or records read
// out of step, fail these almost always; an undamaged file never does.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "core/recordCatalogue.h"

namespace zolt {

// The longest a logger's clock may jump forward between two markers.
constexpr int64_t kMostGapSeconds = int64_t{7} * 86400;
// How far a system record's time may lie from its second's marker.
constexpr int64_t kMostSystemSkew = 60;

// The data records a second may hold at `rate` a second.
constexpr uint64_t mostDataInASecond(uint16_t rate) { return rate == 0 ? UINT64_MAX : uint64_t{rate} * 8 + 64; }

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

// An index entry whose name is printable text: as a logger writes it.
inline bool namesAFile(const IndexRecord& index) {
  if (index.file.empty()) return false;
  return std::all_of(index.file.begin(), index.file.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F; });
}

// What is known of the file so far that the checks hold records to.
struct FramingContext {
  std::optional<FileHeader> firstHeader;
  uint16_t rate = 0;
  std::optional<int32_t> marker;  // of the second the next records belong to
  // Whether the file's quaternions are of unit length, learned from its
  // first clean data records.
  uint64_t quatsSeen = 0;
  uint64_t unitQuats = 0;

  static constexpr uint64_t kQuatsLearned = 4096;
  bool checksQuats() const { return quatsSeen >= 256 && unitQuats * 100 >= quatsSeen * 99; }
  void learnQuats(const uint8_t* records, uint64_t count) {
    for (uint64_t i = 0; i < count && quatsSeen < kQuatsLearned; ++i, ++quatsSeen) {
      if (hasUnitLength(records + i * kDataRecordSize + 1)) ++unitQuats;
    }
  }
  // Where no header gives the rate, the data records of a second: a count
  // that held for several whole seconds in a row.
  uint64_t lastSecondCount = 0;
  unsigned secondsAlike = 0;
  void wholeSecond(uint64_t count) {
    secondsAlike = count == lastSecondCount ? secondsAlike + 1 : 1;
    lastSecondCount = count;
  }
  static constexpr unsigned kSecondsAlike = 4;
  uint64_t nominalRate() const {
    if (rate != 0) return rate;
    return secondsAlike >= kSecondsAlike ? lastSecondCount : 0;
  }

  // A later header starts a new recording, whose clock may start anywhere
  // near the first one's: recordings written one after another in a file.
  void header(const FileHeader& header) {
    if (firstHeader) marker.reset();
    if (!firstHeader) firstHeader = header;
    rate = header.rate;
  }

  // A marker that may follow the current second's.
  bool plausibleNextMarker(int32_t time) const {
    if (!marker) return timeNearHeader(time);
    const int64_t step = int64_t{time} - *marker;
    return step >= 1 && step <= kMostGapSeconds;
  }
  bool plausibleSystem(int32_t time) const {
    if (marker) return std::llabs(int64_t{time} - *marker) <= kMostSystemSkew;
    return timeNearHeader(time);
  }
  // A header after the first is the same logger's, at the same rate.
  bool plausibleHeader(const FileHeader& header, bool firstRecord) const {
    if (firstRecord && !firstHeader) return header.rate != 0 || header.id != 0 || header.time != 0;
    return firstHeader && header.id == firstHeader->id && header.ver == firstHeader->ver && header.rate == rate &&
           timeNearHeader(header.time);
  }
  // An index entry names a file in printable text, or is of this time.
  bool plausibleIndex(const IndexRecord& index) const { return namesAFile(index) || timeNearHeader(index.time); }

  // An index entry within a day of the file's header.
  bool indexOfItsTime(const IndexRecord& index) const {
    return !firstHeader || std::llabs(int64_t{index.time} - firstHeader->time) <= 86400;
  }

 private:
  bool timeNearHeader(int32_t time) const {
    if (!firstHeader) return true;
    return std::llabs(int64_t{time} - firstHeader->time) <= kMostGapSeconds * 52;  // a year
  }
};

}  // namespace zolt
