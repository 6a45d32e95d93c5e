// The logger's record file.
//
// A record file is a plain sequence of records, each a type byte followed by
// a body whose length the type fixes; there is nothing between records and
// nothing to find the next one by. Integers are big-endian.
//
//   type 0  file header    pad u8, ver u16, ID u16, rate u16, time s32, ms u16, dur u32
//   type 1  second marker  pad u8, time s32
//   type 2  data record    acc x, y, z s24q16 (3 bytes each), quat 0..3 s16q14
//   type 3  pressure       pad u8, counts u16
//   type 4  index          pad u8, time s32, ms u16, dur u32, maxVal u32 (1/65536), file 16 bytes
//   type 5  system         pad u8, time s32, Batt, Vmodem, ExtPress, IntPress, Temp, Hum u16
//
// time counts seconds since 1970-01-01 00:00:00 UTC; s24q16 and s16q14 are
// two's complement with 16 and 14 fraction bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "zolt/records.h"

namespace zolt {

enum RecordType : uint8_t {
  kFileHeader = 0,
  kSecondMarker = 1,
  kDataRecord = 2,
  kPressureRecord = 3,
  kIndexRecord = 4,
  kSystemRecord = 5,
};

// Sizes with the type byte, by type.
constexpr size_t kRecordSize[kRecordTypes] = {18, 6, 18, 4, 32, 18};
constexpr size_t kLargestRecord = 32;
constexpr size_t kDataRecordSize = 18;
constexpr size_t kFileNameSize = 16;

// The only byte-order code: every multi-byte field goes through these.
inline uint16_t getMotWord(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]); }

inline uint32_t getMotLong(const uint8_t* bytes) {
  return static_cast<uint32_t>(getMotWord(bytes)) << 16 | getMotWord(bytes + 2);
}

// Field readers for a body read front to back: each takes its field at
// `at` and moves `at` past it.
inline uint16_t readWord(const uint8_t*& at) {
  const uint16_t value = getMotWord(at);
  at += 2;
  return value;
}

inline uint32_t readLong(const uint8_t*& at) {
  const uint32_t value = getMotLong(at);
  at += 4;
  return value;
}

inline void skipPadByte(const uint8_t*& at) { ++at; }

// The logger's clock is a signed 32-bit count of seconds.
inline int32_t readTimestamp(const uint8_t*& at) { return static_cast<int32_t>(readLong(at)); }

// An acceleration in 1/65536: 24-bit two's complement. Reads the byte after
// the field too (every acceleration in a data record's body has one after
// it), so that the field comes in one load.
inline int32_t accCount(const uint8_t* bytes) {
  return static_cast<int32_t>(getMotLong(bytes)) >> 8;
}

// A quaternion component in 1/16384: 16-bit two's complement.
inline int16_t quatCount(const uint8_t* bytes) { return static_cast<int16_t>(getMotWord(bytes)); }

// The bodies, read front to back from just after the type byte.
inline FileHeader readFileHeader(const uint8_t* body) {
  const uint8_t* at = body;
  skipPadByte(at);
  FileHeader fields{};
  fields.ver = readWord(at);
  fields.id = readWord(at);
  fields.rate = readWord(at);
  fields.time = readTimestamp(at);
  fields.ms = readWord(at);
  fields.durationMs = readLong(at);
  return fields;
}

inline int32_t readMarkerTime(const uint8_t* body) {
  const uint8_t* at = body;
  skipPadByte(at);
  return readTimestamp(at);
}

inline uint16_t readPressureCounts(const uint8_t* body) {
  const uint8_t* at = body;
  skipPadByte(at);
  return readWord(at);
}

// The last byte of the name field is never part of the name.
inline IndexRecord readIndex(const uint8_t* body) {
  const uint8_t* at = body;
  skipPadByte(at);
  IndexRecord fields{};
  fields.time = readTimestamp(at);
  fields.ms = readWord(at);
  fields.durationMs = readLong(at);
  fields.maxVal = readLong(at);
  const auto* name = reinterpret_cast<const char*>(at);
  fields.file = {name, ::strnlen(name, kFileNameSize - 1)};
  return fields;
}

inline SystemRecord readSystem(const uint8_t* body) {
  const uint8_t* at = body;
  skipPadByte(at);
  SystemRecord fields{};
  fields.time = readTimestamp(at);
  fields.batt = readWord(at);
  fields.vmodem = readWord(at);
  fields.extPress = readWord(at);
  fields.intPress = readWord(at);
  fields.temp = readWord(at);
  fields.hum = readWord(at);
  return fields;
}

// Where the fields of a data record's body lie.
constexpr size_t kAccAxes = 3;
constexpr size_t kQuatParts = 4;
constexpr size_t accOffset(size_t axis) { return 3 * axis; }
constexpr size_t quatOffset(size_t part) { return 9 + 2 * part; }

inline DataRecord readData(const uint8_t* body) {
  return {{accCount(body + accOffset(0)), accCount(body + accOffset(1)), accCount(body + accOffset(2))},
          {quatCount(body + quatOffset(0)), quatCount(body + quatOffset(1)), quatCount(body + quatOffset(2)),
           quatCount(body + quatOffset(3))}};
}

}  // namespace zolt
