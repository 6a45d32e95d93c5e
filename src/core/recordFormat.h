// The byte order of the logger's fields: every multi-byte field of a record
// goes through these, and nothing casts bytes to an integer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zolt {

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

// What one count of an acceleration and of a quaternion component is worth:
// they have 16 and 14 fraction bits.
constexpr double kAccCount = 1.0 / 65536;
constexpr double kQuatCount = 1.0 / 16384;

// A quaternion component in 1/16384: 16-bit two's complement.
inline int16_t quatCount(const uint8_t* bytes) { return static_cast<int16_t>(getMotWord(bytes)); }

}  // namespace zolt
