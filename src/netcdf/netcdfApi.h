// libnetcdf, loaded the first time a netCDF file is written: linked in, it
// would bring HDF5 and forty more libraries into every run of a program
// that mostly writes no netCDF at all.
#pragma once

#include <netcdf.h>

#include <string>

namespace zolt {

struct NetcdfApi {
  decltype(&::nc_create) create;
  decltype(&::nc_close) close;
  decltype(&::nc_abort) abort;
  decltype(&::nc_def_grp) defGrp;
  decltype(&::nc_def_dim) defDim;
  decltype(&::nc_def_var) defVar;
  decltype(&::nc_def_var_chunking) defVarChunking;
  decltype(&::nc_def_var_deflate) defVarDeflate;
  decltype(&::nc_def_var_fill) defVarFill;
  decltype(&::nc_set_var_chunk_cache) setVarChunkCache;
  decltype(&::nc_enddef) enddef;
  decltype(&::nc_sync) sync;
  decltype(&::nc_put_att_text) putAttText;
  decltype(&::nc_put_att_double) putAttDouble;
  decltype(&::nc_put_att_longlong) putAttLonglong;
  decltype(&::nc_put_vara_short) putVaraShort;
  decltype(&::nc_put_vara_int) putVaraInt;
  decltype(&::nc_put_vara_longlong) putVaraLonglong;
  decltype(&::nc_put_vara_double) putVaraDouble;
  decltype(&::nc_put_vara_string) putVaraString;
  decltype(&::nc_strerror) strerror;
};

// The library's functions, loaded once whichever thread asks first;
// nullptr, and why, when it cannot be loaded.
const NetcdfApi* netcdfApi(std::string* why = nullptr);

}  // namespace zolt
