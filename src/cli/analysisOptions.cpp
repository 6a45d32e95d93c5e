#include "cli/analysisOptions.h"

#include <algorithm>
#include <string>

#include "analysis/analysisValues.h"
#include "cli/complain.h"
#include "cli/options.h"

namespace {

// The options stand in the table in the order of the values they give.
zolt::AnalysisValue valueOf(OptionId id) { return static_cast<zolt::AnalysisValue>(analysisIndex(id)); }
static_assert(kAnalysisOptions == zolt::kAnalysisValues);

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
  // In the values' order, so that of two options that must agree (the
  // surface depth below the dive depth) the later one is blamed.
  for (size_t index = 0; index < kAnalysisOptions; ++index) {
    const char* const value = given[index];
    if (value == nullptr) continue;
    const auto id = static_cast<OptionId>(static_cast<size_t>(OptionId::kFirstAnalysis) + index);
    if (const std::optional<std::string> why = zolt::takeAnalysisValue(valueOf(id), value, settings)) {
      complain("--%s=%s: %s (see man decode)", longOption(id).name, shownName(value).c_str(), why->c_str());
      return kExitUsage;
    }
  }
  return 0;
}
