// Reads a file descriptor in blocks on a thread of its own, a few blocks
// ahead of the decoder, so that the copy out of the kernel overlaps decoding.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdint>

class BlockPrefetcher {
 public:
  static constexpr size_t kBlockSize = size_t{256} * 1024;
  // Bytes before each block that its holder may write, to put a record cut
  // by the previous block back together.
  static constexpr size_t kHeadroom = 32;

  struct Block {
    uint8_t* data;
    size_t size;  // 0 at the end of the input
    int error;    // with size 0: the errno of a failed read, or 0
  };

  explicit BlockPrefetcher(int fd);
  ~BlockPrefetcher();
  BlockPrefetcher(const BlockPrefetcher&) = delete;
  BlockPrefetcher& operator=(const BlockPrefetcher&) = delete;

  // Waits for the next block and hands it over; the block handed over before
  // is given back. Not to be called again after the block of size 0.
  Block next();

 private:
  static constexpr unsigned kSlots = 4;

  struct Slot {
    size_t size;
    int error;
    uint8_t bytes[kHeadroom + kBlockSize];
  };

  static void* readLoop(void* self);
  void startReadingAhead();
  void readAhead();
  Block readInline() const;

  int fd_;
  // Most recordings fit in a block or two, for which a thread would cost
  // more than it saves: the first blocks are read when asked for.
  unsigned inlineReadsLeft_ = 2;
  bool threaded_ = false;
  bool stopping_ = false;
  bool holding_ = false;
  unsigned first_ = 0;   // the slot handed over, or to be handed over next
  unsigned filled_ = 0;  // slots read and not yet given back
  pthread_t thread_{};
  pthread_mutex_t lock_ = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t blockReady_ = PTHREAD_COND_INITIALIZER;
  pthread_cond_t slotFree_ = PTHREAD_COND_INITIALIZER;
  // A megabyte is too much for the stack, and one file is read at a time:
  // every prefetcher uses the same storage, so only one may exist at once.
  static Slot slots_[kSlots];
};
