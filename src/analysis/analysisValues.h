// The analysis's parameters as a person types them (the command line's
// --latitude=45, Python's latitude="45"), read and held to what the
// component that takes each accepts, with the same words for every front
// end that refuses one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/analysisSettings.h"

namespace zolt {

// In the order they are checked, so that of two that must agree (the
// surface depth below the dive depth) the later one is blamed.
enum class AnalysisValue : uint8_t {
  kLatitude,
  kWater,
  kSurface,
  kDiveDepth,
  kSurfaceDepth,
  kMinDive,
  kBottomFraction,
  kActivityWindow,
};
constexpr size_t kAnalysisValues = 8;

// Sets the parameter from `text`, a decimal number (a word for the water),
// in `settings`, which hold those taken before it; the words of why not
// when it is not sound.
std::optional<std::string> takeAnalysisValue(AnalysisValue which, std::string_view text, AnalysisSettings& settings);

}  // namespace zolt
