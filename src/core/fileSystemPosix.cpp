#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/fileSystem.h"

namespace zolt {

namespace {

FileStatus statusOf(int found, const struct stat& info) {
  if (found != 0) return {FileKind::kMissing, errno};
  FileStatus status;
  status.kind = S_ISREG(info.st_mode)    ? FileKind::kRegular
                : S_ISDIR(info.st_mode)  ? FileKind::kDirectory
                : S_ISFIFO(info.st_mode) ? FileKind::kPipe
                : S_ISCHR(info.st_mode)  ? FileKind::kDevice
                                         : FileKind::kOther;
  status.size = S_ISREG(info.st_mode) ? static_cast<uint64_t>(info.st_size) : 0;
  status.volume = static_cast<uint64_t>(info.st_dev);
  status.index = static_cast<uint64_t>(info.st_ino);
  return status;
}

}  // namespace

FileStatus fileStatus(const std::string& path) {
  struct stat info{};
  return statusOf(stat(path.c_str(), &info), info);
}

FileStatus descriptorStatus(int fd) {
  struct stat info{};
  return statusOf(fstat(fd, &info), info);
}

bool sameFile(const FileStatus& a, const FileStatus& b) {
  return a.kind != FileKind::kMissing && b.kind != FileKind::kMissing && a.volume == b.volume && a.index == b.index;
}

int openForReading(const std::string& path) { return open(path.c_str(), O_RDONLY | O_CLOEXEC); }

int openForWriting(const std::string& path) { return open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC); }

int openForLooking(const std::string& path) { return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); }

int64_t readDescriptor(int fd, void* buffer, size_t size) {
  for (;;) {
    const ssize_t got = read(fd, buffer, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

int writeDescriptor(int fd, const void* data, size_t size) {
  // A gigabyte a call at most: some systems count a write in 32 bits.
  constexpr size_t kMostAtOnce = size_t{1} << 30;
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = write(fd, bytes, std::min(size, kMostAtOnce));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

int closeDescriptor(int fd) { return close(fd) == 0 ? 0 : errno; }

// strerror may share one buffer between threads; the GNU strerror_r does not.
int64_t descriptorOffset(int fd) { return lseek(fd, 0, SEEK_CUR); }

bool seekDescriptor(int fd, int64_t offset) { return lseek(fd, offset, SEEK_SET) >= 0; }

namespace {

// The GNU strerror_r gives its text; the POSIX one (WASI's C library) fills
// the buffer.
[[maybe_unused]] const char* errorTextOf(const char* text, const char* /*buffer*/) { return text; }
[[maybe_unused]] const char* errorTextOf(int failed, const char* buffer) { return failed == 0 ? buffer : "unknown error"; }

}  // namespace

std::string systemErrorText(int error) {
  char buffer[128] = {};
  return errorTextOf(strerror_r(error, buffer, sizeof buffer), buffer);
}

}  // namespace zolt
