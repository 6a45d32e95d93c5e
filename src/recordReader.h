// Reads a record file in large blocks and hands out record bodies in place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "blockPrefetcher.h"

class RecordReader {
 public:
  // The largest body any record has; `take` never asks for more.
  static constexpr size_t kMaxTake = BlockPrefetcher::kHeadroom;

  explicit RecordReader(int fd) : blocks_(fd) {}
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // The next byte, or -1 when the input has ended or could not be read.
  int nextByte() {
    if (pos_ == end_ && !refill(1)) return -1;
    return *pos_++;
  }

  // The next `n` bytes (at most kMaxTake), valid until the next call. Past the
  // end of the input the missing bytes read as zero.
  const uint8_t* take(size_t n) {
    if (buffered() < n) return takeAcrossBlocks(n);
    const uint8_t* bytes = pos_;
    pos_ += n;
    return bytes;
  }

  // The bytes read but not yet consumed, for callers that walk them in bulk.
  const uint8_t* cursor() const { return pos_; }
  size_t buffered() const { return static_cast<size_t>(end_ - pos_); }
  void advance(size_t n) { pos_ += n; }

  // 0 when the input ended normally, else the errno of the failed read.
  int readError() const { return error_; }

 private:
  bool refill(size_t wanted);
  const uint8_t* takeAcrossBlocks(size_t n);

  BlockPrefetcher blocks_;
  int error_ = 0;
  bool ended_ = false;
  uint8_t* pos_ = nullptr;
  uint8_t* end_ = nullptr;
};
