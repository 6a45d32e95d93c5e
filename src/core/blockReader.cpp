#include "core/blockReader.h"

#include <cerrno>
#include <new>

#include "core/fileSystem.h"

namespace zolt {

BlockReader::BlockReader(int fd)
    : fd_(fd),
      buffer_(static_cast<uint8_t*>(::operator new(kHeadroom + kBlockSize, std::align_val_t{kPageAlignment}))) {}

BlockReader::Block BlockReader::next() {
  uint8_t* const data = buffer_.get() + kHeadroom;
  const int64_t got = readDescriptor(fd_, data, kBlockSize);
  if (got >= 0) return {data, static_cast<size_t>(got), 0};
  return {data, 0, errno};
}

}  // namespace zolt
