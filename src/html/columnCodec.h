// How the page carries a column of integers: each value as the difference
// from the one before (or, for times, the difference of differences, which
// is 0 at a steady rate), folded to an unsigned number (0, -1, 1, -2 ... as
// 0, 1, 2, 3 ...) and written in little-endian groups of seven bits, the
// top bit saying that more follow:
//
//   column := varint*          varint := (1xxxxxxx)* 0xxxxxxx
//
// The bytes are then deflated (raw, RFC 1951) when that makes them smaller
// by a quarter, and written in base64: the page inflates them with the
// browser's own DecompressionStream("deflate-raw").
#pragma once

#include <cstdint>
#include <memory_resource>
#include <span>
#include <string>
#include <vector>

namespace zolt {

enum class ColumnOrder : uint8_t { kValues = 1, kTimes = 2 };

// The varints of `values`, in room the thread keeps: valid until its next
// call.
std::span<const uint8_t> packColumn(std::span<const int64_t> values, ColumnOrder order);
// Values in their order, each as it is or, given a `rank` for every 16-bit
// count from `lowest` on, as the count's rank.
std::span<const uint8_t> packColumn(std::span<const int32_t> values, const uint16_t* rank, uint16_t lowest = 0);

// A column as the page holds it: its bytes, deflated or not, in base64.
struct PackedColumn {
  std::pmr::vector<char> digits;
  bool deflated = false;
};

// The packed bytes as the page holds them, kept in `into`'s own room:
// written in base64 here, on the threads that pack, rather than by the one
// that writes the page out, alone.
void encodeForPage(std::span<const uint8_t> packed, PackedColumn& into);

// Base64 with padding, as atob() reads it.
constexpr size_t base64Size(size_t bytes) { return (bytes + 2) / 3 * 4; }
std::string base64(std::span<const uint8_t> bytes);

}  // namespace zolt
