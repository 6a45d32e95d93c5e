// The program's long options, each once: what it takes, its line of
// --help, and what the bash completion offers after it. The option parser,
// --help, the completion's word list, and the checks of the man page's
// option list are all made from this table.
#pragma once

#include <span>
#include <string>

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
};

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
enum class Completion : unsigned char { kNothing, kTables, kInfoForms, kFiles };

struct LongOption {  // NOLINT(clang-analyzer-optin.performance.Padding): a few rows, in reading order
  const char* name;  // without the leading "--"
  Argument argument;
  OptionId id;
  // The value as --help and the man page show it: a placeholder ("TABLE",
  // "OUT.svg"), or the one form an optional value takes ("json").
  const char* value;
  // Its line of --help after the form, with @TABLES@ for the table names
  // and @BUDGET@ for the page's default budget; none for an option that
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

// "header, marker, data, pressure, index or system"
std::string tablesInWords();
