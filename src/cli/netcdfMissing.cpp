// A program built without libnetcdf: --netcdf is refused before anything
// else is looked at, so none of this is reached.
#include "cli/metaAttributes.h"
#include "cli/netcdfView.h"
#include "cli/viewRuns.h"

bool netcdfBuilt() { return false; }

int runNetcdf(const ViewChoice& /*choice*/) { return kExitUsage; }

std::optional<std::vector<zolt::NetcdfAttribute>> readMetaAttributes(const char* /*path*/, std::string& why) {
  why = "netCDF is not built in";
  return std::nullopt;
}
