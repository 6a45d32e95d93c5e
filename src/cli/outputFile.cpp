#include "cli/outputFile.h"

#include <unistd.h>  // the standard descriptors

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "cli/complain.h"
#include "core/fileSystem.h"
#include "output/replacedFile.h"

namespace {

bool failed(const char* path, int error) {
  complain("cannot write %s: %s", shownName(path).c_str(), std::strerror(error));
  return false;
}

bool writeDirectly(const char* path, const MakeOutput& make) {
  const int fd = zolt::openForWriting(path);
  if (fd < 0) return failed(path, errno);
  zolt::DescriptorSink sink(fd);
  int error = make(sink);
  if (const int closed = zolt::closeDescriptor(fd); closed != 0 && error == 0) error = closed;
  return error == 0 || (error == kNothingMade ? false : failed(path, error));
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

bool writeOutputWith(const char* path, const MakeOutput& make) {
  switch (outputKind(path)) {
    case OutputKind::kDirect: return writeDirectly(path, make);
    case OutputKind::kRefused: return failed(path, EISDIR);
    case OutputKind::kReplaced: break;
  }
  zolt::ReplacedFile file(path);
  if (file.error().failed()) return failed(path, file.error().system);
  zolt::DescriptorSink sink(file.fd());
  if (const int error = make(sink); error != 0) return error == kNothingMade ? false : failed(path, error);
  if (const zolt::Error committed = file.commit(); committed.failed()) return failed(path, committed.system);
  return true;
}

bool writeOutputFile(const char* path, std::string_view content) {
  return writeOutputWith(path, [content](zolt::Sink& sink) { return sink.write(content.data(), content.size()); });
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
