// The command line: what it asks for, checked before anything is decoded.
#pragma once

#include <optional>
#include <vector>

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
  bool unknownOption = false;
  const char* csv = nullptr;
  const char* from = nullptr;
  const char* to = nullptr;
  const char* info = nullptr;  // "" for the text form
  const char* plot = nullptr;
  const char* netcdf = nullptr;
  const char* meta = nullptr;
  const char* html = nullptr;
  const char* htmlBudget = nullptr;
  bool salvage = false;
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

// The view the command line asks for, once checked; no view is the report.
struct ViewChoice {
  std::optional<zolt::TableKind> table;
  zolt::TimeWindow window;
  std::optional<zolt::InfoFormat> info;
  const char* plot = nullptr;
  const char* netcdf = nullptr;
  std::vector<zolt::NetcdfAttribute> meta;
  const char* html = nullptr;
  uint64_t htmlBudget = 0;  // bytes; 0 for the default
  bool salvage = false;
};

// 0 when the request is sound, else the exit status after saying why.
int checkViewRequest(const Request& request, ViewChoice& choice);

// The usage text of -h, and the "No input file specified" case.
void usage();
