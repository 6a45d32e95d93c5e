// Windows: the temporary file is made beside the target with a name of its
// own (".NAME~PID-N") and moved over it, which replaces it whole. Windows
// has no symbolic links to follow in a user's folders as a rule, no
// permission bits to keep, and no sparse room to reserve ahead: a full disk
// is told by the write that meets it.
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <string>

#include "core/fileSystem.h"
#include "core/wideName.h"
#include "output/recordingGuard.h"
#include "output/replacedFile.h"

namespace zolt {

namespace {

std::string temporaryPrefix(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + base + "~" + std::to_string(_getpid()) + "-";
}

}  // namespace

Error replaceable(const std::string& path) {
  if (path.find('\0') != std::string::npos) return {Errc::kCannotOpen, EINVAL};
  const FileStatus status = fileStatus(path);
  if (status.kind == FileKind::kMissing) return status.error == ENOENT ? Error{} : Error{Errc::kCannotOpen, status.error};
  if (status.kind == FileKind::kRegular) return holdsRecording(path) ? recordingNotReplaced() : Error{};
  return {Errc::kCannotOpen, status.kind == FileKind::kDirectory ? EISDIR : EEXIST};
}

ReplacedFile::ReplacedFile(const std::string& path) : target_(path) {
  error_ = replaceable(target_);
  if (error_.failed()) return;
  const std::string prefix = temporaryPrefix(target_);
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ = prefix + std::to_string(attempt);
    fd_ = _wopen(wideName(temporary_).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    error_ = {Errc::kCannotOpen, errno};
    temporary_.clear();
  }
}

ReplacedFile::~ReplacedFile() {
  if (fd_ >= 0) _close(fd_);
  if (!committed_ && !temporary_.empty()) _wunlink(wideName(temporary_).c_str());
}

Error ReplacedFile::reserve(uint64_t /*bytes*/) { return {}; }

Error ReplacedFile::commit() {
  const int written = fd_;
  fd_ = -1;
  if (_close(written) != 0) return {Errc::kWriteFailed, errno};
  if (!MoveFileExW(wideName(temporary_).c_str(), wideName(target_).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return {Errc::kWriteFailed, GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO};
  }
  committed_ = true;
  return {};
}

}  // namespace zolt
