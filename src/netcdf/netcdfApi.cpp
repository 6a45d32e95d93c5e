#include "netcdf/netcdfApi.h"

#include <dlfcn.h>

namespace zolt {

namespace {

struct Loaded {
  NetcdfApi api{};
  bool ok = false;
  std::string why;
};

template <typename Function>
bool load(void* library, const char* name, Function& function, std::string& why) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  if (function == nullptr) why = std::string(NETCDF_SONAME) + " has no " + name;
  return function != nullptr;
}

Loaded loadLibrary() {
  Loaded loaded;
  // Kept for the life of the process: its functions may be asked for again.
  void* const library = dlopen(NETCDF_SONAME, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = dlerror();
    loaded.why = error != nullptr ? error : NETCDF_SONAME " cannot be loaded";
    return loaded;
  }
  NetcdfApi& api = loaded.api;
  std::string& why = loaded.why;
  loaded.ok = load(library, "nc_create", api.create, why) && load(library, "nc_close", api.close, why) &&
              load(library, "nc_abort", api.abort, why) && load(library, "nc_def_grp", api.defGrp, why) &&
              load(library, "nc_def_dim", api.defDim, why) && load(library, "nc_def_var", api.defVar, why) &&
              load(library, "nc_def_var_chunking", api.defVarChunking, why) &&
              load(library, "nc_def_var_deflate", api.defVarDeflate, why) &&
              load(library, "nc_def_var_fill", api.defVarFill, why) &&
              load(library, "nc_set_var_chunk_cache", api.setVarChunkCache, why) &&
              load(library, "nc_enddef", api.enddef, why) && load(library, "nc_sync", api.sync, why) && load(library, "nc_put_att_text", api.putAttText, why) &&
              load(library, "nc_put_att_double", api.putAttDouble, why) &&
              load(library, "nc_put_att_longlong", api.putAttLonglong, why) &&
              load(library, "nc_put_vara_short", api.putVaraShort, why) &&
              load(library, "nc_put_vara_int", api.putVaraInt, why) &&
              load(library, "nc_put_vara_longlong", api.putVaraLonglong, why) &&
              load(library, "nc_put_vara_double", api.putVaraDouble, why) &&
              load(library, "nc_put_vara_string", api.putVaraString, why) &&
              load(library, "nc_strerror", api.strerror, why);
  return loaded;
}

}  // namespace

const NetcdfApi* netcdfApi(std::string* why) {
  static const Loaded loaded = loadLibrary();
  if (why != nullptr) *why = loaded.why;
  return loaded.ok ? &loaded.api : nullptr;
}

}  // namespace zolt
