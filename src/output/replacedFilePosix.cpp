#include "output/replacedFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>


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

// Temporary files are named after their target, the machine and the
// process, ".NAME~HOST-PID-XXXXXX", so that a later write to the same
// target can tell which were left by a process that no longer runs.
struct TemporaryName {
  std::string folder;  // with its trailing slash, or empty
  std::string prefix;  // ".NAME~", NAME cut to fit the system's limit
};

// A short tag of this machine's name: one folder may be shared by several.
std::string hostTag() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) return "0";
  uint32_t hash = 2166136261u;  // FNV-1a
  for (const char* c = host; *c != '\0'; ++c) hash = (hash ^ static_cast<uint8_t>(*c)) * 16777619u;
  char text[16];
  return {text, static_cast<size_t>(std::snprintf(text, sizeof text, "%08x", hash))};
}

// The part after ".NAME~": this machine's tag, this process and mkstemp's
// letters.
std::string ownSuffix(const std::string& tag) { return tag + "-" + std::to_string(getpid()) + "-XXXXXX"; }

TemporaryName temporaryNameFor(const std::string& path, const std::string& tag) {
  const size_t slash = path.rfind('/');
  TemporaryName name;
  name.folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const long limit = pathconf(name.folder.empty() ? "." : name.folder.c_str(), _PC_NAME_MAX);
  const size_t most = (limit > 0 ? static_cast<size_t>(limit) : NAME_MAX) - (2 + ownSuffix(tag).size());
  if (base.size() > most) base.resize(most);
  name.prefix = "." + base + "~";
  return name;
}

// The process that made a temporary file of this machine's, from its name;
// 0 when the name is not one of ours.
pid_t makerOf(std::string_view rest, const std::string& tag) {
  if (!rest.starts_with(tag + "-")) return 0;
  rest.remove_prefix(tag.size() + 1);
  const size_t dash = rest.find('-');
  if (dash == std::string_view::npos || rest.size() - dash != 7) return 0;
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + dash, pid);
  return error == std::errc() && end == rest.data() + dash ? pid : 0;
}

// A process killed while it wrote leaves its temporary file behind; the
// next write to the same target removes those of processes gone.
void removeStaleTemporaries(const TemporaryName& name, const std::string& tag) {
  DIR* const folder = opendir(name.folder.empty() ? "." : name.folder.c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = readdir(folder)) {
    const std::string_view file = entry->d_name;
    if (!file.starts_with(name.prefix)) continue;
    const pid_t maker = makerOf(file.substr(name.prefix.size()), tag);
    if (maker > 0 && kill(maker, 0) != 0 && errno == ESRCH) (void)unlink((name.folder + std::string(file)).c_str());
  }
  closedir(folder);
}

}  // namespace

ReplacedFile::ReplacedFile(const std::string& path) : target_(followLinks(path)) {
  error_ = replaceable(target_);
  if (error_.failed()) return;
  const std::string tag = hostTag();
  const TemporaryName name = temporaryNameFor(target_, tag);
  removeStaleTemporaries(name, tag);
  temporary_ = name.folder + name.prefix + ownSuffix(tag);
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

Error ReplacedFile::reserve(uint64_t bytes) {
  struct stat info{};
  if (fstat(fd_, &info) != 0) return {Errc::kWriteFailed, errno};
  if (fallocate(fd_, FALLOC_FL_KEEP_SIZE, info.st_size, static_cast<off_t>(bytes)) == 0) {
    reserved_ = true;
    return {};
  }
  return errno == EOPNOTSUPP || errno == ENOSYS ? Error{} : Error{Errc::kWriteFailed, errno};
}

Error ReplacedFile::commit() {
  // Room reserved and not used is given back.
  struct stat info{};
  if (reserved_ && fstat(fd_, &info) == 0) {
    constexpr off_t kAnyReserved = off_t{1} << 40;
    (void)fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, info.st_size, kAnyReserved);
  }
  const int written = fd_;
  fd_ = -1;
  if (close(written) != 0) return {Errc::kWriteFailed, errno};
  if (rename(temporary_.c_str(), target_.c_str()) != 0) return {Errc::kWriteFailed, errno};
  committed_ = true;
  return {};
}

}  // namespace zolt
