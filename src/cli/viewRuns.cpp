// Each view of the library run over the named files, with its failures
// turned into messages and the exit status.
#include "cli/viewRuns.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "cli/complain.h"
#include "cli/fileMessages.h"
#include "cli/outputFile.h"
#include "cli/standardOutput.h"
#include "text/analysisCsv.h"
#include "zolt/html.h"
#include "zolt/zolt.h"

int runReport(const ViewChoice& choice) {
  if (choice.names.empty()) {
    say("No input file specified");
    usage();
    return kExitNoInput;
  }
  zolt::Report report(standardOutput(), {choice.switches, {}});
  int status = kExitOk;
  for (const char* name : choice.names) {
    if (isOutput(name)) {
      status = kExitFileFailed;
      continue;
    }
    // The report's own line says that the file failed; the reason goes to
    // standard error, which the report never used.
    if (!told(name, report.add(inputNamed(name)).error)) status = kExitFileFailed;
  }
  return status;
}

namespace {

// Feeds every record file named to a table's run, one after another.
template <typename Run>
int runTableOver(Run& run, const ViewChoice& choice) {
  int status = kExitOk;
  for (const char* name : recordFilesAmong(choice.names, status)) {
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

int runAnalysisCsv(const ViewChoice& choice) {
  zolt::AnalysisCsvRun run(standardOutput(),
                           {*choice.derivedTable, choice.window, {}, choice.salvage, choice.analysis, choice.averaging});
  return runTableOver(run, choice);
}

}  // namespace

int runCsv(const ViewChoice& choice) {
  if (choice.names.empty()) return refuseNoInput();
  if (choice.derivedTable) return runAnalysisCsv(choice);
  zolt::CsvRun run(standardOutput(), {*choice.table, choice.window, {}, choice.salvage, choice.averaging});
  return runTableOver(run, choice);
}

int runInfo(const ViewChoice& choice) {
  if (choice.names.empty()) return refuseNoInput();
  int status = kExitOk;
  const std::vector<char*> names = recordFilesAmong(choice.names, status);
  zolt::InfoRun run(standardOutput(),
                    {*choice.info, {}, choice.salvage, std::make_shared<const zolt::AnalysisSettings>(choice.analysis)});
  for (const char* name : names) {
    if (isOutput(name) || !told(name, run.add(inputNamed(name)).error)) status = kExitFileFailed;
  }
  if (names.size() > 1) stopIfWriteFailed(run.finish());
  return status;
}

int runPlot(const ViewChoice& choice) {
  if (choice.names.empty()) return refuseNoInput();
  const char* const output = choice.output;
  const bool toStandardOutput = std::strcmp(output, "-") == 0;
  int status = kExitOk;
  zolt::PlotRun run({choice.window, {}, choice.salvage});
  bool anyRead = false;
  for (const char* name : recordFilesAmong(choice.names, status)) {
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

int runHtml(const ViewChoice& choice) {
  if (choice.names.empty()) return refuseNoInput();
  const char* const output = choice.output;
  const bool toStandardOutput = std::strcmp(output, "-") == 0;
  int status = kExitOk;
  const std::vector<char*> names = recordFilesAmong(choice.names, status);
  // A page of nothing would replace one of something.
  if (names.empty()) return kExitFileFailed;
  std::vector<zolt::Input> inputs;
  inputs.reserve(names.size());
  std::transform(names.begin(), names.end(), std::back_inserter(inputs), inputNamed);
  zolt::HtmlOptions options;
  options.window = choice.window;
  options.salvage = choice.salvage;
  options.budgetBytes = choice.htmlBudget;
  // The page goes out as it is put together: a page of megabytes is not
  // held whole first.
  zolt::HtmlPage page;
  bool written = true;
  if (toStandardOutput) {
    page = zolt::streamHtml(standardOutput(), inputs, options);
    if (page.error.code == zolt::Errc::kWriteFailed) failWrite(page.error.system);
  } else {
    written = writeOutputWith(output, [&](zolt::Sink& sink) {
      page = zolt::streamHtml(sink, inputs, options);
      if (page.error.code == zolt::Errc::kWriteFailed) return page.error.system;
      return page.error.failed() || page.bytes == 0 ? kNothingMade : 0;
    });
  }
  for (size_t i = 0; i < page.inputs.size(); ++i) {
    if ((toStandardOutput && isOutput(names[i])) || !told(names[i], page.inputs[i].error)) status = kExitFileFailed;
    tellDamage(names[i], page.inputs[i].damage);
  }
  if (page.error.failed() && page.error.code != zolt::Errc::kWriteFailed) {
    complain("cannot make the page: %s", zolt::describe(page.error).c_str());
    return kExitFileFailed;
  }
  if (page.bytes == 0 || !written) return kExitFileFailed;
  return status;
}
