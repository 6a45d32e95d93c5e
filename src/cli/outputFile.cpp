#include "cli/outputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "cli/complain.h"

namespace {

bool writeAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    content.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// A new file gets the permissions the user's umask gives, as any other.
void giveUsualPermissions(int fd) {
  const mode_t mask = umask(0);
  umask(mask);
  (void)fchmod(fd, 0666 & ~mask);
}

}  // namespace

bool writeWholeFile(const char* path, std::string_view content) {
  std::string temporary = std::string(path) + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    complain("cannot write %s: %s", shownName(path).c_str(), std::strerror(errno));
    return false;
  }
  giveUsualPermissions(fd);
  const bool written = writeAll(fd, content);
  const int writeError = errno;
  const bool closed = close(fd) == 0;
  if (!written || !closed || rename(temporary.c_str(), path) != 0) {
    const int error = !written ? writeError : errno;
    unlink(temporary.c_str());
    complain("cannot write %s: %s", shownName(path).c_str(), std::strerror(error));
    return false;
  }
  return true;
}

bool isSameFile(const char* output, const char* name) {
  struct stat out{};
  struct stat in{};
  if (stat(output, &out) != 0) return false;
  const int found = std::strcmp(name, "-") == 0 ? fstat(STDIN_FILENO, &in) : stat(name, &in);
  return found == 0 && out.st_dev == in.st_dev && out.st_ino == in.st_ino;
}
