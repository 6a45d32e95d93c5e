#include "zolt/sink.h"

#include <unistd.h>

#include <cerrno>
#include <new>

namespace zolt {

int StringSink::write(const char* data, size_t size) {
  try {
    text.append(data, size);
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
  return 0;
}

int DescriptorSink::write(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

}  // namespace zolt
