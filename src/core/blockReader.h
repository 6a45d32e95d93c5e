// Reads a descriptor in large blocks into one buffer, from where it stands,
// with room in front of each block for the start of a record that the
// previous block cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace zolt {

class BlockReader {
 public:
  // Small enough that a block just read is still in the core's own cache
  // when the decoder walks it.
  static constexpr size_t kBlockSize = size_t{128} * 1024;
  // Bytes before the block that its holder may write, to put what the
  // previous block left undecided back together with what follows: a
  // record it cut, or (when salvaging) the second it is reading.
  static constexpr size_t kHeadroom = size_t{64} * 1024;
  // Blocks start on a page, so that the kernel copies whole pages into
  // them.
  static constexpr size_t kPageAlignment = 4096;
  static_assert(kHeadroom % kPageAlignment == 0);

  struct Block {
    uint8_t* data;
    size_t size;  // 0 at the end of the input
    int error;    // with size 0: the errno of a failed read, or 0
  };

  explicit BlockReader(int fd);

  // Reads the next block into the buffer, over the one before.
  Block next();
  // Where every block starts.
  uint8_t* blockStart() const { return buffer_.get() + kHeadroom; }

 private:
  int fd_;
  struct AlignedDelete {
    void operator()(uint8_t* buffer) const { ::operator delete(buffer, std::align_val_t{kPageAlignment}); }
  };
  // Left uninitialised: only the part in use is ever touched.
  std::unique_ptr<uint8_t, AlignedDelete> buffer_;
};

}  // namespace zolt
