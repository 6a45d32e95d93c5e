#include "core/inputBlocks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "core/fileSystem.h"
#include "core/recordCatalogue.h"

namespace zolt {

static_assert(BlockReader::kHeadroom >= kLargestRecord, "a cut record must fit in front of a block");

InputBlocks::InputBlocks(const Input& input) {
  switch (input.kind()) {
    case Input::Kind::kMemory:
      pieceEnd_ = input.bytes().data();
      memoryEnd_ = pieceEnd_ + input.bytes().size();
      return;
    case Input::Kind::kPath:
    case Input::Kind::kMappedPath:
      // The system would read the name only up to the byte, and open
      // another file.
      if (input.pathName().find('\0') != std::string::npos) {
        openError_ = {Errc::kCannotOpen, EINVAL};
        return;
      }
      fd_ = openForReading(input.pathName());
      if (fd_ < 0 && errno == EISDIR) {
        firstReadError_ = EISDIR;
        return;
      }
      if (fd_ < 0) {
        openError_ = {Errc::kCannotOpen, errno};
        return;
      }
      ownsFd_ = true;
      break;
    case Input::Kind::kDescriptor:
      fd_ = input.fd();
      break;
  }
  watchSize();
  // A file just opened stands at its start, where the mapping starts.
  if (input.kind() == Input::Kind::kMappedPath && expectedEnd_ && *expectedEnd_ > 0) {
    mapping_.emplace(fd_, static_cast<uint64_t>(*expectedEnd_));
    return;
  }
  reader_.emplace(fd_);
}

InputBlocks::~InputBlocks() {
  mapping_.reset();
  if (ownsFd_) (void)closeDescriptor(fd_);
}

// Only a regular file has a size to hold it to; /proc files say 0 and are
// read like any other.
void InputBlocks::watchSize() {
  const FileStatus status = descriptorStatus(fd_);
  if (status.kind != FileKind::kRegular || status.size == 0) return;
  const int64_t start = descriptorOffset(fd_);
  if (start < 0) return;
  expectedEnd_ = std::max<int64_t>(static_cast<int64_t>(status.size) - start, 0);
}

InputBlocks::Bytes InputBlocks::endWith(const uint8_t* begin, const uint8_t* end, Error error) {
  ended_ = true;
  error_ = std::move(error);
  return {begin, end};
}

InputBlocks::Bytes InputBlocks::next(const uint8_t* rest) {
  if (firstReadError_ != 0) return endWith(nullptr, nullptr, {Errc::kCannotRead, firstReadError_});
  if (mapping_ && !mappingDone_) return nextInMapping(rest);
  return reader_ ? nextFromReader(rest) : nextInMemory(rest);
}

InputBlocks::Bytes InputBlocks::nextInMemory(const uint8_t* rest) {
  const uint8_t* const begin = rest != nullptr ? rest : pieceEnd_;
  if (pieceEnd_ == memoryEnd_ && rest != nullptr) return endWith(begin, memoryEnd_, {});
  pieceEnd_ += std::min(static_cast<size_t>(memoryEnd_ - pieceEnd_), kMemoryPiece);
  if (begin == pieceEnd_) return endWith(begin, memoryEnd_, {});
  return {begin, pieceEnd_};
}

InputBlocks::Bytes InputBlocks::nextInMapping(const uint8_t* rest) {
  MappedFile& file = *mapping_;
  if (rest != nullptr && file.lost()) return endWith(rest, rest, {Errc::kShrank, EIO});
  const bool wholeFileHandedOut = rest != nullptr && file.endOffset() == file.size();
  const uint64_t from = rest == nullptr ? 0 : file.offsetOf(rest);
  if (!wholeFileHandedOut && file.mapFrom(from)) return {file.at(), file.end()};
  // Read on after the mapping: to the end of a file that grew since it was
  // opened, or from where a window could not be mapped.
  mappingDone_ = true;
  reader_.emplace(fd_);
  position_ = static_cast<int64_t>(wholeFileHandedOut ? file.size() : from);
  if (!seekDescriptor(fd_, position_)) return endWith(nullptr, nullptr, {Errc::kCannotRead, errno});
  if (!wholeFileHandedOut) return nextFromReader(nullptr);
  blockEnd_ = file.end();
  return nextFromReader(rest);
}

InputBlocks::Bytes InputBlocks::nextFromReader(const uint8_t* rest) {
  // The next block is read over this one, so the rest goes in front of it
  // first.
  const size_t kept = rest == nullptr ? 0 : static_cast<size_t>(blockEnd_ - rest);
  uint8_t* const begin = reader_->blockStart() - kept;
  if (kept > 0) std::memmove(begin, rest, kept);
  const BlockReader::Block block = reader_->next();
  blockEnd_ = block.data + block.size;
  if (block.size > 0) {
    position_ += static_cast<int64_t>(block.size);
    return {begin, blockEnd_};
  }
  if (block.error != 0) return endWith(begin, begin, {Errc::kCannotRead, block.error});
  if (expectedEnd_ && position_ < *expectedEnd_) return endWith(begin, begin, {Errc::kShrank, EIO});
  return endWith(begin, blockEnd_, {});
}

}  // namespace zolt
