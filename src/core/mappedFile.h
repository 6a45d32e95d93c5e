// A regular file mapped a window at a time for reading: a window is all of
// the file the process maps at once, so the memory in use stays at a window
// however the kernel groups the file's pages. A file that shrinks under the
// mapping raises SIGBUS at the lost pages; recoverFromBusError()
// (zolt/input.h), called by the program's handler, puts zeros there and
// marks the file as lost from that page on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zolt {

class MappedFile {
 public:
  static constexpr size_t kWindow = size_t{1} << 20;

  // The first `size` bytes of `fd`; nothing is mapped yet.
  MappedFile(int fd, uint64_t size);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps the window that holds the file's byte `from` and as much after it
  // as fits; false when it cannot be mapped.
  bool mapFrom(uint64_t from);
  // Where that byte, and the window, lie; the window ends no later than
  // the file.
  const uint8_t* at() const { return at_; }
  const uint8_t* end() const { return end_; }
  // Where in the file the window ends, and where the file ends.
  uint64_t endOffset() const { return endOffset_; }
  uint64_t size() const { return size_; }
  // The file offset of a byte of the window.
  uint64_t offsetOf(const uint8_t* byte) const { return windowOffset_ + static_cast<uint64_t>(byte - window_); }

  // Whether the window's bytes up to `last` are the file's own: touches
  // `last`, so that a lost page shows before the bytes are used.
  bool holds(const uint8_t* last) const {
    (void)*static_cast<const volatile uint8_t*>(last);
    return last < lostFrom_;
  }
  // Where the pages begin that the file lost under the window; end() while
  // it has lost none.
  const uint8_t* lostFrom() const { return lostFrom_; }
  bool lost() const { return lostFrom_ < end_; }

  // For the bus error handler: only system calls.
  bool recover(const uint8_t* address);
  MappedFile* outer() const { return outer_; }

 private:
  void unmap();

  int fd_;
  uint64_t size_;
  uint8_t* window_ = nullptr;  // page-aligned
  size_t windowSize_ = 0;
  uint64_t windowOffset_ = 0;  // of window_ in the file
  const uint8_t* at_ = nullptr;
  const uint8_t* end_ = nullptr;
  uint64_t endOffset_ = 0;
  const uint8_t* volatile lostFrom_ = nullptr;
  MappedFile* outer_ = nullptr;  // the mapping this thread had before
};

}  // namespace zolt
