// The analysis's parameters as the command line gives them: each a number
// (or, for the water, a word), and each held to what the component that
// takes it accepts, so that a wrong one ends the run before anything is
// read.
#pragma once

#include <array>

#include "analysis/analysisSettings.h"
#include "cli/longOptions.h"

using AnalysisValues = std::array<const char*, kAnalysisOptions>;

// 0 when every value given is sound (they are then in `settings`), else the
// exit status after saying which is not.
int checkAnalysisValues(const AnalysisValues& given, zolt::AnalysisSettings& settings);

// Whether any of them is given, and the first in the option table that is.
bool anyAnalysisValue(const AnalysisValues& given);
OptionId firstAnalysisOption(const AnalysisValues& given);
