// Numbers and times for tables that other programs read: every value in
// full, so that reading the text back gives exactly the recorded value. A
// real value always has a decimal point ("1.0"), so that readers that guess
// column types take the column for real numbers. Each function writes at
// `out` and returns the end of what it wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zolt {

// numerator / 2^bits (bits at most 17) in decimal, every digit and no
// trailing zeros: -0.5, 1.52587890625, 0.0000152587890625. May write up to
// 16 bytes beyond the end it returns.
char* putExactFraction(char* out, int64_t numerator, int bits);

// ",acc,acc,acc,quat,quat,quat,quat" of a data record: its counts / 65536
// and / 16384 as putExactFraction writes them.
char* putInertialFields(char* out, const int32_t (&acc)[3], const int16_t (&quat)[4]);

// ms / 1000 in decimal: 60.0, 1.234, 0.05.
char* putExactThousandths(char* out, uint32_t ms);

// The fewest digits that read back as exactly this number, in its own
// precision, without an exponent.
char* putShortest(char* out, double value);
char* putShortest(char* out, float value);

// The text of the second formatted last: rows come many to the second.
// Each writer keeps its own.
struct SecondCache {
  int64_t second = INT64_MIN;
  char text[19] = {};  // "YYYY-MM-DDThh:mm:ss"
};

// "YYYY-MM-DDThh:mm:ss.fffZ" (3 decimals) or "...ss.ffffffZ" (6 decimals)
// of microseconds since 1970-01-01 00:00:00 UTC; the decimals are cut, not
// rounded.
char* putIsoTime(char* out, int64_t micros, int decimals, SecondCache& cache);

// A name as the tables give it (escapedName, zolt/tables.h).
char* putEscapedName(char* out, std::string_view name);
// The most characters putEscapedName writes for a name of `size` bytes.
constexpr size_t escapedNameRoom(size_t size) { return 4 * size; }

}  // namespace zolt
