#include "core/mappedFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "zolt/input.h"

namespace zolt {

namespace {

// The mappings this thread reads, innermost first: a bus error is raised
// in the thread that touched the page, so the handler finds its own.
thread_local MappedFile* innermost = nullptr;

uint64_t pageSize() { return static_cast<uint64_t>(sysconf(_SC_PAGESIZE)); }

}  // namespace

MappedFile::MappedFile(int fd, uint64_t size) : fd_(fd), size_(size), outer_(innermost) {
  innermost = this;
}

MappedFile::~MappedFile() {
  innermost = outer_;
  unmap();
}

void MappedFile::unmap() {
  if (window_ != nullptr) munmap(window_, windowSize_);
  window_ = nullptr;
  windowSize_ = 0;
}

bool MappedFile::mapFrom(uint64_t from) {
  // Windows start on a page of the file, so the page that holds `from` is
  // mapped again rather than its bytes copied.
  const uint64_t windowOffset = from / pageSize() * pageSize();
  const auto length = static_cast<size_t>(std::min<uint64_t>(size_ - windowOffset, kWindow));
  unmap();
  // Every page of a window is read, so they are mapped in one call rather
  // than a fault every few pages. A page the file has lost is left out and
  // still raises the bus error that recover() handles.
  constexpr int kFlags = MAP_PRIVATE | MAP_POPULATE;
  void* const window = mmap(nullptr, length, PROT_READ, kFlags, fd_, static_cast<off_t>(windowOffset));
  if (window == MAP_FAILED) return false;
  window_ = static_cast<uint8_t*>(window);
  windowSize_ = length;
  windowOffset_ = windowOffset;
  at_ = window_ + (from - windowOffset);
  end_ = window_ + length;
  endOffset_ = windowOffset + length;
  lostFrom_ = end_;
  return true;
}

bool MappedFile::recover(const uint8_t* address) {
  if (window_ == nullptr || address < window_ || address >= window_ + windowSize_) return false;
  const uint64_t offset = windowOffset_ + static_cast<uint64_t>(address - window_);
  uint8_t* const page = window_ + (offset / pageSize() * pageSize() - windowOffset_);
  const auto rest = static_cast<size_t>(window_ + windowSize_ - page);
  if (mmap(page, rest, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_ANONYMOUS, -1, 0) == MAP_FAILED) return false;
  if (page < lostFrom_) lostFrom_ = page;
  return true;
}

bool recoverFromBusError(const void* address) noexcept {
  for (MappedFile* file = innermost; file != nullptr; file = file->outer()) {
    if (file->recover(static_cast<const uint8_t*>(address))) return true;
  }
  return false;
}

}  // namespace zolt
