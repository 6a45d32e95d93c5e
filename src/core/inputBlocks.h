// Hands out an input's bytes in large pieces: bytes in memory as they lie,
// a mapped file as it lies in its mapping, a descriptor through a
// BlockReader. A record that the end of a piece cuts is handed out whole at
// the start of the next. A regular file that ends before the size it had
// when it was opened has shrunk while it was read: that is a read error, not
// a short file.
#pragma once


#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/blockReader.h"
#include "core/mappedFile.h"
#include "zolt/error.h"
#include "zolt/input.h"

namespace zolt {

class InputBlocks {
 public:
  // Memory is handed out in pieces too, so that a caller who asked to be
  // able to stop is asked as often.
  static constexpr size_t kMemoryPiece = BlockReader::kBlockSize;
  // A mapped file gives its pages back a piece at a time.
  static constexpr size_t kMappedPiece = size_t{1} << 19;

  struct Bytes {
    const uint8_t* begin;
    const uint8_t* end;
  };

  // Opens the input; openError() tells whether that failed.
  explicit InputBlocks(const Input& input);
  ~InputBlocks();
  InputBlocks(const InputBlocks&) = delete;
  InputBlocks& operator=(const InputBlocks&) = delete;

  Error openError() const { return openError_; }

  // Hands out more input behind the bytes from `rest` to the end of what
  // was handed out last (fewer than a record; nullptr at first). Once
  // nothing more can be had, ended() is true and the bytes handed out are
  // only those that were left.
  Bytes next(const uint8_t* rest);

  bool ended() const { return ended_; }
  // With ended(): ok at the end of the input, else why it ended early.
  Error error() const { return error_; }

  // The mapping the bytes handed out last lie in, if they do: its pages may
  // be lost under the reader.
  const MappedFile* mapping() const { return mapping_ && !mappingDone_ ? &*mapping_ : nullptr; }

 private:
  Bytes nextInMemory(const uint8_t* rest);
  Bytes nextInMapping(const uint8_t* rest);
  Bytes nextFromReader(const uint8_t* rest);
  Bytes endWith(const uint8_t* begin, const uint8_t* end, Error error);
  void watchSize();
  void mapOrRead();

  int fd_ = -1;
  bool ownsFd_ = false;
  bool ended_ = false;
  Error openError_;
  Error error_;
  // A folder: opened where the system allows it, it fails at its first
  // read, and here too where the system does not.
  int firstReadError_ = 0;
  // Memory, handed out a piece at a time.
  const uint8_t* memoryEnd_ = nullptr;
  const uint8_t* pieceEnd_ = nullptr;
  std::optional<MappedFile> mapping_;
  bool mappingDone_ = false;  // read on past it, for a file that grew
  // A descriptor.
  std::optional<BlockReader> reader_;
  const uint8_t* blockEnd_ = nullptr;
  // A regular file must give as many bytes as it had when it was opened.
  std::optional<int64_t> expectedEnd_;
  int64_t position_ = 0;  // bytes read from where the descriptor stood
};

}  // namespace zolt
