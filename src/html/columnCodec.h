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
#include <span>
#include <string>
#include <vector>

namespace zolt {

enum class ColumnOrder : uint8_t { kValues = 1, kTimes = 2 };

// The varints of `values`.
std::vector<uint8_t> packColumn(std::span<const int64_t> values, ColumnOrder order);

struct PackedColumn {
  std::string base64;
  bool deflated = false;
};

// The packed bytes as the page holds them.
PackedColumn encodeForPage(const std::vector<uint8_t>& packed);

// Base64 with padding, as atob() reads it.
std::string base64(std::span<const uint8_t> bytes);

}  // namespace zolt
