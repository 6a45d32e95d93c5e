#include "zolt/sink.h"

#include <unistd.h>

#include <algorithm>
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
  // A gigabyte a call at most: some systems count a write in 32 bits.
  constexpr size_t kMostAtOnce = size_t{1} << 30;
  while (size > 0) {
    const auto piece = static_cast<unsigned>(std::min(size, kMostAtOnce));
    const ssize_t written = ::write(fd_, data, piece);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

}  // namespace zolt
