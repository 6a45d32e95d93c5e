#include "cli/analysisOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "cli/complain.h"
#include "cli/options.h"

namespace {

// A decimal number as a person types it ("45", "-33.85", "1e3"), whatever
// the locale; not "inf", "nan" or a hexadecimal one.
std::optional<double> decimalNumber(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// The parameters the option sets, held to what its component accepts.
zolt::Error setAndCheck(OptionId id, double value, zolt::AnalysisSettings& settings) {
  switch (id) {
    case OptionId::kLatitude:
      settings.depth.latitude = value;
      settings.latitudeGiven = true;
      return zolt::DepthFromPressure::make(settings.depth).error();
    case OptionId::kSurface:
      settings.surface.fixedBar = value;
      return zolt::SurfaceEstimator::make(settings.surface).error();
    case OptionId::kDiveDepth: settings.dives.diveDepth = value; break;
    case OptionId::kSurfaceDepth: settings.dives.surfaceDepth = value; break;
    case OptionId::kMinDive: settings.dives.minimumDuration = value; break;
    case OptionId::kBottomFraction: settings.dives.bottomFraction = value; break;
    case OptionId::kActivityWindow:
      settings.activity.window = value;
      return zolt::ActivityFilter::make(settings.activity).error();
    default: return {};
  }
  return zolt::DiveFinder::make(settings.dives).error();
}

int refuseValue(const LongOption& option, const char* value, const std::string& why) {
  complain("--%s=%s: %s (see man decode)", option.name, shownName(value).c_str(), why.c_str());
  return kExitUsage;
}

int takeWater(const LongOption& option, const char* value, zolt::AnalysisSettings& settings) {
  if (std::strcmp(value, "sea") == 0) {
    settings.depth.water = zolt::Water::kSea;
  } else if (std::strcmp(value, "fresh") == 0) {
    settings.depth.water = zolt::Water::kFresh;
  } else {
    return refuseValue(option, value, "the water is fresh or sea");
  }
  return 0;
}

}  // namespace

bool anyAnalysisValue(const AnalysisValues& given) {
  return std::any_of(given.begin(), given.end(), [](const char* value) { return value != nullptr; });
}

OptionId firstAnalysisOption(const AnalysisValues& given) {
  for (const LongOption& option : longOptions()) {
    if (isAnalysisOption(option.id) && given[analysisIndex(option.id)] != nullptr) return option.id;
  }
  return OptionId::kFirstAnalysis;
}

int checkAnalysisValues(const AnalysisValues& given, zolt::AnalysisSettings& settings) {
  // In the option table's order, so that of two options that must agree
  // (the surface depth below the dive depth) the later one is blamed.
  for (const LongOption& option : longOptions()) {
    if (!isAnalysisOption(option.id)) continue;
    const char* const value = given[analysisIndex(option.id)];
    if (value == nullptr) continue;
    if (option.id == OptionId::kWater) {
      if (const int refused = takeWater(option, value, settings); refused != 0) return refused;
      continue;
    }
    const std::optional<double> number = decimalNumber(value);
    if (!number) return refuseValue(option, value, "not a number");
    const zolt::Error error = setAndCheck(option.id, *number, settings);
    if (error.failed()) return refuseValue(option, value, zolt::describe(error));
  }
  return 0;
}
