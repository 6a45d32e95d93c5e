// Command line and the analogue channel table.
#include "decode.h"

#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include <cstring>
#include <optional>

#include "calendar.h"
#include "complain.h"
#include "csvTables.h"
#include "deploymentInfo.h"
#include "outputFile.h"
#include "plotRun.h"
#include "reportWriter.h"

namespace {

enum ExitStatus : int {
  kExitOk = 0,
  kExitFileFailed = 1,
  kExitNoInput = 2,
  kExitUsage = 2,
};

struct ChannelConversion {
  float mult;
  float offset;
  const char* units;
};

// Linear laws from converter volts to engineering units, by channel. The last
// row serves every channel above it.
constexpr ChannelConversion adConv[] = {
    {12.11f, 0.0f, "Batt Volts"}, {12.11f, 0.0f, "Batt Volts"}, {35.0f, 8.75f, "bar"},
    {50.0f, 12.5f, "psia"},       {100.0f, 50.0f, "degC"},      {47.175f, 23.82f, "%"},
    {1.0f, 0.0f, "Volts"},
};
constexpr uint16_t kLastChannel = std::size(adConv) - 1;

void usage() {
  reportOut().text(
      "\nDECODE [-d] [-t] [-s] [-p] <filename>\tDecode a ZOLT binary file\n"
      "\t[-d] Print full data records (else prints summaries each second)\n"
      "\t[-t] Print only totals, not individual records (except header)\n"
      "\t[-s] Print only System Records\n"
      "\t[-p] Print only Pressure Records\n"
      "\nDECODE [-h]\tPrint this message\n");
}

// The options the usage text of -h does not name, in its style.
void moreUsage() {
  reportOut().text(
      "\t[--csv=TABLE] Print one CSV table: header, marker, data, pressure, index or system\n"
      "\t[--from=TIME] Keep only what lies at or after TIME (UTC, YYYY-MM-DD[Thh:mm[:ss[.fff]]])\n"
      "\t[--to=TIME] Keep only what lies before TIME\n"
      "\t[--info[=json]] Describe each file and the run for a deployment check\n"
      "\t[--plot=OUT.svg] Draw the files as one deployment in an SVG picture\n"
      "\t[--version] Print the version\n");
}

void version() { reportOut().text("decode " DECODE_VERSION "\n"); }

constexpr uint16_t kSwitchOn = 0xFFFF;

enum LongOption : int {
  kVersionOption = 256,  // beyond any switch letter
  kHelpOption,
  kCsvOption,
  kFromOption,
  kToOption,
  kInfoOption,
  kPlotOption,
};

constexpr option kLongOptions[] = {
    {"help", no_argument, nullptr, kHelpOption},
    {"version", no_argument, nullptr, kVersionOption},
    {"csv", required_argument, nullptr, kCsvOption},
    {"from", required_argument, nullptr, kFromOption},
    {"to", required_argument, nullptr, kToOption},
    {"info", optional_argument, nullptr, kInfoOption},
    {"plot", required_argument, nullptr, kPlotOption},
    {nullptr, 0, nullptr, 0},
};

// What the command line asks for, before it is checked.
struct Request {
  bool stop = false;  // -h, --help or --version has been answered
  bool anySwitch = false;
  bool unknownOption = false;
  const char* csv = nullptr;
  const char* from = nullptr;
  const char* to = nullptr;
  const char* info = nullptr;  // "" for the text form
  const char* plot = nullptr;
};

Request parseSwitches(int argc, char** argv) {
  Request request;
  int letter;
  while ((letter = getopt_long(argc, argv, "dtpsh", kLongOptions, nullptr)) > 0) {
    switch (letter) {
      case 'd': printDataRecs = kSwitchOn; break;
      case 't': totalsOnly = kSwitchOn; break;
      case 'p': pressOnly = kSwitchOn; break;
      case 's': sysRecOnly = kSwitchOn; break;
      case 'h': usage(); request.stop = true; return request;
      case kHelpOption: usage(); moreUsage(); request.stop = true; return request;
      case kVersionOption: version(); request.stop = true; return request;
      case kCsvOption: request.csv = optarg; break;
      case kFromOption: request.from = optarg; break;
      case kToOption: request.to = optarg; break;
      case kInfoOption: request.info = optarg != nullptr ? optarg : ""; break;
      case kPlotOption: request.plot = optarg; break;
      default: request.unknownOption = true; break;  // getopt has already said what was wrong
    }
  }
  request.anySwitch = (printDataRecs | totalsOnly | pressOnly | sysRecOnly) != 0;
  return request;
}

// A wrong option ends the run before anything is decoded.
int refuse(const char* what) {
  complain("%s (see man decode)", what);
  return kExitUsage;
}

std::optional<int64_t> parseWindowEdge(const char* text, const char* option) {
  if (text == nullptr) return std::nullopt;
  const std::optional<int64_t> time = parseIsoTime(text);
  if (!time) {
    complain("%s: '%s' is not a UTC time of the form YYYY-MM-DD[Thh:mm[:ss[.fff]]][Z] (see man decode)", option,
             shownName(text).c_str());
  }
  return time;
}

// The view the command line asks for, once checked.
struct ViewChoice {
  std::optional<CsvTable> table;
  TimeWindow window;
  std::optional<InfoFormat> info;
  const char* plot = nullptr;
};

std::optional<InfoFormat> infoFormatNamed(std::string_view name) {
  if (name.empty()) return InfoFormat::kText;
  if (name == "json") return InfoFormat::kJson;
  return std::nullopt;
}

// 0 when the request is sound, else the exit status.
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
  choice.table = csvTableNamed(request.csv);
  if (!choice.table) {
    complain("unknown table '%s' for --csv; the tables are %s (see man decode)", shownName(request.csv).c_str(),
             kCsvTableNames);
    return kExitUsage;
  }
  return checkWindow(request, choice);
}

int checkPlotRequest(const Request& request, ViewChoice& choice, int argc, char** argv) {
  if (request.anySwitch) return refuse("--plot cannot be combined with -d, -t, -s or -p");
  if (request.unknownOption) return refuse("unknown option");
  if (*request.plot == '\0') return refuse("--plot needs a file name, or - for standard output");
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

int checkViewRequest(const Request& request, ViewChoice& choice, int argc, char** argv) {
  if (request.info != nullptr) return checkInfoRequest(request, choice);
  if (request.csv != nullptr) return checkCsvRequest(request, choice);
  if (request.plot != nullptr) return checkPlotRequest(request, choice, argc, argv);
  if (request.from != nullptr || request.to != nullptr) return refuse("--from and --to need --csv or --plot");
  return 0;
}

int decodeAll(int argc, char** argv) {
  if (optind >= argc) {
    reportOut().text("No input file specified");
    usage();
    return kExitNoInput;
  }
  int status = kExitOk;
  for (; optind < argc; ++optind) {
    if (decodeFile(argv[optind]) != 0) status = kExitFileFailed;
  }
  return status;
}

int convertAll(int argc, char** argv, CsvTable table, const TimeWindow& window) {
  if (optind >= argc) return refuse("no input file named");
  CsvRun run(table, window);
  run.writeHeaderRow();
  int status = kExitOk;
  for (; optind < argc; ++optind) {
    if (!run.convertFile(argv[optind])) status = kExitFileFailed;
  }
  return status;
}

int describeAll(int argc, char** argv, InfoFormat format) {
  if (optind >= argc) return refuse("no input file named");
  InfoRun run(format);
  const bool several = argc - optind > 1;
  int status = kExitOk;
  for (; optind < argc; ++optind) {
    if (!run.describeFile(argv[optind])) status = kExitFileFailed;
  }
  if (several) run.describeRun();
  return status;
}

int plotAll(int argc, char** argv, const char* output, const TimeWindow& window) {
  if (optind >= argc) return refuse("no input file named");
  PlotRun run(window);
  int status = kExitOk;
  for (; optind < argc; ++optind) {
    if (!run.addFile(argv[optind])) status = kExitFileFailed;
  }
  const std::string svg = renderPlot(run.columns(), run.facts());
  if (std::strcmp(output, "-") == 0) {
    reportOut().text(svg);
  } else if (!writeWholeFile(output, svg)) {
    status = kExitFileFailed;
  }
  return status;
}

int carryOut(int argc, char** argv) {
  const Request request = parseSwitches(argc, argv);
  if (request.stop) return kExitOk;
  ViewChoice choice;
  if (const int refused = checkViewRequest(request, choice, argc, argv); refused != 0) return refused;
  if (choice.info) return describeAll(argc, argv, *choice.info);
  if (choice.plot != nullptr) return plotAll(argc, argv, choice.plot, choice.window);
  if (choice.table) return convertAll(argc, argv, *choice.table, choice.window);
  return decodeAll(argc, argv);
}

// A closed standard stream would lend its number to the first input file
// opened. Without standard output there is nowhere for the report to go; a
// closed standard input is stood in for by one that cannot be read, so "-"
// still fails as it would have.
void guardStandardStreams() {
  if (fcntl(STDOUT_FILENO, F_GETFD) < 0) failWrite(errno);
  if (fcntl(STDIN_FILENO, F_GETFD) < 0) open("/dev/null", O_WRONLY);
  if (fcntl(STDERR_FILENO, F_GETFD) < 0) open("/dev/null", O_WRONLY);
}

}  // namespace

float adcEngValue(uint16_t channel, uint16_t count, const char** units) {
  const ChannelConversion& row = adConv[std::min(channel, kLastChannel)];
  if (units != nullptr) *units = row.units;
  const double volts = count * 2.5 / 65536.0;
  // Exact in double for every count and row; the single rounding to float
  // is what the logger's own firmware reports.
  return static_cast<float>(volts * double{row.mult} - double{row.offset});
}

int decodeMain(int argc, char** argv) {
  guardStandardStreams();
  enlargeOutputPipe();
  const int status = carryOut(argc, argv);
  reportOut().flush();
  return status;
}
