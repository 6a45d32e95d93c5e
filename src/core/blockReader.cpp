#include "core/blockReader.h"

#include <unistd.h>

#include <cerrno>

namespace zolt {

BlockReader::BlockReader(int fd) : fd_(fd), buffer_(std::make_unique_for_overwrite<uint8_t[]>(kHeadroom + kBlockSize)) {}

BlockReader::Block BlockReader::next() {
  uint8_t* const data = buffer_.get() + kHeadroom;
  for (;;) {
    const ssize_t got = read(fd_, data, kBlockSize);
    if (got >= 0) return {data, static_cast<size_t>(got), 0};
    if (errno != EINTR) return {data, 0, errno};
  }
}

}  // namespace zolt
