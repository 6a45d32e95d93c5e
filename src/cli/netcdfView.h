// --netcdf, which only a program built with libnetcdf has: the rest of the
// command line does not depend on it.
#pragma once

bool netcdfBuilt();
