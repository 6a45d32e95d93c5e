#include "core/shortestDecimal.h"

#include <charconv>

namespace zolt {

double shortestDecimal(float value) {
  char text[64];
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  double back = 0;
  std::from_chars(text, written.ptr, back);
  return back;
}

}  // namespace zolt
