#include "zolt/error.h"

#include <cerrno>

#include "core/fileSystem.h"

namespace zolt {

namespace {

std::string systemText(int error) { return systemErrorText(error); }

}  // namespace

std::string describe(const Error& error) {
  if (!error.detail.empty()) return error.detail;
  switch (error.code) {
    case Errc::kOk: return "no error";
    case Errc::kOutOfMemory: return systemText(ENOMEM);
    case Errc::kStopped: return "stopped";
    case Errc::kInvalidArgument: return systemText(EINVAL);
    default: return systemText(error.system != 0 ? error.system : EIO);
  }
}

}  // namespace zolt
