#include "cli/longOptions.h"

#include <string_view>

#include "zolt/tables.h"

namespace {

constexpr LongOption kLongOptions[] = {
    {"help", Argument::kNone, OptionId::kHelp, nullptr, Completion::kNothing},
    {"csv", Argument::kRequired, OptionId::kCsv, "[--csv=TABLE] Print one CSV table: @TABLES@", Completion::kTables},
    {"from", Argument::kRequired, OptionId::kFrom,
     "[--from=TIME] Keep only what lies at or after TIME (UTC, YYYY-MM-DD[Thh:mm[:ss[.fff]]])", Completion::kNothing},
    {"to", Argument::kRequired, OptionId::kTo, "[--to=TIME] Keep only what lies before TIME", Completion::kNothing},
    {"info", Argument::kOptional, OptionId::kInfo, "[--info[=json]] Describe each file and the run for a deployment check",
     Completion::kInfoForms},
    {"plot", Argument::kRequired, OptionId::kPlot, "[--plot=OUT.svg] Draw the files as one deployment in an SVG picture",
     Completion::kFiles},
    {"netcdf", Argument::kRequired, OptionId::kNetcdf,
     "[--netcdf=OUT.nc] Write the files as one netCDF-4 file with every table", Completion::kFiles},
    {"meta", Argument::kRequired, OptionId::kMeta, "[--meta=ATTRS.json] Add global attributes to the netCDF file",
     Completion::kFiles},
    {"html", Argument::kRequired, OptionId::kHtml,
     "[--html=OUT.html] Write the files as one deployment in an interactive page", Completion::kFiles},
    {"html-budget", Argument::kRequired, OptionId::kHtmlBudget,
     "[--html-budget=MB] The most megabytes the page may take (20)", Completion::kNothing},
    {"salvage", Argument::kNone, OptionId::kSalvage,
     "[--salvage] Keep only the records on each file's true framing, found again after damage", Completion::kNothing},
    {"version", Argument::kNone, OptionId::kVersion, "[--version] Print the version", Completion::kNothing},
};

// "header, marker, data, pressure, index or system"
std::string tablesInWords() {
  std::string words;
  for (size_t kind = 0; kind < zolt::kTableKinds; ++kind) {
    if (kind > 0) words += kind + 1 == zolt::kTableKinds ? " or " : ", ";
    words += zolt::tableName(static_cast<zolt::TableKind>(kind));
  }
  return words;
}

}  // namespace

std::span<const LongOption> longOptions() { return kLongOptions; }

std::string usageLine(const LongOption& option) {
  std::string line = option.usage;
  constexpr std::string_view kTables = "@TABLES@";
  if (const size_t at = line.find(kTables); at != std::string::npos) line.replace(at, kTables.size(), tablesInWords());
  return "\t" + line + "\n";
}

std::string completionWords() {
  std::string words = "-d -t -s -p -h";
  for (const LongOption& option : kLongOptions) {
    const std::string name = std::string("--") + option.name;
    if (option.argument != Argument::kRequired) words += " " + name;
    if (option.argument != Argument::kNone) words += " " + name + "=";
  }
  return words;
}
