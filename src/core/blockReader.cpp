#include "core/blockReader.h"

#include <cerrno>

#include "core/fileSystem.h"

namespace zolt {

BlockReader::BlockReader(int fd) : fd_(fd), buffer_(std::make_unique_for_overwrite<uint8_t[]>(kHeadroom + kBlockSize)) {}

BlockReader::Block BlockReader::next() {
  uint8_t* const data = buffer_.get() + kHeadroom;
  const int64_t got = readDescriptor(fd_, data, kBlockSize);
  if (got >= 0) return {data, static_cast<size_t>(got), 0};
  return {data, 0, errno};
}

}  // namespace zolt
