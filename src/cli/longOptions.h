// The program's long options, each once: what it takes, its line of
// --help, and what the bash completion offers after it. The option parser,
// --help, the completion's word list, and the checks of the man page's
// option list are all made from this table.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

enum class OptionId : int {
  kHelp = 256,  // beyond any switch letter
  kVersion,
  kCsv,
  kFrom,
  kTo,
  kInfo,
  kPlot,
  kNetcdf,
  kMeta,
  kSalvage,
  kHtml,
  kHtmlBudget,
  kEvery,
  kAgg,
  kFill,
  // The analysis's parameters, one after the other (kFirstAnalysis to
  // kLastAnalysis), as the request keeps them.
  kLatitude,
  kWater,
  kSurface,
  kDiveDepth,
  kSurfaceDepth,
  kMinDive,
  kBottomFraction,
  kActivityWindow,
  kFirstAnalysis = kLatitude,
  kLastAnalysis = kActivityWindow,
};
constexpr size_t kAnalysisOptions =
    static_cast<size_t>(OptionId::kLastAnalysis) - static_cast<size_t>(OptionId::kFirstAnalysis) + 1;
constexpr bool isAnalysisOption(OptionId id) { return id >= OptionId::kFirstAnalysis && id <= OptionId::kLastAnalysis; }
constexpr size_t analysisIndex(OptionId id) {
  return static_cast<size_t>(id) - static_cast<size_t>(OptionId::kFirstAnalysis);
}

enum class Argument : unsigned char {
  kNone,
  // After "=", or else as the next word.
  kRequired,
  // After "=" only: the next word is never taken, so that an option whose
  // value was forgotten cannot take a recording's name for an output.
  kAttached,
  // After "=" only, and the option may stand alone.
  kOptional,
};

// What the completion offers for an option's value.
enum class Completion : unsigned char { kNothing, kTables, kInfoForms, kFiles, kWaters };

struct LongOption {  // NOLINT(clang-analyzer-optin.performance.Padding): a few rows, in reading order
  const char* name;  // without the leading "--"
  Argument argument;
  OptionId id;
  // The value as --help and the man page show it: a placeholder ("TABLE",
  // "OUT.svg"), or the one form an optional value takes ("json").
  const char* value;
  // Its line of --help after the form, with @TABLES@ for the table names
  // @BUDGET@ for the page's default budget and @DEFAULT@ for an analysis
  // parameter's default; none for an option that
  // the usage text of -h already names.
  const char* summary;
  Completion completion;
};

std::span<const LongOption> longOptions();
const LongOption& longOption(OptionId id);

// The option as it is typed: "--csv=TABLE", "--info[=json]", "--salvage".
std::string optionForm(const LongOption& option);

// The --help line of an option.
std::string usageLine(const LongOption& option);

// The words the completion offers after "-": the switches, then every long
// option as typed ("--csv=", "--info", "--info=").
std::string completionWords();

// "header, marker, data, pressure, index, system, depth, dives or activity"
std::string tablesInWords();
// The record tables, then those made from the analysis.
std::vector<std::string> tableNames();
