#include "recordReader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

// Moves what is left to the front and reads until `wanted` bytes are there
// or the input ends: a pipe may deliver a record in several short pieces.
bool RecordReader::refill(size_t wanted) {
  const size_t left = buffered();
  std::memmove(buffer_, pos_, left);
  pos_ = buffer_;
  end_ = buffer_ + left;
  while (buffered() < wanted && !ended_) {
    const ssize_t got = read(fd_, end_, kBlockSize - buffered());
    if (got > 0) {
      end_ += got;
    } else if (got == 0) {
      ended_ = true;
    } else if (errno != EINTR) {
      error_ = errno;
      ended_ = true;
    }
  }
  return buffered() >= wanted;
}

const uint8_t* RecordReader::takeAcrossBlocks(size_t n) {
  if (!refill(n)) {
    std::memset(end_, 0, n - buffered());
    end_ = pos_ + n;
  }
  return take(n);
}
