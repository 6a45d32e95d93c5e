#include "cli/outputFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "cli/complain.h"
#include "core/fileSystem.h"
#include "output/replacedFile.h"

namespace {

int writeAll(int fd, std::string_view content) {
  // A gigabyte a call at most: some systems count a write in 32 bits.
  constexpr size_t kMostAtOnce = size_t{1} << 30;
  while (!content.empty()) {
    const ssize_t written = write(fd, content.data(), static_cast<unsigned>(std::min(content.size(), kMostAtOnce)));
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
  const int fd = zolt::openForWriting(path);
  if (fd < 0) return failed(path, errno);
  int error = writeAll(fd, content);
  if (close(fd) != 0 && error == 0) error = errno;
  return error == 0 || failed(path, error);
}

}  // namespace

OutputKind outputKind(const char* path) {
  // The system follows every link here, /dev/stdout's included.
  const zolt::FileStatus status = zolt::fileStatus(path);
  switch (status.kind) {
    case zolt::FileKind::kMissing: return status.error == ENOENT ? OutputKind::kReplaced : OutputKind::kRefused;
    case zolt::FileKind::kRegular: return OutputKind::kReplaced;
    case zolt::FileKind::kPipe:
    case zolt::FileKind::kDevice: return OutputKind::kDirect;
    case zolt::FileKind::kDirectory:
    case zolt::FileKind::kOther: break;
  }
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

namespace {

zolt::FileStatus inputStatus(const char* name) {
  return std::strcmp(name, "-") == 0 ? zolt::descriptorStatus(STDIN_FILENO) : zolt::fileStatus(name);
}

}  // namespace

bool isSameFile(const char* output, const char* name) {
  return zolt::sameFile(zolt::fileStatus(output), inputStatus(name));
}

bool isStandardOutput(const char* name) {
  const zolt::FileStatus out = zolt::descriptorStatus(STDOUT_FILENO);
  return out.kind == zolt::FileKind::kRegular && zolt::sameFile(out, inputStatus(name));
}
