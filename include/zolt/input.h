// What a read takes its bytes from: a file by name, an open descriptor
// (read from where it stands, and left open), or bytes in memory (not
// copied: they must outlive the read). All give the same records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zolt {

class Input {
 public:
  enum class Kind : uint8_t { kPath, kDescriptor, kMemory, kMappedPath };

  static Input path(std::string path) { return Input(Kind::kPath, std::move(path), -1, {}); }
  // A regular file mapped into memory instead of read: faster for large
  // files, but a file that shrinks while it is mapped raises SIGBUS. Only
  // for a program whose SIGBUS handler calls recoverFromBusError(); a
  // library must not install one for its process. Anything but a regular
  // file is read as by path().
  static Input mappedPath(std::string path) { return Input(Kind::kMappedPath, std::move(path), -1, {}); }
  static Input descriptor(int fd) { return Input(Kind::kDescriptor, {}, fd, {}); }
  static Input memory(std::span<const uint8_t> bytes) { return Input(Kind::kMemory, {}, -1, bytes); }

  Kind kind() const { return kind_; }
  const std::string& pathName() const { return path_; }
  int fd() const { return fd_; }
  std::span<const uint8_t> bytes() const { return bytes_; }

 private:
  Input(Kind kind, std::string path, int fd, std::span<const uint8_t> bytes)
      : kind_(kind), path_(std::move(path)), fd_(fd), bytes_(bytes) {}

  Kind kind_;
  std::string path_;
  int fd_;
  std::span<const uint8_t> bytes_;
};

// For a SIGBUS handler, with the faulting address: true when the fault was
// in a file that this thread has mapped, which then reads as lost from that
// page on (the read ends with Errc::kShrank); false when the fault is not
// the library's. Makes only system calls, as a handler must.
bool recoverFromBusError(const void* address) noexcept;

}  // namespace zolt
