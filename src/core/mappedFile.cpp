#include "core/mappedFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include "zolt/input.h"

namespace zolt {

namespace {

// The mappings this thread reads, innermost first: a bus error is raised
// in the thread that touched the page, so the handler finds its own.
thread_local MappedFile* innermost = nullptr;

uintptr_t pageSize() { return static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)); }

uint8_t* pageStart(const uint8_t* at) {
  return reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(at) & ~(pageSize() - 1));
}

}  // namespace

MappedFile::MappedFile(int fd, off_t start, size_t size) {
  const auto skip = static_cast<size_t>(start % static_cast<off_t>(pageSize()));
  mappingSize_ = size + skip;
  void* const mapping = mmap(nullptr, mappingSize_, PROT_READ, MAP_PRIVATE, fd, start - static_cast<off_t>(skip));
  if (mapping == MAP_FAILED) return;
  mapping_ = static_cast<uint8_t*>(mapping);
  // Read once, front to back.
  (void)madvise(mapping_, mappingSize_, MADV_SEQUENTIAL);
  begin_ = mapping_ + skip;
  end_ = begin_ + size;
  dropped_ = mapping_;
  lostFrom_ = end_;
  outer_ = innermost;
  innermost = this;
}

MappedFile::~MappedFile() {
  if (mapping_ == nullptr) return;
  innermost = outer_;
  munmap(mapping_, mappingSize_);
}

void MappedFile::dropBefore(const uint8_t* at) {
  uint8_t* const page = pageStart(at);
  if (page <= dropped_) return;
  (void)madvise(dropped_, static_cast<size_t>(page - dropped_), MADV_DONTNEED);
  dropped_ = page;
}

// Only system calls here: this runs in a signal handler.
bool MappedFile::recover(const uint8_t* address) {
  if (address < mapping_ || address >= mapping_ + mappingSize_) return false;
  uint8_t* const page = pageStart(address);
  const size_t rest = static_cast<size_t>(mapping_ + mappingSize_ - page);
  if (mmap(page, rest, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_ANONYMOUS, -1, 0) == MAP_FAILED) return false;
  if (page < lostFrom_) lostFrom_ = page < begin_ ? begin_ : page;
  return true;
}

bool recoverFromBusError(const void* address) noexcept {
  for (MappedFile* file = innermost; file != nullptr; file = file->outer()) {
    if (file->recover(static_cast<const uint8_t*>(address))) return true;
  }
  return false;
}

}  // namespace zolt
