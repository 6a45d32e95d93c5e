#include "cli/options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "cli/complain.h"
#include "cli/longOptions.h"
#include "cli/metaAttributes.h"
#include "cli/netcdfView.h"
#include "cli/optionParser.h"
#include "cli/outputFile.h"
#include "cli/standardOutput.h"
#include "output/replacedFile.h"
#include "zolt/html.h"
#include "zolt/version.h"

namespace {

// A wrong option ends the run before anything is decoded.
int refuse(const std::string& what) {
  complain("%s (see man decode)", what.c_str());
  return kExitUsage;
}

// "A", "A or B", "A, B or C"
std::string oneOf(const std::vector<std::string>& words) {
  std::string text;
  for (size_t i = 0; i < words.size(); ++i) text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
  return text;
}

// What a view takes besides its own option.
enum Accepts : unsigned {
  kTakesWindow = 1,       // --from and --to
  kTakesMeta = 2,         // --meta
  kTakesSwitches = 4,     // -d, -t, -s, -p
  kIgnoresUnknown = 8,    // letters no switch has
  kTakesSalvage = 16,     // --salvage
  kTakesBudget = 32,      // --html-budget
};

using ViewCheck = int (*)(const Request& request, ViewChoice& choice);

// A view the command line can ask for, and what it takes. Each checks only
// its own option's value; what may go with what is told by the table.
struct ViewDeclaration {
  const char* option;  // "--csv"; none for the report
  const char* Request::*value;
  unsigned accepts;
  ViewCheck check;
};

std::optional<int64_t> parseWindowEdge(const char* text, const char* option) {
  if (text == nullptr) return std::nullopt;
  const std::optional<int64_t> time = zolt::parseIsoTime(text);
  if (!time) {
    complain("%s: '%s' is not a UTC time of the form YYYY-MM-DD[Thh:mm[:ss[.fff]]][Z] (see man decode)", option,
             shownName(text).c_str());
  }
  return time;
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

int checkInfo(const Request& request, ViewChoice& choice) {
  const std::string_view form = request.info;
  if (form.empty() || form == "json") {
    choice.info = form.empty() ? zolt::InfoFormat::kText : zolt::InfoFormat::kJson;
    return 0;
  }
  complain("unknown form '%s' for --info; it takes none or json (see man decode)", shownName(request.info).c_str());
  return kExitUsage;
}

int checkCsv(const Request& request, ViewChoice& choice) {
  choice.table = zolt::tableNamed(request.csv);
  if (choice.table) return 0;
  complain("unknown table '%s' for --csv; the tables are %s (see man decode)", shownName(request.csv).c_str(),
           zolt::kTableNames);
  return kExitUsage;
}

// An output file that is one of the inputs would be lost before it is read.
int refuseInputAsOutput(const char* option, const char* output, const std::vector<char*>& names) {
  const auto input = std::find_if(names.begin(), names.end(), [output](const char* name) { return isSameFile(output, name); });
  if (input != names.end()) {
    complain("%s=%s would overwrite the input %s (see man decode)", option, shownName(output).c_str(),
             shownName(*input).c_str());
    return kExitUsage;
  }
  return 0;
}

int checkPlot(const Request& request, ViewChoice& choice) {
  if (*request.plot == '\0') return refuse("--plot needs a file name, or - for standard output");
  if (std::strcmp(request.plot, "-") != 0) {
    if (outputKind(request.plot) == OutputKind::kRefused) {
      complain("--plot=%s cannot take a picture: it is not a file, a FIFO or a terminal (see man decode)",
               shownName(request.plot).c_str());
      return kExitUsage;
    }
    if (const int refused = refuseInputAsOutput("--plot", request.plot, request.names); refused != 0) return refused;
  }
  choice.plot = request.plot;
  return 0;
}

int checkNetcdf(const Request& request, ViewChoice& choice) {
  if (!netcdfBuilt()) return refuse("--netcdf is not available: this decode was built without libnetcdf");
  if (*request.netcdf == '\0') return refuse("--netcdf needs a file name");
  if (std::strcmp(request.netcdf, "-") == 0) return refuse("--netcdf cannot write to standard output: HDF5 needs a file");
  if (const int refused = refuseInputAsOutput("--netcdf", request.netcdf, request.names); refused != 0) return refused;
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
  return 0;
}

// "--html-budget=20": whole or decimal megabytes, at least the least a page
// needs.
int checkHtmlBudget(const Request& request, ViewChoice& choice) {
  if (request.htmlBudget == nullptr) return 0;
  char* end = nullptr;
  errno = 0;
  const double megabytes = std::strtod(request.htmlBudget, &end);
  constexpr double kMostMegabytes = 100000;
  const bool number = end != request.htmlBudget && *end == '\0' && errno == 0 && std::isfinite(megabytes);
  if (!number || megabytes * 1e6 < static_cast<double>(zolt::kLeastHtmlBudget) || megabytes > kMostMegabytes) {
    complain("--html-budget=%s: not a number of megabytes from 1 to 100000 (see man decode)",
             shownName(request.htmlBudget).c_str());
    return kExitUsage;
  }
  choice.htmlBudget = static_cast<uint64_t>(megabytes * 1e6);
  return 0;
}

int checkHtml(const Request& request, ViewChoice& choice) {
  if (*request.html == '\0') return refuse("--html needs a file name, or - for standard output");
  if (std::strcmp(request.html, "-") != 0) {
    if (outputKind(request.html) == OutputKind::kRefused) {
      complain("--html=%s cannot take a page: it is not a file, a FIFO or a terminal (see man decode)",
               shownName(request.html).c_str());
      return kExitUsage;
    }
    if (const int refused = refuseInputAsOutput("--html", request.html, request.names); refused != 0) return refused;
  }
  if (const int refused = checkHtmlBudget(request, choice); refused != 0) return refused;
  choice.html = request.html;
  return 0;
}

// In the order one is chosen when several are asked for: each cannot be
// combined with those after it.
constexpr ViewDeclaration kViews[] = {
    {"--netcdf", &Request::netcdf, kTakesWindow | kTakesMeta | kTakesSalvage, checkNetcdf},
    {"--info", &Request::info, kTakesSalvage, checkInfo},
    {"--csv", &Request::csv, kTakesWindow | kTakesSalvage, checkCsv},
    {"--plot", &Request::plot, kTakesWindow | kTakesSalvage, checkPlot},
    {"--html", &Request::html, kTakesWindow | kTakesSalvage | kTakesBudget, checkHtml},
};

// The report ignores letters it does not know, as it always has.
constexpr ViewDeclaration kReport = {nullptr, nullptr, kTakesSwitches | kIgnoresUnknown, nullptr};

// The views that take what `accepts` names, as words.
std::string viewsTaking(unsigned accepts) {
  std::vector<std::string> names;
  for (const ViewDeclaration& view : kViews) {
    if ((view.accepts & accepts) != 0) names.emplace_back(view.option);
  }
  return oneOf(names);
}

bool asked(const Request& request, const ViewDeclaration& view) { return request.*view.value != nullptr; }

// What is given that the chosen view does not take, said the first time.
int refuseWhatItDoesNotTake(const Request& request, const ViewDeclaration& view) {
  const std::string name = view.option == nullptr ? "" : view.option;
  const bool windowed = request.from != nullptr || request.to != nullptr;
  if (windowed && (view.accepts & kTakesWindow) == 0) {
    if (view.option == nullptr) return refuse("--from and --to need " + viewsTaking(kTakesWindow));
    return refuse("--from and --to do not apply to " + name);
  }
  if (request.salvage && (view.accepts & kTakesSalvage) == 0) return refuse("--salvage needs " + viewsTaking(kTakesSalvage));
  if (request.htmlBudget != nullptr && (view.accepts & kTakesBudget) == 0) {
    return refuse("--html-budget needs " + viewsTaking(kTakesBudget));
  }
  if (request.anySwitch && (view.accepts & kTakesSwitches) == 0) {
    return refuse(name + " cannot be combined with -d, -t, -s or -p");
  }
  if (request.unknownOption && (view.accepts & kIgnoresUnknown) == 0) return refuse("unknown option");
  return 0;
}

// The view asked for: the first of those given, which must be alone.
int chooseView(const Request& request, const ViewDeclaration*& chosen) {
  chosen = &kReport;
  const auto* first = std::find_if(std::begin(kViews), std::end(kViews),
                                   [&](const ViewDeclaration& view) { return asked(request, view); });
  if (first == std::end(kViews)) return 0;
  chosen = first;
  const bool others = std::any_of(first + 1, std::end(kViews), [&](const ViewDeclaration& view) { return asked(request, view); });
  if (!others) return 0;
  std::vector<std::string> after;
  std::for_each(first + 1, std::end(kViews), [&](const ViewDeclaration& view) { after.emplace_back(view.option); });
  return refuse(std::string(first->option) + " cannot be combined with " + oneOf(after));
}

// The first argument taken for switches that only a file name could be:
// one with a letter that is no switch's.
const char* lookalikeName(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--") return nullptr;  // names only after it
    if (word.starts_with("--")) {
      const std::span<const LongOption> options = longOptions();
      const auto known = std::find_if(options.begin(), options.end(),
                                       [&](const LongOption& each) { return word.substr(2) == each.name; });
      if (known != options.end() && known->argument == Argument::kRequired) ++i;  // its value follows
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

// The options the usage text of -h does not name, in its style.
void moreUsage() {
  std::string text;
  for (const LongOption& option : longOptions()) {
    if (option.usage != nullptr) text += usageLine(option);
  }
  say(text);
}

void version() { say("decode " ZOLT_VERSION "\n"); }

// A view's option given twice would leave the user to guess which counts.
void take(Request& request, const char*& option, const char* value, const char* name) {
  if (option != nullptr && request.repeated == nullptr) request.repeated = name;
  option = value;
}

// Takes one long option into the request; false when it answered it.
bool takeLongOption(Request& request, OptionId id, const char* value) {
  switch (id) {
    case OptionId::kHelp: usage(); moreUsage(); return false;
    case OptionId::kVersion: version(); return false;
    case OptionId::kCsv: take(request, request.csv, value, "--csv"); break;
    case OptionId::kFrom: take(request, request.from, value, "--from"); break;
    case OptionId::kTo: take(request, request.to, value, "--to"); break;
    case OptionId::kInfo: take(request, request.info, value != nullptr ? value : "", "--info"); break;
    case OptionId::kPlot: take(request, request.plot, value, "--plot"); break;
    case OptionId::kNetcdf: take(request, request.netcdf, value, "--netcdf"); break;
    case OptionId::kMeta: take(request, request.meta, value, "--meta"); break;
    case OptionId::kHtml: take(request, request.html, value, "--html"); break;
    case OptionId::kHtmlBudget: take(request, request.htmlBudget, value, "--html-budget"); break;
    case OptionId::kSalvage:
      if (request.salvage && request.repeated == nullptr) request.repeated = "--salvage";
      request.salvage = true;
      break;
  }
  return true;
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

Request parseCommandLine(int argc, char** argv) {
  Request request;
  request.lookalikeName = lookalikeName(argc, argv);
  OptionParser parser(argc, argv, "dtpsh", longOptions());
  while (const std::optional<ParsedOption> option = parser.next()) {
    switch (option->id) {
      case 'd': request.switches.printDataRecs = true; break;
      case 't': request.switches.totalsOnly = true; break;
      case 'p': request.switches.pressOnly = true; break;
      case 's': request.switches.sysRecOnly = true; break;
      case 'h': usage(); request.stop = true; return request;
      default:
        if (option->id >= static_cast<int>(OptionId::kHelp)) {
          if (!takeLongOption(request, static_cast<OptionId>(option->id), option->value)) {
            request.stop = true;
            return request;
          }
          break;
        }
        request.unknownOption = true;  // the parser has already said what was wrong
        break;
    }
  }
  request.names = parser.operands();
  const zolt::ReportSwitches& on = request.switches;
  request.anySwitch = on.printDataRecs || on.totalsOnly || on.pressOnly || on.sysRecOnly;
  return request;
}

int checkViewRequest(const Request& request, ViewChoice& choice) {
  if (request.lookalikeName != nullptr) {
    tellLookalike(request.lookalikeName);
    const bool view = std::any_of(std::begin(kViews), std::end(kViews), [&](const ViewDeclaration& each) {
      return asked(request, each);
    });
    if (view || request.from != nullptr || request.to != nullptr) return kExitUsage;
  }
  if (request.repeated != nullptr) return refuse(std::string(request.repeated) + " is given more than once");
  const ViewDeclaration* view = nullptr;
  if (const int refused = chooseView(request, view); refused != 0) return refused;
  if (request.meta != nullptr && (view->accepts & kTakesMeta) == 0) return refuse("--meta needs " + viewsTaking(kTakesMeta));
  if (const int refused = refuseWhatItDoesNotTake(request, *view); refused != 0) return refused;
  if (view->check == nullptr) return 0;
  if (const int refused = view->check(request, choice); refused != 0) return refused;
  choice.salvage = request.salvage;
  return (view->accepts & kTakesWindow) != 0 ? checkWindow(request, choice) : 0;
}
