// A file written whole or not at all: under a temporary name beside it,
// renamed over it once complete. An existing file keeps its permissions;
// a symbolic link is followed, so its target is what is replaced (another
// hard link to the old file keeps the old content).
#pragma once

#include <cstdint>
#include <string>

#include "zolt/error.h"

namespace zolt {

class ReplacedFile {
 public:
  // Where the file will be written; check error() first.
  explicit ReplacedFile(const std::string& path);
  ~ReplacedFile();
  ReplacedFile(const ReplacedFile&) = delete;
  ReplacedFile& operator=(const ReplacedFile&) = delete;

  // Why the file cannot be written there, if it cannot: an existing path
  // that is not a regular file, or that is a recording, is never replaced
  // (EEXIST, EISDIR, ...).
  Error error() const { return error_; }
  // The temporary file, open for writing and named, for writers that need
  // a name.
  int fd() const { return fd_; }
  const std::string& temporaryPath() const { return temporary_; }

  // Room on the disk for `bytes` more after what is written so far, so
  // that a writer that cannot recover from a full disk (HDF5) is stopped
  // before it meets one. Nothing happens where the file system cannot
  // reserve room.
  Error reserve(uint64_t bytes);

  // Renames the temporary file over the target; the descriptor is closed.
  Error commit();

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  bool committed_ = false;
  bool reserved_ = false;
  Error error_;
};

// Whether `path` names nothing yet, or a regular file (through any links)
// that is not a recording (recordingGuard.h).
Error replaceable(const std::string& path);

}  // namespace zolt
