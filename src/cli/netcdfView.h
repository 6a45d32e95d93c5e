// --netcdf, which only a program built with libnetcdf has: the rest of the
// command line does not depend on it.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

bool netcdfBuilt();

// Writes the named files as one netCDF file; `history` is the command line.
int writeNetcdfFile(const std::vector<char*>& names, const ViewChoice& choice, const std::string& history);
