#include "cli/options.h"

#include <getopt.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

#include "cli/complain.h"
#include "cli/metaAttributes.h"
#include "cli/outputFile.h"
#include "cli/standardOutput.h"
#include "output/replacedFile.h"

namespace {

// The options the usage text of -h does not name, in its style.
void moreUsage() {
  say("\t[--csv=TABLE] Print one CSV table: header, marker, data, pressure, index or system\n"
      "\t[--from=TIME] Keep only what lies at or after TIME (UTC, YYYY-MM-DD[Thh:mm[:ss[.fff]]])\n"
      "\t[--to=TIME] Keep only what lies before TIME\n"
      "\t[--info[=json]] Describe each file and the run for a deployment check\n"
      "\t[--plot=OUT.svg] Draw the files as one deployment in an SVG picture\n"
      "\t[--netcdf=OUT.nc] Write the files as one netCDF-4 file with every table\n"
      "\t[--meta=ATTRS.json] Add global attributes to the netCDF file\n"
      "\t[--version] Print the version\n");
}

void version() { say("decode " DECODE_VERSION "\n"); }

enum LongOption : int {
  kVersionOption = 256,  // beyond any switch letter
  kHelpOption,
  kCsvOption,
  kFromOption,
  kToOption,
  kInfoOption,
  kPlotOption,
  kNetcdfOption,
  kMetaOption,
};

constexpr option kLongOptions[] = {
    {"help", no_argument, nullptr, kHelpOption},
    {"version", no_argument, nullptr, kVersionOption},
    {"csv", required_argument, nullptr, kCsvOption},
    {"from", required_argument, nullptr, kFromOption},
    {"to", required_argument, nullptr, kToOption},
    {"info", optional_argument, nullptr, kInfoOption},
    {"plot", required_argument, nullptr, kPlotOption},
    {"netcdf", required_argument, nullptr, kNetcdfOption},
    {"meta", required_argument, nullptr, kMetaOption},
    {nullptr, 0, nullptr, 0},
};

// A wrong option ends the run before anything is decoded.
int refuse(const char* what) {
  complain("%s (see man decode)", what);
  return kExitUsage;
}

std::optional<int64_t> parseWindowEdge(const char* text, const char* option) {
  if (text == nullptr) return std::nullopt;
  const std::optional<int64_t> time = zolt::parseIsoTime(text);
  if (!time) {
    complain("%s: '%s' is not a UTC time of the form YYYY-MM-DD[Thh:mm[:ss[.fff]]][Z] (see man decode)", option,
             shownName(text).c_str());
  }
  return time;
}

std::optional<zolt::InfoFormat> infoFormatNamed(std::string_view name) {
  if (name.empty()) return zolt::InfoFormat::kText;
  if (name == "json") return zolt::InfoFormat::kJson;
  return std::nullopt;
}

int checkInfoRequest(const Request& request, ViewChoice& choice) {
  if (request.csv != nullptr || request.plot != nullptr) return refuse("--info, --csv and --plot cannot be combined");
  if (request.from != nullptr || request.to != nullptr) return refuse("--from and --to do not apply to --info");
  if (request.anySwitch) return refuse("--info cannot be combined with -d, -t, -s or -p");
  if (request.unknownOption) return refuse("unknown option");
  choice.info = infoFormatNamed(request.info);
  if (!choice.info) {
    complain("unknown form '%s' for --info; it takes none or json (see man decode)", shownName(request.info).c_str());
    return kExitUsage;
  }
  return 0;
}

int checkWindow(const Request& request, ViewChoice& choice) {
  const std::optional<int64_t> from = parseWindowEdge(request.from, "--from");
  const std::optional<int64_t> to = parseWindowEdge(request.to, "--to");
  if ((request.from != nullptr && !from) || (request.to != nullptr && !to)) return kExitUsage;
  const bool windowed = request.from != nullptr || request.to != nullptr;
  choice.window = {from.value_or(INT64_MIN), to.value_or(INT64_MAX), windowed};
  if (choice.window.from >= choice.window.to) return refuse("--from must be before --to");
  return 0;
}

int checkCsvRequest(const Request& request, ViewChoice& choice) {
  if (request.plot != nullptr) return refuse("--csv and --plot cannot be combined");
  if (request.anySwitch) return refuse("--csv cannot be combined with -d, -t, -s or -p");
  if (request.unknownOption) return refuse("unknown option");
  choice.table = zolt::tableNamed(request.csv);
  if (!choice.table) {
    complain("unknown table '%s' for --csv; the tables are %s (see man decode)", shownName(request.csv).c_str(),
             zolt::kTableNames);
    return kExitUsage;
  }
  return checkWindow(request, choice);
}

int checkPlotRequest(const Request& request, ViewChoice& choice, int argc, char** argv) {
  if (request.anySwitch) return refuse("--plot cannot be combined with -d, -t, -s or -p");
  if (request.unknownOption) return refuse("unknown option");
  if (*request.plot == '\0') return refuse("--plot needs a file name, or - for standard output");
  if (std::strcmp(request.plot, "-") != 0 && outputKind(request.plot) == OutputKind::kRefused) {
    complain("--plot=%s cannot take a picture: it is not a file, a FIFO or a terminal (see man decode)",
             shownName(request.plot).c_str());
    return kExitUsage;
  }
  for (int name = optind; name < argc; ++name) {
    if (std::strcmp(request.plot, "-") != 0 && isSameFile(request.plot, argv[name])) {
      complain("--plot=%s would overwrite the input %s (see man decode)", shownName(request.plot).c_str(),
               shownName(argv[name]).c_str());
      return kExitUsage;
    }
  }
  choice.plot = request.plot;
  return checkWindow(request, choice);
}

}  // namespace

void usage() {
  say("\nDECODE [-d] [-t] [-s] [-p] <filename>\tDecode a ZOLT binary file\n"
      "\t[-d] Print full data records (else prints summaries each second)\n"
      "\t[-t] Print only totals, not individual records (except header)\n"
      "\t[-s] Print only System Records\n"
      "\t[-p] Print only Pressure Records\n"
      "\nDECODE [-h]\tPrint this message\n");
}

namespace {

// The first argument taken for switches that only a file name could be:
// one with a letter that is no switch's.
const char* lookalikeName(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--") return nullptr;  // names only after it
    if (word.starts_with("--")) {
      const auto* known = std::find_if(std::begin(kLongOptions), std::end(kLongOptions) - 1,
                                       [&](const option& each) { return word.substr(2) == each.name; });
      if (known != std::end(kLongOptions) - 1 && known->has_arg == required_argument) ++i;  // its value follows
      continue;
    }
    // A mistyped switch is a letter or two; a name has a dot, a slash, or
    // length.
    const bool nameLike = word.find_first_of("./") != std::string_view::npos || word.size() > 4;
    if (word.size() > 1 && word.front() == '-' && nameLike && word.find_first_not_of("dtpsh", 1) != std::string_view::npos) {
      return argv[i];
    }
  }
  return nullptr;
}

void tellLookalike(const char* name) {
  complain("'%s' was taken for switches: a file name that starts with '-' needs -- before it, or ./ in front "
           "(see man decode)",
           shownName(name).c_str());
}

}  // namespace

namespace {

// A view's option given twice would leave the user to guess which counts.
void take(Request& request, const char*& option, const char* value, const char* name) {
  if (option != nullptr && request.repeated == nullptr) request.repeated = name;
  option = value;
}

}  // namespace

Request parseCommandLine(int argc, char** argv) {
  Request request;
  request.lookalikeName = lookalikeName(argc, argv);
  int letter;
  while ((letter = getopt_long(argc, argv, "dtpsh", kLongOptions, nullptr)) > 0) {
    switch (letter) {
      case 'd': request.switches.printDataRecs = true; break;
      case 't': request.switches.totalsOnly = true; break;
      case 'p': request.switches.pressOnly = true; break;
      case 's': request.switches.sysRecOnly = true; break;
      case 'h': usage(); request.stop = true; return request;
      case kHelpOption: usage(); moreUsage(); request.stop = true; return request;
      case kVersionOption: version(); request.stop = true; return request;
      case kCsvOption: take(request, request.csv, optarg, "--csv"); break;
      case kFromOption: take(request, request.from, optarg, "--from"); break;
      case kToOption: take(request, request.to, optarg, "--to"); break;
      case kInfoOption: take(request, request.info, optarg != nullptr ? optarg : "", "--info"); break;
      case kPlotOption: take(request, request.plot, optarg, "--plot"); break;
      case kNetcdfOption: take(request, request.netcdf, optarg, "--netcdf"); break;
      case kMetaOption: take(request, request.meta, optarg, "--meta"); break;
      default: request.unknownOption = true; break;  // getopt has already said what was wrong
    }
  }
  const zolt::ReportSwitches& on = request.switches;
  request.anySwitch = on.printDataRecs || on.totalsOnly || on.pressOnly || on.sysRecOnly;
  return request;
}

// An output file that is one of the inputs would be lost before it is read.
int refuseInputAsOutput(const char* option, const char* output, int argc, char** argv) {
  for (int name = optind; name < argc; ++name) {
    if (isSameFile(output, argv[name])) {
      complain("%s=%s would overwrite the input %s (see man decode)", option, shownName(output).c_str(),
               shownName(argv[name]).c_str());
      return kExitUsage;
    }
  }
  return 0;
}

int checkNetcdfRequest(const Request& request, ViewChoice& choice, int argc, char** argv) {
  if (request.info != nullptr || request.csv != nullptr || request.plot != nullptr) {
    return refuse("--netcdf cannot be combined with --info, --csv or --plot");
  }
  if (request.anySwitch) return refuse("--netcdf cannot be combined with -d, -t, -s or -p");
  if (request.unknownOption) return refuse("unknown option");
  if (*request.netcdf == '\0') return refuse("--netcdf needs a file name");
  if (std::strcmp(request.netcdf, "-") == 0) return refuse("--netcdf cannot write to standard output: HDF5 needs a file");
  if (const int refused = refuseInputAsOutput("--netcdf", request.netcdf, argc, argv); refused != 0) return refused;
  if (const zolt::Error kind = zolt::replaceable(request.netcdf); kind.failed()) {
    complain("--netcdf=%s exists and is not a regular file; it is never replaced (see man decode)",
             shownName(request.netcdf).c_str());
    return kExitUsage;
  }
  if (request.meta != nullptr) {
    std::string why;
    std::optional<std::vector<zolt::NetcdfAttribute>> meta = readMetaAttributes(request.meta, why);
    if (!meta) {
      complain("--meta=%s: %s (see man decode)", shownName(request.meta).c_str(), why.c_str());
      return kExitUsage;
    }
    choice.meta = std::move(*meta);
  }
  choice.netcdf = request.netcdf;
  return checkWindow(request, choice);
}

int checkViewRequest(const Request& request, ViewChoice& choice, int argc, char** argv) {
  // The report ignores letters it does not know, as it always has; the
  // other views refuse them.
  if (request.lookalikeName != nullptr) {
    tellLookalike(request.lookalikeName);
    const bool view = request.info != nullptr || request.csv != nullptr || request.plot != nullptr ||
                      request.netcdf != nullptr || request.from != nullptr || request.to != nullptr;
    if (view) return kExitUsage;
  }
  if (request.repeated != nullptr) return refuse((std::string(request.repeated) + " is given more than once").c_str());
  if (request.meta != nullptr && request.netcdf == nullptr) return refuse("--meta needs --netcdf");
  if (request.netcdf != nullptr) return checkNetcdfRequest(request, choice, argc, argv);
  if (request.info != nullptr) return checkInfoRequest(request, choice);
  if (request.csv != nullptr) return checkCsvRequest(request, choice);
  if (request.plot != nullptr) return checkPlotRequest(request, choice, argc, argv);
  if (request.from != nullptr || request.to != nullptr) return refuse("--from and --to need --csv, --plot or --netcdf");
  return 0;
}
