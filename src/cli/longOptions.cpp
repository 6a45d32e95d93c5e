#include "cli/longOptions.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "analysis/analysisSettings.h"
#include "analysis/derivedTables.h"
#include "zolt/html.h"
#include "zolt/tables.h"

namespace {

// The views first, then what they take, in the order the man page describes
// them.
constexpr LongOption kLongOptions[] = {
    {"csv", Argument::kAttached, OptionId::kCsv, "TABLE", "Print one CSV table: @TABLES@", Completion::kTables},
    {"info", Argument::kOptional, OptionId::kInfo, "json", "Describe each file and the run for a deployment check",
     Completion::kInfoForms},
    {"plot", Argument::kAttached, OptionId::kPlot, "OUT.svg", "Draw the files as one deployment in an SVG picture",
     Completion::kFiles},
    {"netcdf", Argument::kAttached, OptionId::kNetcdf, "OUT.nc", "Write the files as one netCDF-4 file with every table",
     Completion::kFiles},
    {"html", Argument::kAttached, OptionId::kHtml, "OUT.html",
     "Write the files as one deployment in an interactive page", Completion::kFiles},
    {"salvage", Argument::kNone, OptionId::kSalvage, nullptr,
     "Keep only the records on each file's true framing, found again after damage", Completion::kNothing},
    {"from", Argument::kRequired, OptionId::kFrom, "TIME",
     "Keep only what lies at or after TIME (UTC, YYYY-MM-DD[Thh:mm[:ss[.fff]]])", Completion::kNothing},
    {"to", Argument::kRequired, OptionId::kTo, "TIME", "Keep only what lies before TIME", Completion::kNothing},
    {"every", Argument::kRequired, OptionId::kEvery, "INTERVAL",
     "Average the table over intervals of INTERVAL (1s, 250ms: whole seconds or milliseconds)", Completion::kNothing},
    {"agg", Argument::kRequired, OptionId::kAgg, "mean,min,max",
     "What each interval gives of each column: any of mean, min and max (mean when not given)", Completion::kNothing},
    {"fill", Argument::kNone, OptionId::kFill, nullptr,
     "Give intervals without records too, with a count of 0 and empty figures", Completion::kNothing},
    {"meta", Argument::kRequired, OptionId::kMeta, "ATTRS.json", "Add global attributes to the netCDF file",
     Completion::kFiles},
    {"html-budget", Argument::kRequired, OptionId::kHtmlBudget, "MB", "The most megabytes the page may take (@BUDGET@)",
     Completion::kNothing},
    {"latitude", Argument::kRequired, OptionId::kLatitude, "DEG",
     "Degrees north of the deployment, for gravity and the water's weight (@DEFAULT@ when not given)",
     Completion::kNothing},
    {"water", Argument::kRequired, OptionId::kWater, "fresh|sea",
     "Depth by TEOS-10 in sea water or by hydrostatics in fresh water (@DEFAULT@ when not given)", Completion::kWaters},
    {"surface", Argument::kRequired, OptionId::kSurface, "BAR",
     "Take this absolute pressure for the surface instead of estimating it from the readings", Completion::kNothing},
    {"dive-depth", Argument::kRequired, OptionId::kDiveDepth, "M", "The depth a dive must pass, metres (@DEFAULT@ when not given)",
     Completion::kNothing},
    {"surface-depth", Argument::kRequired, OptionId::kSurfaceDepth, "M",
     "The depth a dive starts and ends at, metres (@DEFAULT@ when not given)", Completion::kNothing},
    {"min-dive", Argument::kRequired, OptionId::kMinDive, "SECONDS",
     "The shortest time under water that is a dive (@DEFAULT@ when not given)", Completion::kNothing},
    {"bottom-fraction", Argument::kRequired, OptionId::kBottomFraction, "F",
     "A dive's bottom lies deeper than this fraction of its greatest depth (@DEFAULT@ when not given)",
     Completion::kNothing},
    {"activity-window", Argument::kRequired, OptionId::kActivityWindow, "SECONDS",
     "The window of the static acceleration, seconds (@DEFAULT@ when not given)", Completion::kNothing},
    {"help", Argument::kNone, OptionId::kHelp, nullptr, nullptr, Completion::kNothing},
    {"version", Argument::kNone, OptionId::kVersion, nullptr, "Print the version", Completion::kNothing},
};

void fillIn(std::string& text, std::string_view mark, const std::string& with) {
  if (const size_t at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), with);
}

// A number as the shortest text that reads back as it: "2", "0.8".
std::string shortest(double value) {
  char digits[32];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  return {digits, written.ptr};
}

// What an analysis option stands at when it is not given.
std::string defaultOf(OptionId id) {
  const zolt::AnalysisSettings settings;
  switch (id) {
    case OptionId::kLatitude: return shortest(settings.depth.latitude);
    case OptionId::kWater: return settings.depth.water == zolt::Water::kSea ? "sea" : "fresh";
    case OptionId::kDiveDepth: return shortest(settings.dives.diveDepth);
    case OptionId::kSurfaceDepth: return shortest(settings.dives.surfaceDepth);
    case OptionId::kMinDive: return shortest(settings.dives.minimumDuration);
    case OptionId::kBottomFraction: return shortest(settings.dives.bottomFraction);
    case OptionId::kActivityWindow: return shortest(settings.activity.window);
    default: return {};
  }
}

}  // namespace

std::span<const LongOption> longOptions() { return kLongOptions; }

const LongOption& longOption(OptionId id) {
  return *std::find_if(std::begin(kLongOptions), std::end(kLongOptions),
                       [id](const LongOption& option) { return option.id == id; });
}

std::vector<std::string> tableNames() {
  std::vector<std::string> names;
  for (size_t kind = 0; kind < zolt::kTableKinds; ++kind) names.emplace_back(zolt::tableName(static_cast<zolt::TableKind>(kind)));
  for (size_t table = 0; table < zolt::kDerivedTables; ++table) {
    names.emplace_back(zolt::derivedTableName(static_cast<zolt::DerivedTable>(table)));
  }
  return names;
}

std::string tablesInWords() {
  const std::vector<std::string> names = tableNames();
  std::string words;
  for (size_t i = 0; i < names.size(); ++i) words += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
  return words;
}

std::string optionForm(const LongOption& option) {
  std::string name = std::string("--") + option.name;
  switch (option.argument) {
    case Argument::kNone: return name;
    case Argument::kOptional: return name + "[=" + option.value + "]";
    case Argument::kRequired:
    case Argument::kAttached: break;
  }
  return name + "=" + option.value;
}

std::string usageLine(const LongOption& option) {
  std::string summary = option.summary;
  fillIn(summary, "@TABLES@", tablesInWords());
  fillIn(summary, "@BUDGET@", std::to_string(zolt::kDefaultHtmlBudget / 1000000));
  fillIn(summary, "@DEFAULT@", defaultOf(option.id));
  return "\t[" + optionForm(option) + "] " + summary + "\n";
}

std::string completionWords() {
  std::string words = "-d -t -s -p -h";
  for (const LongOption& option : kLongOptions) {
    const std::string name = std::string("--") + option.name;
    if (option.argument == Argument::kNone || option.argument == Argument::kOptional) words += " " + name;
    if (option.argument != Argument::kNone) words += " " + name + "=";
  }
  return words;
}
