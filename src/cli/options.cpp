#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "cli/complain.h"
#include "cli/longOptions.h"
#include "cli/metaAttributes.h"
#include "core/decimalParse.h"
#include "cli/netcdfView.h"
#include "cli/optionParser.h"
#include "cli/outputFile.h"
#include "cli/standardOutput.h"
#include "cli/viewRuns.h"
#include "output/recordingGuard.h"
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
  kTakesAnalysis = 64,    // --latitude, --water, ... --activity-window
  kTakesAverages = 128,   // --every, --agg, --fill
};

// What a view must take for the option to be given with it; 0 for the
// views' own options, --help and --version.
unsigned takenAs(OptionId id) {
  switch (id) {
    case OptionId::kFrom:
    case OptionId::kTo: return kTakesWindow;
    case OptionId::kMeta: return kTakesMeta;
    case OptionId::kSalvage: return kTakesSalvage;
    case OptionId::kHtmlBudget: return kTakesBudget;
    case OptionId::kEvery:
    case OptionId::kAgg:
    case OptionId::kFill: return kTakesAverages;
    default: return isAnalysisOption(id) ? unsigned{kTakesAnalysis} : 0U;
  }
}

using ViewCheck = int (*)(const Request& request, ViewChoice& choice);

// A view the command line can ask for, what it takes, and what runs it.
// Each checks only its own option's value; what may go with what is told
// by the table.
struct ViewDeclaration {
  std::optional<OptionId> option;  // none for the report
  const char* Request::*value;
  unsigned accepts;
  ViewCheck check;
  ViewRun run;
};

std::string optionName(const ViewDeclaration& view) { return std::string("--") + longOption(*view.option).name; }

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
    return checkAnalysisValues(request.analysis, choice.analysis);
  }
  complain("unknown form '%s' for --info; it takes none or json (see man decode)", shownName(request.info).c_str());
  return kExitUsage;
}

// "mean,min,max", or any of them in any order, each once.
bool takeAggregates(std::string_view list, zolt::Averaging& averaging) {
  averaging.mean = averaging.min = averaging.max = false;
  while (true) {
    const size_t comma = list.find(',');
    const std::string_view word = list.substr(0, comma);
    bool* const chosen = word == "mean" ? &averaging.mean : word == "min" ? &averaging.min : word == "max" ? &averaging.max : nullptr;
    if (chosen == nullptr || *chosen) return false;
    *chosen = true;
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

// --every and what goes with it: a table with times in a series.
int checkAverages(const Request& request, ViewChoice& choice) {
  if (request.every == nullptr) {
    if (request.agg != nullptr) return refuse("--agg needs --every");
    return request.fill ? refuse("--fill needs --every") : 0;
  }
  const std::optional<int64_t> micros = zolt::intervalMicros(request.every);
  if (!micros) {
    complain("--every=%s: not a whole, positive number of seconds or milliseconds, such as 1s or 250ms (see man decode)",
             shownName(request.every).c_str());
    return kExitUsage;
  }
  if (choice.derivedTable && !zolt::averagesOf(*choice.derivedTable)) {
    return refuse("--every does not apply to --csv=" + std::string(request.csv) + ": its rows are no series in time");
  }
  choice.averaging.everyMicros = *micros;
  choice.averaging.fill = request.fill;
  if (request.agg != nullptr && !takeAggregates(request.agg, choice.averaging)) {
    complain("--agg=%s: not a list of mean, min and max, each at most once, such as mean,min,max (see man decode)",
             shownName(request.agg).c_str());
    return kExitUsage;
  }
  return 0;
}

// The analysis's parameters apply only to what is made from the analysis.
int checkCsv(const Request& request, ViewChoice& choice) {
  choice.table = zolt::tableNamed(request.csv);
  choice.derivedTable = zolt::derivedTableNamed(request.csv);
  if (!choice.table && !choice.derivedTable) {
    complain("unknown table '%s' for --csv; the tables are %s (see man decode)", shownName(request.csv).c_str(),
             tablesInWords().c_str());
    return kExitUsage;
  }
  if (choice.table && anyAnalysisValue(request.analysis)) {
    return refuse("--" + std::string(longOption(firstAnalysisOption(request.analysis)).name) +
                  " applies to the tables made from the analysis, not to --csv=" + request.csv);
  }
  if (const int refused = checkAverages(request, choice); refused != 0) return refused;
  return checkAnalysisValues(request.analysis, choice.analysis);
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

// Nor is any other recording ever replaced.
int refuseRecordingAsOutput(const char* option, const char* output) {
  if (!zolt::holdsRecording(output)) return 0;
  complain("%s holds records of this logger, and a recording is never replaced: %s needs another name (see man decode)",
           shownName(output).c_str(), option);
  return kExitUsage;
}

// The file a picture or a page is written to, or "-".
int checkDrawnOutput(const char* option, const char* what, const Request& request, const char* output) {
  if (*output == '\0') return refuse(std::string(option) + " needs a file name, or - for standard output");
  if (std::strcmp(output, "-") == 0) return 0;
  if (outputKind(output) == OutputKind::kRefused) {
    complain("%s=%s cannot take %s: it is not a file, a FIFO or a terminal (see man decode)", option,
             shownName(output).c_str(), what);
    return kExitUsage;
  }
  if (const int refused = refuseInputAsOutput(option, output, request.names); refused != 0) return refused;
  return refuseRecordingAsOutput(option, output);
}

int checkPlot(const Request& request, ViewChoice& choice) {
  if (const int refused = checkDrawnOutput("--plot", "a picture", request, request.plot); refused != 0) return refused;
  choice.output = request.plot;
  return 0;
}

int checkNetcdf(const Request& request, ViewChoice& choice) {
  if (!netcdfBuilt()) return refuse("--netcdf is not available: this decode was built without libnetcdf");
  if (*request.netcdf == '\0') return refuse("--netcdf needs a file name");
  if (std::strcmp(request.netcdf, "-") == 0) return refuse("--netcdf cannot write to standard output: HDF5 needs a file");
  if (const int refused = refuseInputAsOutput("--netcdf", request.netcdf, request.names); refused != 0) return refused;
  if (const int refused = refuseRecordingAsOutput("--netcdf", request.netcdf); refused != 0) return refused;
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
  choice.output = request.netcdf;
  return checkAnalysisValues(request.analysis, choice.analysis);
}

// Megabytes in decimal digits, with a fraction or without ("20", "0.5"):
// no sign, exponent or base, whatever the locale.
std::optional<double> decimalMegabytes(std::string_view text) {
  const size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  const auto digits = [](std::string_view part) { return part.find_first_not_of("0123456789") == std::string_view::npos; };
  if (whole.empty() && fraction.empty()) return std::nullopt;
  if (!digits(whole) || !digits(fraction)) return std::nullopt;
  double value = 0;
  const auto [end, error] = zolt::decimalFromChars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "--html-budget=20": whole or decimal megabytes, at least the least a page
// needs.
int checkHtmlBudget(const Request& request, ViewChoice& choice) {
  if (request.htmlBudget == nullptr) return 0;
  const std::optional<double> megabytes = decimalMegabytes(request.htmlBudget);
  constexpr double kMostMegabytes = 100000;
  if (!megabytes || *megabytes * 1e6 < static_cast<double>(zolt::kLeastHtmlBudget) || *megabytes > kMostMegabytes) {
    complain("--html-budget=%s: not a number of megabytes from 1 to 100000 (see man decode)",
             shownName(request.htmlBudget).c_str());
    return kExitUsage;
  }
  choice.htmlBudget = static_cast<uint64_t>(*megabytes * 1e6);
  return 0;
}

int checkHtml(const Request& request, ViewChoice& choice) {
  if (const int refused = checkDrawnOutput("--html", "a page", request, request.html); refused != 0) return refused;
  if (const int refused = checkHtmlBudget(request, choice); refused != 0) return refused;
  choice.output = request.html;
  return 0;
}

// In the order one is chosen when several are asked for: each cannot be
// combined with those after it.
constexpr ViewDeclaration kViews[] = {
    {OptionId::kNetcdf, &Request::netcdf, kTakesWindow | kTakesMeta | kTakesSalvage | kTakesAnalysis, checkNetcdf,
     runNetcdf},
    {OptionId::kInfo, &Request::info, kTakesSalvage | kTakesAnalysis, checkInfo, runInfo},
    {OptionId::kCsv, &Request::csv, kTakesWindow | kTakesSalvage | kTakesAverages | kTakesAnalysis, checkCsv, runCsv},
    {OptionId::kPlot, &Request::plot, kTakesWindow | kTakesSalvage, checkPlot, runPlot},
    {OptionId::kHtml, &Request::html, kTakesWindow | kTakesSalvage | kTakesBudget, checkHtml, runHtml},
};

// The report ignores letters it does not know, as it always has.
constexpr ViewDeclaration kReport = {std::nullopt, nullptr, kTakesSwitches | kIgnoresUnknown, nullptr, runReport};

// The views that take what `accepts` names, as words.
std::string viewsTaking(unsigned accepts) {
  std::vector<std::string> names;
  for (const ViewDeclaration& view : kViews) {
    if ((view.accepts & accepts) != 0) names.push_back(optionName(view));
  }
  return oneOf(names);
}

// "--csv=depth, --csv=dives or --csv=activity", and the other views that
// take the analysis's parameters.
std::string analysisViewsInWords() {
  std::vector<std::string> names;
  for (size_t table = 0; table < zolt::kDerivedTables; ++table) {
    names.push_back("--csv=" + std::string(zolt::derivedTableName(static_cast<zolt::DerivedTable>(table))));
  }
  for (const ViewDeclaration& view : kViews) {
    if ((view.accepts & kTakesAnalysis) != 0 && view.option != OptionId::kCsv) names.push_back(optionName(view));
  }
  return oneOf(names);
}

bool asked(const Request& request, const ViewDeclaration& view) { return request.*view.value != nullptr; }

// What is given that the chosen view does not take, said the first time.
int refuseWhatItDoesNotTake(const Request& request, const ViewDeclaration& view) {
  const std::string name = view.option ? optionName(view) : "";
  const bool windowed = request.from != nullptr || request.to != nullptr;
  if (windowed && (view.accepts & kTakesWindow) == 0) {
    if (!view.option) return refuse("--from and --to need " + viewsTaking(kTakesWindow));
    return refuse("--from and --to do not apply to " + name);
  }
  if (request.salvage && (view.accepts & kTakesSalvage) == 0) return refuse("--salvage needs " + viewsTaking(kTakesSalvage));
  const bool averaged = request.every != nullptr || request.agg != nullptr || request.fill;
  if (averaged && (view.accepts & kTakesAverages) == 0) {
    const char* const given = request.every != nullptr ? "every" : request.agg != nullptr ? "agg" : "fill";
    return refuse("--" + std::string(given) + " needs " + viewsTaking(kTakesAverages));
  }
  if (request.htmlBudget != nullptr && (view.accepts & kTakesBudget) == 0) {
    return refuse("--html-budget needs " + viewsTaking(kTakesBudget));
  }
  if (anyAnalysisValue(request.analysis) && (view.accepts & kTakesAnalysis) == 0) {
    return refuse("--" + std::string(longOption(firstAnalysisOption(request.analysis)).name) + " needs " +
                  analysisViewsInWords());
  }
  if (request.anySwitch && (view.accepts & kTakesSwitches) == 0) {
    return refuse(name + " cannot be combined with -d, -t, -s or -p");
  }
  if (request.unknownLetter && (view.accepts & kIgnoresUnknown) == 0) return refuse("unknown option");
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
  std::for_each(first + 1, std::end(kViews), [&](const ViewDeclaration& view) { after.push_back(optionName(view)); });
  return refuse(optionName(*first) + " cannot be combined with " + oneOf(after));
}

// An option that takes its value after "=" alone, given without it: most
// likely its value was forgotten, and the next word is a file to read.
int refuseValueless(const LongOption& option) {
  std::string what = "--" + std::string(option.name) + " needs ";
  what += option.completion == Completion::kTables ? "a table name" : "a file name";
  what += ": " + optionForm(option);
  if (option.completion == Completion::kTables) what += ", where " + std::string(option.value) + " is " + tablesInWords();
  complain("%s", what.c_str());
  return kExitUsage;
}

// The number of one-letter edits (insertions, deletions, changes) that
// make one word of the other.
size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The long option a mistyped name most likely meant; none when the name
// begins one (the parser has said which) or none is near.
const LongOption* nearestOption(std::string_view typed) {
  constexpr size_t kNear = 2;
  const LongOption* nearest = nullptr;
  size_t least = kNear + 1;
  for (const LongOption& option : longOptions()) {
    if (std::string_view(option.name).starts_with(typed)) return nullptr;
    const size_t distance = editDistance(typed, option.name);
    if (distance < least) {
      least = distance;
      nearest = &option;
    }
  }
  return nearest;
}

// The parser has said what was wrong; the run ends with a hint and the
// usage line, and nothing on standard output.
int refuseWrongOption(const char* word) {
  std::string_view typed = std::string_view(word).substr(2);
  typed = typed.substr(0, typed.find('='));
  if (const LongOption* nearest = nearestOption(typed); nearest != nullptr) {
    complain("did you mean --%s?", nearest->name);
  }
  (void)std::fputs("Usage: decode [OPTION]... FILE... (see decode --help, or man decode)\n", stderr);
  return kExitUsage;
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

// A view as it is called: its option, then what it takes, in the option
// table's order.
std::string viewLine(const ViewDeclaration& view) {
  std::string line = view.option ? "decode " + optionForm(longOption(*view.option)) : "decode [-d] [-t] [-s] [-p]";
  for (const LongOption& option : longOptions()) {
    const unsigned needs = takenAs(option.id);
    if (needs != 0 && (view.accepts & needs) != 0) line += " [" + optionForm(option) + "]";
  }
  return line + " FILE...\n";
}

void version() { say("decode " ZOLT_VERSION "\n"); }

// A view's option given twice would leave the user to guess which counts.
void take(Request& request, const char*& option, const char* value, OptionId id) {
  const LongOption& given = longOption(id);
  if (value == nullptr && given.argument == Argument::kAttached) {
    if (request.valueless == nullptr) request.valueless = &given;
    return;
  }
  if (option != nullptr && request.repeated == nullptr) request.repeated = given.name;
  option = value;
}

// Takes one long option into the request; false when it answered it.
bool takeLongOption(Request& request, OptionId id, const char* value) {
  switch (id) {
    case OptionId::kHelp: say(helpText()); return false;
    case OptionId::kVersion: version(); return false;
    case OptionId::kCsv: take(request, request.csv, value, id); break;
    case OptionId::kFrom: take(request, request.from, value, id); break;
    case OptionId::kTo: take(request, request.to, value, id); break;
    case OptionId::kInfo: take(request, request.info, value != nullptr ? value : "", id); break;
    case OptionId::kPlot: take(request, request.plot, value, id); break;
    case OptionId::kNetcdf: take(request, request.netcdf, value, id); break;
    case OptionId::kMeta: take(request, request.meta, value, id); break;
    case OptionId::kHtml: take(request, request.html, value, id); break;
    case OptionId::kHtmlBudget: take(request, request.htmlBudget, value, id); break;
    case OptionId::kEvery: take(request, request.every, value, id); break;
    case OptionId::kAgg: take(request, request.agg, value, id); break;
    case OptionId::kFill:
      if (request.fill && request.repeated == nullptr) request.repeated = "fill";
      request.fill = true;
      break;
    case OptionId::kLatitude:
    case OptionId::kWater:
    case OptionId::kSurface:
    case OptionId::kDiveDepth:
    case OptionId::kSurfaceDepth:
    case OptionId::kMinDive:
    case OptionId::kBottomFraction:
    case OptionId::kActivityWindow: take(request, request.analysis[analysisIndex(id)], value, id); break;
    case OptionId::kSalvage:
      if (request.salvage && request.repeated == nullptr) request.repeated = "salvage";
      request.salvage = true;
      break;
  }
  return true;
}

constexpr std::string_view kUsage =
    "\nDECODE [-d] [-t] [-s] [-p] <filename>\tDecode a ZOLT binary file\n"
    "\t[-d] Print full data records (else prints summaries each second)\n"
    "\t[-t] Print only totals, not individual records (except header)\n"
    "\t[-s] Print only System Records\n"
    "\t[-p] Print only Pressure Records\n"
    "\nDECODE [-h]\tPrint this message\n";

}  // namespace

void usage() { say(kUsage); }

std::string viewLines() {
  std::string text = viewLine(kReport);
  for (const LongOption& option : longOptions()) {
    const auto* view = std::find_if(std::begin(kViews), std::end(kViews),
                                    [&](const ViewDeclaration& each) { return each.option == option.id; });
    if (view != std::end(kViews)) text += viewLine(*view);
  }
  return text;
}

std::string helpText() {
  std::string text = std::string(kUsage) + "\n" + viewLines() + "\n";
  for (const LongOption& option : longOptions()) {
    if (option.summary != nullptr) text += usageLine(option);
  }
  return text;
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
      case '?': request.unknownLetter = true; break;  // the parser has already said which
      case kWrongLongOption: request.wrongOption = option->value; return request;
      default:
        if (!takeLongOption(request, static_cast<OptionId>(option->id), option->value)) {
          request.stop = true;
          return request;
        }
        break;
    }
  }
  request.names = parser.operands();
  const zolt::ReportSwitches& on = request.switches;
  request.anySwitch = on.printDataRecs || on.totalsOnly || on.pressOnly || on.sysRecOnly;
  return request;
}

int checkViewRequest(const Request& request, ViewChoice& choice) {
  if (request.wrongOption != nullptr) return refuseWrongOption(request.wrongOption);
  if (request.valueless != nullptr) return refuseValueless(*request.valueless);
  if (request.lookalikeName != nullptr) {
    tellLookalike(request.lookalikeName);
    const bool view = std::any_of(std::begin(kViews), std::end(kViews), [&](const ViewDeclaration& each) {
      return asked(request, each);
    });
    if (view || request.from != nullptr || request.to != nullptr) return kExitUsage;
  }
  if (request.repeated != nullptr) return refuse("--" + std::string(request.repeated) + " is given more than once");
  const ViewDeclaration* view = nullptr;
  if (const int refused = chooseView(request, view); refused != 0) return refused;
  if (request.meta != nullptr && (view->accepts & kTakesMeta) == 0) return refuse("--meta needs " + viewsTaking(kTakesMeta));
  if (const int refused = refuseWhatItDoesNotTake(request, *view); refused != 0) return refused;
  choice.run = view->run;
  choice.names = request.names;
  choice.switches = request.switches;
  if (view->check == nullptr) return 0;
  if (const int refused = view->check(request, choice); refused != 0) return refused;
  choice.salvage = request.salvage;
  return (view->accepts & kTakesWindow) != 0 ? checkWindow(request, choice) : 0;
}
