#include "core/shortestDecimal.h"

#include <charconv>

#include "core/decimalParse.h"

namespace zolt {

double shortestDecimal(float value) {
  char text[64];
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  double back = 0;
  decimalFromChars(text, written.ptr, back);
  return back;
}

}  // namespace zolt
