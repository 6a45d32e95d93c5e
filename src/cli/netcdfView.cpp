// --netcdf: the named files as one netCDF file, through the library's
// writer.
#include "cli/netcdfView.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "analysis/analysisSettings.h"
#include "cli/complain.h"
#include "cli/fileMessages.h"
#include "cli/viewRuns.h"
#include "zolt/netcdf.h"

bool netcdfBuilt() { return true; }

int runNetcdf(const ViewChoice& choice) {
  if (choice.names.empty()) return refuseNoInput();
  int status = kExitOk;
  const std::vector<char*> names = recordFilesAmong(choice.names, status);
  // Nothing read is nothing to replace a file with.
  if (names.empty()) return kExitFileFailed;
  std::vector<zolt::Input> inputs;
  inputs.reserve(names.size());
  std::transform(names.begin(), names.end(), std::back_inserter(inputs), inputNamed);
  zolt::NetcdfOptions options;
  options.window = choice.window;
  options.attributes = choice.meta;
  options.history = choice.history;
  options.salvage = choice.salvage;
  options.analysis = std::make_shared<const zolt::AnalysisSettings>(choice.analysis);
  const zolt::NetcdfResult result = zolt::writeNetcdf(choice.output, inputs, options);
  for (size_t i = 0; i < result.inputs.size(); ++i) {
    if (!told(names[i], result.inputs[i].error)) status = kExitFileFailed;
    tellDamage(names[i], result.inputs[i].damage);
  }
  if (result.error.failed()) {
    complain("cannot write %s: %s", shownName(choice.output).c_str(), zolt::describe(result.error).c_str());
    return kExitFileFailed;
  }
  return result.written ? status : kExitFileFailed;
}
