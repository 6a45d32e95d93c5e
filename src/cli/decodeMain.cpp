// The program: each view of the library run over the named files, with its
// failures turned into messages and the exit status.
#include "cli/decodeMain.h"

#include <fcntl.h>
#include <getopt.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/complain.h"
#include "cli/options.h"
#include "cli/outputFile.h"
#include "cli/standardOutput.h"
#include "zolt/html.h"
#include "zolt/netcdf.h"
#include "zolt/zolt.h"

namespace {

// "-" stands for standard input, as in other tools, read from where it
// stands; a file of that name is reached as "./-". Named files are mapped
// rather than read, which saves a copy of every byte: the program guards
// the mappings (guardMappings).
zolt::Input inputNamed(const char* name) {
  if (std::strcmp(name, "-") == 0) return zolt::Input::descriptor(STDIN_FILENO);
  return zolt::Input::mappedPath(name);
}

void onBusError(int /*signal*/, siginfo_t* info, void* /*context*/) {
  if (zolt::recoverFromBusError(info->si_addr)) return;
  // Not a file that shrank under its mapping: fault again without the
  // handler, as if it had never been set.
  (void)signal(SIGBUS, SIG_DFL);
}

// A file that shrinks while it is mapped faults at the lost pages; the
// library then reads it as lost from there, which is a read error.
void guardMappings() {
  struct sigaction action{};
  action.sa_sigaction = onBusError;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGBUS, &action, nullptr);
}

// Says why a file could not be read, after what was written of it; false
// when it could not.
bool told(const char* name, const zolt::Error& error) {
  stopIfWriteFailed(error);
  if (error.ok()) return true;
  const char* verb = error.code == zolt::Errc::kCannotOpen ? "open" : "read";
  complain("cannot %s %s: %s", verb, shownName(name).c_str(), zolt::describe(error).c_str());
  return false;
}

void tellDamage(const char* name, const zolt::Damage& damage) {
  for (const std::string& note : zolt::damageNotes(damage)) complain("%s: %s", shownName(name).c_str(), note.c_str());
}

// A file that is also standard output would be read back as it is written,
// growing without end: it is refused, as cat refuses it.
bool isOutput(const char* name) {
  if (!isStandardOutput(name)) return false;
  complain("%s: input file is output file", shownName(name).c_str());
  return true;
}

int decodeAll(int argc, char** argv, const zolt::ReportSwitches& switches) {
  if (optind >= argc) {
    say("No input file specified");
    usage();
    return kExitNoInput;
  }
  zolt::Report report(standardOutput(), {switches, {}});
  int status = kExitOk;
  for (; optind < argc; ++optind) {
    if (isOutput(argv[optind])) {
      status = kExitFileFailed;
      continue;
    }
    const zolt::FileOutcome outcome = report.add(inputNamed(argv[optind]));
    stopIfWriteFailed(outcome.error);
    if (outcome.error.failed()) status = kExitFileFailed;
  }
  return status;
}

int refuseNoInput() {
  complain("no input file named (see man decode)");
  return kExitUsage;
}

int convertAll(int argc, char** argv, const ViewChoice& choice) {
  if (optind >= argc) return refuseNoInput();
  zolt::CsvRun run(standardOutput(), {*choice.table, choice.window, {}, choice.salvage});
  int status = kExitOk;
  for (; optind < argc; ++optind) {
    if (isOutput(argv[optind])) {
      status = kExitFileFailed;
      continue;
    }
    const zolt::FileOutcome outcome = run.add(inputNamed(argv[optind]));
    if (!told(argv[optind], outcome.error)) status = kExitFileFailed;
    tellDamage(argv[optind], outcome.damage);
  }
  stopIfWriteFailed(run.finish());
  return status;
}

int describeAll(int argc, char** argv, const ViewChoice& choice) {
  if (optind >= argc) return refuseNoInput();
  zolt::InfoRun run(standardOutput(), {*choice.info, {}, choice.salvage});
  const bool several = argc - optind > 1;
  int status = kExitOk;
  for (; optind < argc; ++optind) {
    if (isOutput(argv[optind]) || !told(argv[optind], run.add(inputNamed(argv[optind])).error)) {
      status = kExitFileFailed;
    }
  }
  if (several) stopIfWriteFailed(run.finish());
  return status;
}

int plotAll(int argc, char** argv, const ViewChoice& choice) {
  if (optind >= argc) return refuseNoInput();
  const char* const output = choice.plot;
  const bool toStandardOutput = std::strcmp(output, "-") == 0;
  zolt::PlotRun run({choice.window, {}, choice.salvage});
  int status = kExitOk;
  bool anyRead = false;
  for (; optind < argc; ++optind) {
    if ((toStandardOutput && isOutput(argv[optind])) ||
        !told(argv[optind], run.add(inputNamed(argv[optind])).error)) {
      status = kExitFileFailed;
    } else {
      anyRead = true;
    }
  }
  // A picture of nothing would replace one of something.
  if (!anyRead) return kExitFileFailed;
  const zolt::Result<std::string> svg = run.render();
  if (!svg.ok()) {
    complain("cannot draw the picture: %s", zolt::describe(svg.error()).c_str());
    return kExitFileFailed;
  }
  if (toStandardOutput) {
    say(svg.value());
  } else if (!writeOutputFile(output, svg.value())) {
    status = kExitFileFailed;
  }
  return status;
}

int writeHtmlPage(int argc, char** argv, const ViewChoice& choice) {
  if (optind >= argc) return refuseNoInput();
  const char* const output = choice.html;
  const bool toStandardOutput = std::strcmp(output, "-") == 0;
  std::vector<zolt::Input> inputs;
  for (int name = optind; name < argc; ++name) inputs.push_back(inputNamed(argv[name]));
  zolt::HtmlOptions options;
  options.window = choice.window;
  options.salvage = choice.salvage;
  if (choice.htmlBudget != 0) options.budgetBytes = choice.htmlBudget;
  const zolt::HtmlPage page = zolt::makeHtml(inputs, options);
  int status = kExitOk;
  for (size_t i = 0; i < page.inputs.size(); ++i) {
    if ((toStandardOutput && isOutput(argv[optind + static_cast<int>(i)])) || !told(argv[optind + static_cast<int>(i)], page.inputs[i].error)) {
      status = kExitFileFailed;
    }
    tellDamage(argv[optind + static_cast<int>(i)], page.inputs[i].damage);
  }
  if (page.error.failed()) {
    complain("cannot make the page: %s", zolt::describe(page.error).c_str());
    return kExitFileFailed;
  }
  // A page of nothing would replace one of something.
  if (page.page.empty()) return kExitFileFailed;
  if (toStandardOutput) {
    say(page.page);
  } else if (!writeOutputFile(output, page.page)) {
    status = kExitFileFailed;
  }
  return status;
}

// The command line as a shell would take it back, for the file's history.
std::string commandLine(int argc, char** argv) {
  std::string line = "decode";
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    const bool plain = !word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                                "0123456789-_=./:,+@%") == std::string_view::npos;
    line += ' ';
    if (plain) {
      line += word;
      continue;
    }
    line += '\'';
    for (const char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += '\'';
  }
  return line;
}

int writeNetcdfFile(int argc, char** argv, const ViewChoice& choice) {
  if (optind >= argc) return refuseNoInput();
  std::vector<zolt::Input> inputs;
  for (int name = optind; name < argc; ++name) inputs.push_back(inputNamed(argv[name]));
  zolt::NetcdfOptions options;
  options.window = choice.window;
  options.attributes = choice.meta;
  options.history = commandLine(argc, argv);
  options.salvage = choice.salvage;
  const zolt::NetcdfResult result = zolt::writeNetcdf(choice.netcdf, inputs, options);
  int status = kExitOk;
  for (size_t i = 0; i < result.inputs.size(); ++i) {
    if (!told(inputs[i].name().c_str(), result.inputs[i].error)) status = kExitFileFailed;
    tellDamage(inputs[i].name().c_str(), result.inputs[i].damage);
  }
  if (result.error.failed()) {
    complain("cannot write %s: %s", shownName(choice.netcdf).c_str(), zolt::describe(result.error).c_str());
    return kExitFileFailed;
  }
  return result.written ? status : kExitFileFailed;
}

int carryOut(int argc, char** argv) {
  const Request request = parseCommandLine(argc, argv);
  if (request.stop) return kExitOk;
  ViewChoice choice;
  if (const int refused = checkViewRequest(request, choice, argc, argv); refused != 0) return refused;
  if (choice.netcdf != nullptr) return writeNetcdfFile(argc, argv, choice);
  if (choice.info) return describeAll(argc, argv, choice);
  if (choice.plot != nullptr) return plotAll(argc, argv, choice);
  if (choice.html != nullptr) return writeHtmlPage(argc, argv, choice);
  if (choice.table) return convertAll(argc, argv, choice);
  return decodeAll(argc, argv, request.switches);
}

// A closed standard stream would lend its number to the first file opened.
// Each is stood in for by one that cannot be used as the stream: "-" still
// cannot be read, and what is written to standard output fails as it would
// have, so only the views that write there need it.
void guardStandardStreams() {
  if (fcntl(STDIN_FILENO, F_GETFD) < 0) open("/dev/null", O_WRONLY);
  if (fcntl(STDOUT_FILENO, F_GETFD) < 0) {
    open("/dev/null", O_RDONLY);
    standardOutputWasClosed();
  }
  if (fcntl(STDERR_FILENO, F_GETFD) < 0) open("/dev/null", O_WRONLY);
}

}  // namespace

int decodeMain(int argc, char** argv) {
  guardStandardStreams();
  guardMappings();
  enlargeOutputPipe();
  return carryOut(argc, argv);
}
