// The program's long options, each once: what it takes, its line of
// --help, and what the bash completion offers after it. The option parser,
// --help and the completion's word list are all made from this table.
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

enum class Argument : unsigned char { kNone, kRequired, kOptional };

// What the completion offers for an option's value.
enum class Completion : unsigned char { kNothing, kTables, kInfoForms, kFiles };

struct LongOption {  // NOLINT(clang-analyzer-optin.performance.Padding): a few rows, in reading order
  const char* name;  // without the leading "--"
  Argument argument;
  OptionId id;
  const char* usage;  // its line of --help, with @TABLES@ for the table names
  Completion completion;
};

std::span<const LongOption> longOptions();

// The --help line of an option.
std::string usageLine(const LongOption& option);

// The words the completion offers after "-": the switches, then every long
// option as typed ("--csv=", "--info", "--info=").
std::string completionWords();
