// The program: each view of the library run over the named files, with its
// failures turned into messages and the exit status.
#include "cli/decodeMain.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "cli/complain.h"
#include "cli/fileMessages.h"
#include "cli/netcdfView.h"
#include "cli/options.h"
#include "cli/outputFile.h"
#include "cli/processSetup.h"
#include "cli/standardOutput.h"
#include "zolt/html.h"
#include "zolt/zolt.h"

namespace {

int decodeAll(const std::vector<char*>& names, const zolt::ReportSwitches& switches) {
  if (names.empty()) {
    say("No input file specified");
    usage();
    return kExitNoInput;
  }
  zolt::Report report(standardOutput(), {switches, {}});
  int status = kExitOk;
  for (const char* name : names) {
    if (isOutput(name)) {
      status = kExitFileFailed;
      continue;
    }
    const zolt::FileOutcome outcome = report.add(inputNamed(name));
    stopIfWriteFailed(outcome.error);
    if (outcome.error.failed()) status = kExitFileFailed;
  }
  return status;
}

int convertAll(const std::vector<char*>& names, const ViewChoice& choice) {
  if (names.empty()) return refuseNoInput();
  zolt::CsvRun run(standardOutput(), {*choice.table, choice.window, {}, choice.salvage});
  int status = kExitOk;
  for (const char* name : names) {
    if (isOutput(name)) {
      status = kExitFileFailed;
      continue;
    }
    const zolt::FileOutcome outcome = run.add(inputNamed(name));
    if (!told(name, outcome.error)) status = kExitFileFailed;
    tellDamage(name, outcome.damage);
  }
  stopIfWriteFailed(run.finish());
  return status;
}

int describeAll(const std::vector<char*>& names, const ViewChoice& choice) {
  if (names.empty()) return refuseNoInput();
  zolt::InfoRun run(standardOutput(), {*choice.info, {}, choice.salvage});
  const bool several = names.size() > 1;
  int status = kExitOk;
  for (const char* name : names) {
    if (isOutput(name) || !told(name, run.add(inputNamed(name)).error)) {
      status = kExitFileFailed;
    }
  }
  if (several) stopIfWriteFailed(run.finish());
  return status;
}

int plotAll(const std::vector<char*>& names, const ViewChoice& choice) {
  if (names.empty()) return refuseNoInput();
  const char* const output = choice.plot;
  const bool toStandardOutput = std::strcmp(output, "-") == 0;
  zolt::PlotRun run({choice.window, {}, choice.salvage});
  int status = kExitOk;
  bool anyRead = false;
  for (const char* name : names) {
    if ((toStandardOutput && isOutput(name)) || !told(name, run.add(inputNamed(name)).error)) {
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

int writeHtmlPage(const std::vector<char*>& names, const ViewChoice& choice) {
  if (names.empty()) return refuseNoInput();
  const char* const output = choice.html;
  const bool toStandardOutput = std::strcmp(output, "-") == 0;
  std::vector<zolt::Input> inputs;
  inputs.reserve(names.size());
  std::transform(names.begin(), names.end(), std::back_inserter(inputs), inputNamed);
  zolt::HtmlOptions options;
  options.window = choice.window;
  options.salvage = choice.salvage;
  if (choice.htmlBudget != 0) options.budgetBytes = choice.htmlBudget;
  const zolt::HtmlPage page = zolt::makeHtml(inputs, options);
  int status = kExitOk;
  for (size_t i = 0; i < page.inputs.size(); ++i) {
    if ((toStandardOutput && isOutput(names[i])) || !told(names[i], page.inputs[i].error)) status = kExitFileFailed;
    tellDamage(names[i], page.inputs[i].damage);
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

int carryOut(int argc, char** argv) {
  const Request request = parseCommandLine(argc, argv);
  if (request.stop) return kExitOk;
  ViewChoice choice;
  if (const int refused = checkViewRequest(request, choice); refused != 0) return refused;
  const std::vector<char*>& names = request.names;
  if (choice.netcdf != nullptr) return writeNetcdfFile(names, choice, commandLine(argc, argv));
  if (choice.info) return describeAll(names, choice);
  if (choice.plot != nullptr) return plotAll(names, choice);
  if (choice.html != nullptr) return writeHtmlPage(names, choice);
  if (choice.table) return convertAll(names, choice);
  return decodeAll(names, request.switches);
}

}  // namespace

int decodeMain(int argc, char** argv) {
  prepareProcess();
  return carryOut(argc, argv);
}
