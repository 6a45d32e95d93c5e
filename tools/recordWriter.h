// The bytes of a record file as the logger writes them: big-endian fields,
// accelerations as signed 24-bit counts of 1/65536 and quaternion parts as
// signed 16-bit counts of 1/16384.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

class RecordWriter {
 public:
  void u8(unsigned value) { bytes_.push_back(static_cast<uint8_t>(value)); }
  void u16(unsigned value) { u8(value >> 8 & 0xFF), u8(value & 0xFF); }
  void u32(uint32_t value) { u16(value >> 16), u16(value & 0xFFFF); }
  void s24q16(double value) {
    const auto fixed = static_cast<uint32_t>(static_cast<int32_t>(std::lround(value * 65536.0)));
    u8(fixed >> 16 & 0xFF), u8(fixed >> 8 & 0xFF), u8(fixed & 0xFF);
  }
  void s16q14(double value) { u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(value * 16384.0)))); }
  bool writeTo(const char* path) const {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes_.data(), 1, bytes_.size(), file) == bytes_.size();
    return std::fclose(file) == 0 && written;
  }

 private:
  std::vector<uint8_t> bytes_;
};
