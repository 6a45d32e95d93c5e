// Hands out a file's bytes in large pieces: a regular file through a
// mapping of a window of it, anything else (pipes, terminals, devices)
// through reads into one buffer. A record that the end of a piece cuts is
// handed out whole at the start of the next.
#pragma once

#include <setjmp.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "recordFormat.h"

class InputBlocks {
 public:
  // Mapped windows need no copy; small enough to keep the memory in use
  // low whatever the size of the file.
  static constexpr size_t kWindowSize = size_t{1} << 20;
  // Small enough that a block just read is still in the core's own cache
  // when the decoder walks it.
  static constexpr size_t kBlockSize = size_t{128} * 1024;

  struct Bytes {
    const uint8_t* begin;
    const uint8_t* end;
  };

  explicit InputBlocks(int fd);
  ~InputBlocks();
  InputBlocks(const InputBlocks&) = delete;
  InputBlocks& operator=(const InputBlocks&) = delete;

  // Hands out more input behind the bytes from `rest` to the end of what
  // was handed out last (fewer than a record; nullptr at first). Once
  // nothing more can be had, ended() is true and the bytes handed out are
  // only those that were left.
  Bytes next(const uint8_t* rest);

  bool ended() const { return ended_; }
  // With ended(): 0 at the end of the input, else the errno of the failure.
  int error() const { return error_; }

  // From now until this object goes, a bus error inside the mapping (the
  // file shrank under it) jumps to `target` instead of ending the process.
  void jumpWhenShrunk(sigjmp_buf* target);

 private:
  Bytes mapNext(const uint8_t* rest);
  Bytes readNext(const uint8_t* rest);
  Bytes endWith(const uint8_t* rest, int error);
  void unmap();

  int fd_;
  bool mapping_ = false;
  bool ended_ = false;
  bool jumpArmed_ = false;
  int error_ = 0;
  uint8_t* map_ = nullptr;
  size_t mapSize_ = 0;
  off_t mapOffset_ = 0;
  const uint8_t* end_ = nullptr;
};
