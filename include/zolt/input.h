// What a run takes its bytes from: a file by name, an open descriptor (read
// from where it stands, and left open), or bytes in memory (not copied:
// they must outlive the read). All give the same records. Each input has a
// name, which reports, titles and messages show: a file's is its path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zolt {

class Input {
 public:
  enum class Kind : uint8_t { kPath, kDescriptor, kMemory, kMappedPath };

  static Input path(const std::string& path) { return Input(Kind::kPath, path, path, -1, {}); }
  // A regular file mapped into memory instead of read: faster for large
  // files, but a file that shrinks while it is mapped raises SIGBUS. Only
  // for a program whose SIGBUS handler calls recoverFromBusError(); a
  // library must not install one for its process. Anything but a regular
  // file is read as by path().
  static Input mappedPath(const std::string& path) { return Input(Kind::kMappedPath, path, path, -1, {}); }
  static Input descriptor(int fd, std::string name = "-") { return Input(Kind::kDescriptor, {}, std::move(name), fd, {}); }
  static Input memory(std::span<const uint8_t> bytes, std::string name = {}) {
    return Input(Kind::kMemory, {}, std::move(name), -1, bytes);
  }

  // The same input under another name.
  Input named(std::string name) const {
    Input renamed = *this;
    renamed.name_ = std::move(name);
    return renamed;
  }

  Kind kind() const { return kind_; }
  const std::string& name() const { return name_; }
  const std::string& pathName() const { return path_; }
  int fd() const { return fd_; }
  std::span<const uint8_t> bytes() const { return bytes_; }

 private:
  Input(Kind kind, std::string path, std::string name, int fd, std::span<const uint8_t> bytes)
      : kind_(kind), path_(std::move(path)), name_(std::move(name)), fd_(fd), bytes_(bytes) {}

  Kind kind_;
  std::string path_;
  std::string name_;
  int fd_;
  std::span<const uint8_t> bytes_;
};

// For a SIGBUS handler, with the faulting address: true when the fault was
// in a file that this thread has mapped, which then reads as lost from that
// page on (the read ends with Errc::kShrank); false when the fault is not
// the library's. Makes only system calls, as a handler must.
bool recoverFromBusError(const void* address) noexcept;

}  // namespace zolt
