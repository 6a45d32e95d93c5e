// The stand-in for std::from_chars that WebAssembly builds use, held to the
// real one: the same prefix taken, the same refusals, the same bits.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "core/decimalParse.h"

namespace {

TEST(DecimalParse, TakesWhatFromCharsTakesAndReadsTheSameBits) {
  constexpr std::string_view kTexts[] = {
      "0", "45", "-33.85", "1e3", "1E-3", "2.5e+10", ".5", "5.", "-.5", "1e", "1e+", "1.5e3x", "0.1", "1234567890123456789",
      "4.9406564584124654e-324", "1.7976931348623157e308", "1e400", "-0", "inf", "-Infinity", "nan", "NaNx", "", "-",
      ".", "+1", " 1", "e5", "0x10", "12.34.56", "9007199254740993", "2.2250738585072011e-308"};
  for (const std::chars_format format : {std::chars_format::general, std::chars_format::fixed}) {
    for (const std::string_view text : kTexts) {
      const char* const first = text.data();
      const char* const last = text.data() + text.size();
      double expected = -1;
      double got = -1;
      const std::from_chars_result real = std::from_chars(first, last, expected, format);
      const std::from_chars_result portable = zolt::portableDecimalFromChars(first, last, got, format);
      const bool fixed = format == std::chars_format::fixed;
      SCOPED_TRACE(std::string(text) + (fixed ? " fixed" : " general"));
      if (real.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone there; the C library gives the
        // infinity or zero it rounds to, which the callers refuse as well.
        EXPECT_EQ(portable.ptr, real.ptr);
        continue;
      }
      EXPECT_EQ(portable.ec, real.ec);
      EXPECT_EQ(portable.ptr - first, real.ptr - first);
      if (real.ec == std::errc() && expected == expected) {
        EXPECT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(expected));
      }
    }
  }
}

}  // namespace
