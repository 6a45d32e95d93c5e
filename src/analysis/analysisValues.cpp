#include "analysis/analysisValues.h"

#include <charconv>
#include <cmath>

#include "core/decimalParse.h"

namespace zolt {

namespace {

// A decimal number as a person types it ("45", "-33.85", "1e3"), whatever
// the locale; not "inf", "nan" or a hexadecimal one.
std::optional<double> decimalNumber(std::string_view text) {
  double value = 0;
  const auto [end, error] = decimalFromChars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// The parameters the value sets, held to what its component accepts.
Error setAndCheck(AnalysisValue which, double value, AnalysisSettings& settings) {
  switch (which) {
    case AnalysisValue::kLatitude:
      settings.depth.latitude = value;
      settings.latitudeGiven = true;
      return DepthFromPressure::make(settings.depth).error();
    case AnalysisValue::kSurface:
      settings.surface.fixedBar = value;
      return SurfaceEstimator::make(settings.surface).error();
    case AnalysisValue::kDiveDepth: settings.dives.diveDepth = value; break;
    case AnalysisValue::kSurfaceDepth: settings.dives.surfaceDepth = value; break;
    case AnalysisValue::kMinDive: settings.dives.minimumDuration = value; break;
    case AnalysisValue::kBottomFraction: settings.dives.bottomFraction = value; break;
    case AnalysisValue::kActivityWindow:
      settings.activity.window = value;
      return ActivityFilter::make(settings.activity).error();
    case AnalysisValue::kWater: return {};
  }
  return DiveFinder::make(settings.dives).error();
}

}  // namespace

std::optional<std::string> takeAnalysisValue(AnalysisValue which, std::string_view text, AnalysisSettings& settings) {
  if (which == AnalysisValue::kWater) {
    if (text == "sea") {
      settings.depth.water = Water::kSea;
    } else if (text == "fresh") {
      settings.depth.water = Water::kFresh;
    } else {
      return "the water is fresh or sea";
    }
    return std::nullopt;
  }
  const std::optional<double> number = decimalNumber(text);
  if (!number) return "not a number";
  const Error error = setAndCheck(which, *number, settings);
  if (error.failed()) return describe(error);
  return std::nullopt;
}

}  // namespace zolt
