#include "output/replacedFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace zolt {

namespace {

constexpr int kMostLinks = 40;

// The path a chain of symbolic links leads to, whether or not the last one
// names something.
std::string followLinks(std::string path) {
  for (int links = 0; links < kMostLinks; ++links) {
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length < 0) return path;
    std::string next(target, static_cast<size_t>(length));
    if (next.front() != '/') {
      const size_t slash = path.rfind('/');
      if (slash != std::string::npos) next.insert(0, path, 0, slash + 1);
    }
    path = next;
  }
  return path;
}

// A temporary name beside `path` that stays within the system's limit on
// a name however long the target's is.
std::string temporaryBeside(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  const size_t most = (limit > 0 ? static_cast<size_t>(limit) : NAME_MAX) - std::string(".~XXXXXX").size();
  if (name.size() > most) name.resize(most);
  return folder + "." + name + "~XXXXXX";
}

}  // namespace

Error replaceable(const std::string& path) {
  struct stat info{};
  if (stat(path.c_str(), &info) != 0) return errno == ENOENT ? Error{} : Error{Errc::kCannotOpen, errno};
  if (S_ISREG(info.st_mode)) return {};
  return {Errc::kCannotOpen, S_ISDIR(info.st_mode) ? EISDIR : EEXIST};
}

ReplacedFile::ReplacedFile(const std::string& path) : target_(followLinks(path)) {
  error_ = replaceable(target_);
  if (error_.failed()) return;
  temporary_ = temporaryBeside(target_);
  fd_ = mkstemp(temporary_.data());
  if (fd_ < 0) {
    error_ = {Errc::kCannotOpen, errno};
    temporary_.clear();
    return;
  }
  // An existing file keeps its permissions; a new one gets what the umask
  // gives any new file.
  struct stat existing{};
  if (stat(target_.c_str(), &existing) == 0) {
    (void)fchmod(fd_, existing.st_mode & 07777);
    // Only the owner's own group, or root, can keep it; the file is
    // written all the same.
    if (fchown(fd_, existing.st_uid, existing.st_gid) != 0) errno = 0;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    (void)fchmod(fd_, 0666 & ~mask);
  }
}

ReplacedFile::~ReplacedFile() {
  if (fd_ >= 0) close(fd_);
  if (!committed_ && !temporary_.empty()) unlink(temporary_.c_str());
}

Error ReplacedFile::commit() {
  const int written = fd_;
  fd_ = -1;
  if (close(written) != 0) return {Errc::kWriteFailed, errno};
  if (rename(temporary_.c_str(), target_.c_str()) != 0) return {Errc::kWriteFailed, errno};
  committed_ = true;
  return {};
}

}  // namespace zolt
