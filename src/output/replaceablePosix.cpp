// Whether a path may be replaced, on POSIX and on WASI alike: both name
// files by their status the same way.
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "output/recordingGuard.h"
#include "output/replacedFile.h"

namespace zolt {

Error replaceable(const std::string& path) {
  if (path.find('\0') != std::string::npos) return {Errc::kCannotOpen, EINVAL};
  struct stat info{};
  if (stat(path.c_str(), &info) != 0) return errno == ENOENT ? Error{} : Error{Errc::kCannotOpen, errno};
  if (S_ISREG(info.st_mode)) return holdsRecording(path) ? recordingNotReplaced() : Error{};
  return {Errc::kCannotOpen, S_ISDIR(info.st_mode) ? EISDIR : EEXIST};
}

}  // namespace zolt
