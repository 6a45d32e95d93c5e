// The global attributes that --meta adds to a netCDF file: a flat JSON
// object of strings and numbers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "zolt/netcdf.h"

// The attributes of the file at `path`; nothing, and why (with the line),
// when it cannot be read or is not such an object.
std::optional<std::vector<zolt::NetcdfAttribute>> readMetaAttributes(const char* path, std::string& why);
