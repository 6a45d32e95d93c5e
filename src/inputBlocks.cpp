#include "inputBlocks.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Room in front of a read block for the start of a cut record. One file is
// read at a time, so one buffer serves them all; static, because it is too
// large for a small stack.
constexpr size_t kMargin = kLargestRecord;
alignas(64) uint8_t buffer[kMargin + InputBlocks::kBlockSize];
uint8_t* const blockStart = buffer + kMargin;

// The mapping in use and where to go when it faults, for the handler.
const uint8_t* volatile mappedBegin = nullptr;
const uint8_t* volatile mappedEnd = nullptr;
sigjmp_buf* volatile shrinkJump = nullptr;

void onBusError(int /*signal*/, siginfo_t* info, void* /*context*/) {
  const auto* address = static_cast<const uint8_t*>(info->si_addr);
  if (shrinkJump != nullptr && address >= mappedBegin && address < mappedEnd) siglongjmp(*shrinkJump, 1);
  // Not ours: fault again without the handler, as if it had never been set.
  (void)signal(SIGBUS, SIG_DFL);
}

off_t pageSize() { return sysconf(_SC_PAGESIZE); }

// The size of a regular file; 0 for anything else.
off_t regularFileSize(int fd) {
  struct stat info{};
  return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : 0;
}

}  // namespace

// Files the kernel says are empty may still have bytes to read (/proc);
// they, and everything that is not a regular file, are read.
InputBlocks::InputBlocks(int fd) : fd_(fd), mapping_(regularFileSize(fd) > 0) {}

InputBlocks::~InputBlocks() {
  if (jumpArmed_) shrinkJump = nullptr;
  unmap();
}

void InputBlocks::jumpWhenShrunk(sigjmp_buf* target) {
  static bool installed = false;
  if (!installed) {
    struct sigaction action{};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, nullptr);
    installed = true;
  }
  shrinkJump = target;
  jumpArmed_ = true;
}

void InputBlocks::unmap() {
  mappedBegin = nullptr;
  mappedEnd = nullptr;
  if (map_ != nullptr) munmap(map_, mapSize_);
  map_ = nullptr;
  mapSize_ = 0;
}

InputBlocks::Bytes InputBlocks::endWith(const uint8_t* rest, int error) {
  ended_ = true;
  error_ = error;
  return {rest == nullptr ? end_ : rest, end_};
}

InputBlocks::Bytes InputBlocks::next(const uint8_t* rest) {
  return mapping_ ? mapNext(rest) : readNext(rest);
}

// Maps the window that starts at the page holding `rest`: the few bytes
// before it are mapped again rather than copied.
InputBlocks::Bytes InputBlocks::mapNext(const uint8_t* rest) {
  const off_t mappedTo = mapOffset_ + static_cast<off_t>(mapSize_);
  const off_t restOffset = rest == nullptr ? 0 : mapOffset_ + (rest - map_);
  const off_t size = regularFileSize(fd_);
  if (size <= mappedTo) return endWith(rest, 0);
  const off_t start = restOffset / pageSize() * pageSize();
  const auto length = static_cast<size_t>(std::min<off_t>(size - start, kWindowSize));
  unmap();
  void* const map = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd_, start);
  if (map == MAP_FAILED) {
    // Not mappable after all: read on from where the decoder stands.
    mapping_ = false;
    end_ = nullptr;
    if (lseek(fd_, restOffset, SEEK_SET) < 0) return endWith(nullptr, errno);
    return readNext(nullptr);
  }
  map_ = static_cast<uint8_t*>(map);
  mapSize_ = length;
  mapOffset_ = start;
  end_ = map_ + length;
  mappedBegin = map_;
  mappedEnd = end_;
  return {map_ + (restOffset - start), end_};
}

InputBlocks::Bytes InputBlocks::readNext(const uint8_t* rest) {
  const size_t kept = rest == nullptr ? 0 : static_cast<size_t>(end_ - rest);
  uint8_t* const begin = blockStart - kept;
  if (kept > 0) std::memmove(begin, rest, kept);
  end_ = blockStart;
  for (;;) {
    const ssize_t got = read(fd_, blockStart, kBlockSize);
    if (got > 0) {
      end_ = blockStart + got;
      return {begin, end_};
    }
    if (got < 0 && errno == EINTR) continue;
    return endWith(begin, got < 0 ? errno : 0);
  }
}
