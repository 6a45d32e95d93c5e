// A regular file mapped whole for reading, its pages given back behind the
// reader as it moves on, so that memory in use stays at a window or two.
// A file that shrinks under the mapping raises SIGBUS at the lost pages;
// recoverFromBusError() (zolt/input.h), called by the program's handler,
// puts zeros there and marks the file as lost from that page on.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace zolt {

class MappedFile {
 public:
  // Maps `size` bytes of `fd` from `start`; check mapped() afterwards.
  MappedFile(int fd, off_t start, size_t size);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool mapped() const { return begin_ != nullptr; }
  const uint8_t* begin() const { return begin_; }
  const uint8_t* end() const { return end_; }
  // Where the pages begin that the file lost while it was mapped; end()
  // while it has lost none.
  const uint8_t* lostFrom() const { return lostFrom_; }
  // Whether [first, last] can be read as the file's own bytes: touches the
  // last byte, so that a lost page shows before the bytes are used.
  bool holds(const uint8_t* last) const {
    (void)*static_cast<const volatile uint8_t*>(last);
    return last < lostFrom_;
  }
  // Gives back the whole pages before `at`.
  void dropBefore(const uint8_t* at);

  // For the bus error handler.
  bool recover(const uint8_t* address);
  MappedFile* outer() const { return outer_; }

 private:
  uint8_t* mapping_ = nullptr;  // page-aligned start of the mapping
  size_t mappingSize_ = 0;
  const uint8_t* begin_ = nullptr;
  const uint8_t* end_ = nullptr;
  uint8_t* dropped_ = nullptr;  // pages before this one are given back
  const uint8_t* volatile lostFrom_ = nullptr;
  MappedFile* outer_ = nullptr;  // the mapping this thread had before
};

}  // namespace zolt
