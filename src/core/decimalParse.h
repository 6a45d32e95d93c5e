// std::from_chars for a double, also where the C++ library has it for
// integers alone (LLVM's for WebAssembly): the same grammar and the same
// value, correctly rounded, whatever the locale. The stand-in is compiled
// everywhere, so that it is held to the real one where both exist.
#pragma once

#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

namespace zolt {

namespace decimalParse {

inline const char* digitsFrom(const char* at, const char* last) {
  while (at != last && *at >= '0' && *at <= '9') ++at;
  return at;
}

// Where the longest prefix that from_chars would read ends; `first` when
// there is none.
inline const char* numberEnd(const char* first, const char* last, std::chars_format format) {
  const char* at = first != last && *first == '-' ? first + 1 : first;
  for (const std::string_view name : {"infinity", "inf", "nan"}) {
    if (static_cast<size_t>(last - at) < name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size(); ++i) same = same && (at[i] | 0x20) == name[i];
    if (same) return at + name.size();
  }
  const char* const wholeEnd = digitsFrom(at, last);
  const char* end = wholeEnd;
  if (end != last && *end == '.') end = digitsFrom(end + 1, last);
  if (end - at == (end != wholeEnd ? 1 : 0)) return first;  // no digit at all
  if (format != std::chars_format::fixed && end != last && (*end == 'e' || *end == 'E')) {
    const char* exponent = end + 1;
    if (exponent != last && (*exponent == '+' || *exponent == '-')) ++exponent;
    const char* const exponentEnd = digitsFrom(exponent, last);
    if (exponentEnd != exponent) end = exponentEnd;
  }
  return end;
}

}  // namespace decimalParse

// The stand-in: the prefix from_chars would take, read by the C library,
// which reads in the C locale here (a program that sets another must use
// std::from_chars).
inline std::from_chars_result portableDecimalFromChars(const char* first, const char* last, double& value,
                                                       std::chars_format format = std::chars_format::general) {
  const char* const end = decimalParse::numberEnd(first, last, format);
  if (end == first) return {first, std::errc::invalid_argument};
  const std::string text(first, end);
  value = std::strtod(text.c_str(), nullptr);
  return {end, std::errc()};
}

inline std::from_chars_result decimalFromChars(const char* first, const char* last, double& value,
                                               std::chars_format format = std::chars_format::general) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
  return std::from_chars(first, last, value, format);
#else
  return portableDecimalFromChars(first, last, value, format);
#endif
}

}  // namespace zolt
