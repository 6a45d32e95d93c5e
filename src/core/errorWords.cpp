#include "zolt/error.h"

#include <cerrno>
#include <cstring>

namespace zolt {

namespace {

// strerror may share one buffer between threads; the GNU strerror_r does not.
std::string systemText(int error) {
  char buffer[128];
  return strerror_r(error, buffer, sizeof buffer);
}

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
