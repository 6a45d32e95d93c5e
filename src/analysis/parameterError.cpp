#include "analysis/parameterError.h"

#include <charconv>

namespace zolt {

Error parameterError(std::string_view what, std::string_view mustBe, double given) {
  char digits[32];
  const auto written = std::to_chars(digits, digits + sizeof digits, given);
  std::string words = "the ";
  words.append(what).append(" must be ").append(mustBe).append(", not ").append(digits, written.ptr);
  return {Errc::kInvalidArgument, EINVAL, std::move(words)};
}

}  // namespace zolt
