#include "blockPrefetcher.h"

#include <unistd.h>

#include <cerrno>

namespace {

constexpr size_t kReaderStackSize = size_t{64} * 1024;

struct ReadResult {
  size_t size;
  int error;
};

ReadResult readBlock(int fd, uint8_t* into, size_t capacity) {
  for (;;) {
    const ssize_t got = read(fd, into, capacity);
    if (got >= 0) return {static_cast<size_t>(got), 0};
    if (errno != EINTR) return {0, errno};
  }
}

}  // namespace

BlockPrefetcher::Slot BlockPrefetcher::slots_[kSlots];

BlockPrefetcher::BlockPrefetcher(int fd) : fd_(fd) {}

// Slot 0 holds the block read inline last, still handed over.
void BlockPrefetcher::startReadingAhead() {
  first_ = 0;
  filled_ = 1;
  holding_ = true;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, kReaderStackSize);
  // Without a thread the blocks are simply read when they are asked for.
  threaded_ = pthread_create(&thread_, &attributes, readLoop, this) == 0;
  pthread_attr_destroy(&attributes);
}

BlockPrefetcher::~BlockPrefetcher() {
  if (!threaded_) return;
  pthread_mutex_lock(&lock_);
  stopping_ = true;
  pthread_cond_signal(&slotFree_);
  pthread_mutex_unlock(&lock_);
  pthread_join(thread_, nullptr);
}

void* BlockPrefetcher::readLoop(void* self) {
  static_cast<BlockPrefetcher*>(self)->readAhead();
  return nullptr;
}

void BlockPrefetcher::readAhead() {
  for (bool ended = false; !ended;) {
    pthread_mutex_lock(&lock_);
    while (filled_ == kSlots && !stopping_) pthread_cond_wait(&slotFree_, &lock_);
    const bool stop = stopping_;
    Slot& slot = slots_[(first_ + filled_) % kSlots];
    pthread_mutex_unlock(&lock_);
    if (stop) return;

    const ReadResult result = readBlock(fd_, slot.bytes + kHeadroom, kBlockSize);
    slot.size = result.size;
    slot.error = result.error;
    ended = result.size == 0;

    pthread_mutex_lock(&lock_);
    ++filled_;
    pthread_cond_signal(&blockReady_);
    pthread_mutex_unlock(&lock_);
  }
}

BlockPrefetcher::Block BlockPrefetcher::readInline() const {
  Slot& slot = slots_[0];
  const ReadResult result = readBlock(fd_, slot.bytes + kHeadroom, kBlockSize);
  return {slot.bytes + kHeadroom, result.size, result.error};
}

BlockPrefetcher::Block BlockPrefetcher::next() {
  if (!threaded_) {
    if (inlineReadsLeft_ > 0) {
      --inlineReadsLeft_;
      return readInline();
    }
    startReadingAhead();
    if (!threaded_) return readInline();
  }
  pthread_mutex_lock(&lock_);
  if (holding_) {
    first_ = (first_ + 1) % kSlots;
    --filled_;
    pthread_cond_signal(&slotFree_);
  }
  while (filled_ == 0) pthread_cond_wait(&blockReady_, &lock_);
  holding_ = true;
  Slot& slot = slots_[first_];
  pthread_mutex_unlock(&lock_);
  return {slot.bytes + kHeadroom, slot.size, slot.error};
}
