// The logger's records as typed values, and the one call that hands every
// record of an input to a caller's sink.
//
// A record file is a plain sequence of records, each a type byte and a body
// whose length the type fixes. Times count seconds since 1970-01-01
// 00:00:00 UTC; offsets count bytes from where the read began.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "zolt/error.h"
#include "zolt/input.h"

namespace zolt {

struct FileHeader {
  uint16_t ver;
  uint16_t id;
  uint16_t rate;  // data records a second
  int32_t time;
  uint16_t ms;
  uint32_t durationMs;
};

struct SecondMarker {
  int32_t time;
};

// Accelerations in 1/65536 and quaternion components in 1/16384.
struct DataRecord {
  int32_t acc[3];
  int16_t quat[4];
};

struct PressureRecord {
  uint16_t counts;
};

struct IndexRecord {
  int32_t time;
  uint16_t ms;
  uint32_t durationMs;
  uint32_t maxVal;        // in 1/65536
  std::string_view file;  // up to 15 bytes, valid only during the call
};

struct SystemRecord {
  int32_t time;
  uint16_t batt;
  uint16_t vmodem;
  uint16_t extPress;
  uint16_t intPress;
  uint16_t temp;
  uint16_t hum;
};

// How many record types there are; their type bytes are 0 to 5.
constexpr unsigned kRecordTypes = 6;
// A record's size with its type byte; 0 for a byte that is no type.
size_t recordSize(uint8_t type);

// A stretch of an input's bytes.
struct Stretch {
  uint64_t offset;
  uint64_t size;
  friend bool operator==(const Stretch&, const Stretch&) = default;
};

// What was wrong with an input's bytes: type bytes that name no record type
// (each is skipped), a last record that the end of the input cut short,
// zero bytes from a record's start to the end of the input (the part of a
// card that was never written: a file made at its full size in advance),
// which hold no records, and, when it is salvaged, the stretches whose
// bytes do not sit on its true framing.
struct Damage {
  uint64_t unknownBytes = 0;
  uint64_t firstUnknownOffset = 0;
  size_t cutSize = 0;  // bytes of the cut record that were there; 0 when none
  uint8_t cutType = 0;
  uint64_t cutOffset = 0;
  uint64_t unwrittenBytes = 0;
  uint64_t unwrittenOffset = 0;
  uint64_t skippedStretches = 0;
  uint64_t skippedBytes = 0;
  std::vector<Stretch> skipped;  // the first kStretchesKept of them
  uint64_t lostDataRecords = 0;  // data records the skipped bytes held, by their length
  // Seconds whose marker was skipped, placed by the marker after them.
  uint64_t placedSeconds = 0;
  // The rate salvage took from the whole seconds of a file whose start,
  // header and all, was damaged; 0 when none.
  uint16_t salvagedRate = 0;

  static constexpr size_t kStretchesKept = 100;
  bool any() const { return unknownBytes > 0 || cutSize > 0 || unwrittenBytes > 0 || skippedStretches > 0; }
};

// The damage in words, a sentence for each kind found, as every output
// tells it after the input's name ("3 bytes of unknown record type, the
// first at offset 42").
std::vector<std::string> damageNotes(const Damage& damage);
// The sentence of each kind, as damageNotes() words it, for outputs that
// tell damage where it lies.
std::string unknownBytesNote(uint64_t count, uint64_t firstOffset);
std::string cutRecordNote(uint8_t type, size_t size, uint64_t offset);
std::string skippedNote(uint64_t offset, uint64_t size);
std::string unwrittenNote(uint64_t size, uint64_t offset);

// How reading one input went: the error that ended it early (opening,
// reading, writing the output, memory), and the damage found in what was
// read.
struct FileOutcome {
  Error error;
  Damage damage;
  bool ok() const { return error.ok(); }
};

// Asked between pieces of the input (a few hundred kilobytes apart): false
// ends the read with Errc::kStopped.
using KeepGoing = std::function<bool()>;

// Receives the records of an input in file order; every member is
// optional.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  virtual void fileHeader(const FileHeader& /*record*/, uint64_t /*offset*/) {}
  virtual void secondMarker(const SecondMarker& /*record*/, uint64_t /*offset*/) {}
  virtual void data(const DataRecord& /*record*/, uint64_t /*offset*/) {}
  virtual void pressure(const PressureRecord& /*record*/, uint64_t /*offset*/) {}
  virtual void index(const IndexRecord& /*record*/, uint64_t /*offset*/) {}
  virtual void system(const SystemRecord& /*record*/, uint64_t /*offset*/) {}
  virtual void unknownType(uint8_t /*type*/, uint64_t /*offset*/) {}
  // The input ended `size` bytes into a record of this type.
  virtual void cutRecord(uint8_t /*type*/, size_t /*size*/, uint64_t /*offset*/) {}
  // The input ends in `size` zero bytes that were never written, from
  // `offset` on.
  virtual void unwritten(uint64_t /*size*/, uint64_t /*offset*/) {}
  // Salvage skipped these bytes: they do not sit on the true framing.
  virtual void skipped(uint64_t /*offset*/, uint64_t /*size*/) {}

  // A record of any type to its member above, for code that hands every
  // type on alike.
  void take(const FileHeader& record, uint64_t offset) { fileHeader(record, offset); }
  void take(const SecondMarker& record, uint64_t offset) { secondMarker(record, offset); }
  void take(const DataRecord& record, uint64_t offset) { data(record, offset); }
  void take(const PressureRecord& record, uint64_t offset) { pressure(record, offset); }
  void take(const IndexRecord& record, uint64_t offset) { index(record, offset); }
  void take(const SystemRecord& record, uint64_t offset) { system(record, offset); }
};

struct ScanOptions {
  KeepGoing keepGoing;
  // Only the records that sit on the input's true framing, found again
  // after damage; the bytes between are skipped and told.
  bool salvage = false;
};

// Hands every record of `input` to `sink`, in order.
FileOutcome scan(const Input& input, RecordSink& sink, const ScanOptions& options = {});

}  // namespace zolt
