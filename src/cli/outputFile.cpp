#include "cli/outputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "cli/complain.h"
#include "output/replacedFile.h"

namespace {

int writeAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    content.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

bool failed(const char* path, int error) {
  complain("cannot write %s: %s", shownName(path).c_str(), std::strerror(error));
  return false;
}

bool writeDirectly(const char* path, std::string_view content) {
  const int fd = open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return failed(path, errno);
  int error = writeAll(fd, content);
  if (close(fd) != 0 && error == 0) error = errno;
  return error == 0 || failed(path, error);
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

OutputKind outputKind(const char* path) {
  struct stat info{};
  // The kernel follows every link here, /dev/stdout's included.
  if (stat(path, &info) != 0) return errno == ENOENT ? OutputKind::kReplaced : OutputKind::kRefused;
  if (S_ISREG(info.st_mode)) return OutputKind::kReplaced;
  if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) return OutputKind::kDirect;
  return OutputKind::kRefused;
}

bool writeOutputFile(const char* path, std::string_view content) {
  switch (outputKind(path)) {
    case OutputKind::kDirect: return writeDirectly(path, content);
    case OutputKind::kRefused: return failed(path, EISDIR);
    case OutputKind::kReplaced: break;
  }
  zolt::ReplacedFile file(path);
  if (file.error().failed()) return failed(path, file.error().system);
  if (const int error = writeAll(file.fd(), content); error != 0) return failed(path, error);
  if (const zolt::Error committed = file.commit(); committed.failed()) return failed(path, committed.system);
  return true;
}

bool isSameFile(const char* output, const char* name) {
  struct stat out{};
  struct stat in{};
  if (stat(output, &out) != 0) return false;
  const int found = std::strcmp(name, "-") == 0 ? fstat(STDIN_FILENO, &in) : stat(name, &in);
  return found == 0 && sameFile(out, in);
}

bool isStandardOutput(const char* name) {
  struct stat out{};
  struct stat in{};
  if (fstat(STDOUT_FILENO, &out) != 0 || !S_ISREG(out.st_mode)) return false;
  const int found = std::strcmp(name, "-") == 0 ? fstat(STDIN_FILENO, &in) : stat(name, &in);
  return found == 0 && sameFile(out, in);
}
