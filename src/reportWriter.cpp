#include "reportWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kExitWriteFailed = 1;

}  // namespace

void enlargeOutputPipe() {
#ifdef F_SETPIPE_SZ
  // Refusal (not a pipe, or over the system's limit) only costs speed.
  fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1024 * 1024);
#endif
}

void failWrite(int error) {
  // Nothing is left to do if even this line cannot be written.
  (void)std::fprintf(stderr, "decode: write error: %s\n", std::strerror(error));
  std::_Exit(kExitWriteFailed);
}

void ReportWriter::text(std::string_view text) {
  while (!text.empty()) {
    const size_t piece = std::min(text.size(), kMaxReserve);
    char* out = reserve(piece);
    std::memcpy(out, text.data(), piece);
    commit(out + piece);
    text.remove_prefix(piece);
  }
}

void ReportWriter::flush() {
  const char* pending = buffer_;
  while (used_ > 0) {
    const ssize_t written = write(STDOUT_FILENO, pending, used_);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) failWrite(written < 0 ? errno : EIO);
    pending += written;
    used_ -= static_cast<size_t>(written);
  }
}

