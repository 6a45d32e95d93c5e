// The error of a parameter that an analysis cannot work with: the words say
// which parameter, the value given, and what it must be.
#pragma once

#include <cerrno>
#include <string>
#include <string_view>

#include "zolt/error.h"

namespace zolt {

// "the latitude must be from -90 to 90 degrees, not 91"
Error parameterError(std::string_view what, std::string_view mustBe, double given);

}  // namespace zolt
