#include "recordReader.h"

#include <cstring>

// Carries what is left of the current block in front of the next, until
// `wanted` bytes are there or the input ends: a pipe may deliver a record in
// several short pieces.
bool RecordReader::refill(size_t wanted) {
  while (buffered() < wanted && !ended_) {
    const size_t left = buffered();
    uint8_t carried[kMaxTake];
    if (left > 0) std::memcpy(carried, pos_, left);
    const BlockPrefetcher::Block block = blocks_.next();
    uint8_t* const start = block.data - left;
    if (left > 0) std::memcpy(start, carried, left);
    pos_ = start;
    end_ = block.data + block.size;
    if (block.size == 0) {
      ended_ = true;
      error_ = block.error;
    }
  }
  return buffered() >= wanted;
}

// Past the end of the input the missing bytes read as zero; the block has
// room for them after its last byte.
const uint8_t* RecordReader::takeAcrossBlocks(size_t n) {
  if (!refill(n)) {
    std::memset(end_, 0, n - buffered());
    end_ = pos_ + n;
  }
  return take(n);
}
