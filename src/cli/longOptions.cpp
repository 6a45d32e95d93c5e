#include "cli/longOptions.h"

#include <algorithm>
#include <string_view>

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
    {"meta", Argument::kRequired, OptionId::kMeta, "ATTRS.json", "Add global attributes to the netCDF file",
     Completion::kFiles},
    {"html-budget", Argument::kRequired, OptionId::kHtmlBudget, "MB", "The most megabytes the page may take (@BUDGET@)",
     Completion::kNothing},
    {"help", Argument::kNone, OptionId::kHelp, nullptr, nullptr, Completion::kNothing},
    {"version", Argument::kNone, OptionId::kVersion, nullptr, "Print the version", Completion::kNothing},
};

void fillIn(std::string& text, std::string_view mark, const std::string& with) {
  if (const size_t at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), with);
}

}  // namespace

std::span<const LongOption> longOptions() { return kLongOptions; }

const LongOption& longOption(OptionId id) {
  return *std::find_if(std::begin(kLongOptions), std::end(kLongOptions),
                       [id](const LongOption& option) { return option.id == id; });
}

std::string tablesInWords() {
  std::string words;
  for (size_t kind = 0; kind < zolt::kTableKinds; ++kind) {
    if (kind > 0) words += kind + 1 == zolt::kTableKinds ? " or " : ", ";
    words += zolt::tableName(static_cast<zolt::TableKind>(kind));
  }
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
