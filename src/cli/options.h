// The command line: what it asks for, checked before anything is decoded.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/analysisSettings.h"
#include "analysis/derivedTables.h"
#include "cli/analysisOptions.h"
#include "cli/longOptions.h"
#include "zolt/averages.h"
#include "zolt/html.h"
#include "zolt/netcdf.h"
#include "zolt/report.h"
#include "zolt/summary.h"
#include "zolt/tables.h"

enum ExitStatus : int {
  kExitOk = 0,
  kExitFileFailed = 1,
  kExitNoInput = 2,
  kExitUsage = 2,
};

// What the command line asks for, before it is checked.
struct Request {
  bool stop = false;  // -h, --help or --version has been answered
  zolt::ReportSwitches switches;
  bool anySwitch = false;
  bool unknownLetter = false;  // a switch letter that no switch has
  // The first long option that names none, or takes its value wrongly, as
  // typed; nothing after it was looked at.
  const char* wrongOption = nullptr;
  // The first option given without the "=VALUE" it needs.
  const LongOption* valueless = nullptr;
  const char* csv = nullptr;
  const char* from = nullptr;
  const char* to = nullptr;
  const char* info = nullptr;  // "" for the text form
  const char* plot = nullptr;
  const char* netcdf = nullptr;
  const char* meta = nullptr;
  const char* html = nullptr;
  const char* htmlBudget = nullptr;
  const char* every = nullptr;
  const char* agg = nullptr;
  bool fill = false;
  bool salvage = false;
  // The analysis's parameters, by analysisIndex().
  AnalysisValues analysis{};
  // An argument taken for switches that has letters no switch has: most
  // likely a file name that starts with '-'.
  const char* lookalikeName = nullptr;
  // The first option of a view given more than once ("--csv").
  const char* repeated = nullptr;
  // The file names, in order, wherever they stood among the options.
  std::vector<char*> names;
};

// Parses the switches and keeps the file names. Answers -h, --help and
// --version itself.
Request parseCommandLine(int argc, char** argv);

struct ViewChoice;
using ViewRun = int (*)(const ViewChoice& choice);

// The view the command line asks for, once checked, and what it runs over;
// no view is the report.
struct ViewChoice {
  ViewRun run = nullptr;
  std::vector<char*> names;
  zolt::ReportSwitches switches;
  std::optional<zolt::TableKind> table;
  std::optional<zolt::DerivedTable> derivedTable;  // instead of a record table
  zolt::AnalysisSettings analysis;
  zolt::TimeWindow window;
  std::optional<zolt::InfoFormat> info;
  const char* output = nullptr;  // the file that --plot, --netcdf or --html writes
  std::vector<zolt::NetcdfAttribute> meta;
  std::string history;  // the command line, for a netCDF file's history
  uint64_t htmlBudget = zolt::kDefaultHtmlBudget;
  zolt::Averaging averaging;  // of --csv
  bool salvage = false;
};

// 0 when the request is sound, else the exit status after saying why.
int checkViewRequest(const Request& request, ViewChoice& choice);

// The usage text of -h, and the "No input file specified" case.
void usage();

// A line for each view, as it is called: the report, then the others in
// the option table's order ("decode --csv=TABLE [--salvage] ... FILE...").
std::string viewLines();

// The text of --help: the usage text of -h, the view lines, and a line for
// each option that the usage text does not name.
std::string helpText();
