// --netcdf: the named files as one netCDF file, through the library's
// writer.
#include "cli/netcdfView.h"

#include <algorithm>
#include <iterator>

#include "cli/complain.h"
#include "cli/fileMessages.h"
#include "zolt/netcdf.h"

bool netcdfBuilt() { return true; }

int writeNetcdfFile(const std::vector<char*>& names, const ViewChoice& choice, const std::string& history) {
  if (names.empty()) return refuseNoInput();
  std::vector<zolt::Input> inputs;
  inputs.reserve(names.size());
  std::transform(names.begin(), names.end(), std::back_inserter(inputs), inputNamed);
  zolt::NetcdfOptions options;
  options.window = choice.window;
  options.attributes = choice.meta;
  options.history = history;
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

