#include "output/recordingGuard.h"

#include <algorithm>
#include <cerrno>

#include "core/fileSystem.h"
#include "core/inputBlocks.h"
#include "core/recordCatalogue.h"

namespace zolt {

namespace {

constexpr size_t kHeaderSize = kRecordSize[kFileHeader];

// A header a logger writes: a rate, and a record after it (or nothing).
bool startsWithHeader(std::span<const uint8_t> start) {
  if (start.size() < kHeaderSize || start[0] != kFileHeader) return false;
  const FileHeader header = Record<kFileHeader>::read(start.data() + 1);
  return header.rate != 0 && (start.size() == kHeaderSize || recordSize(start[kHeaderSize]) != 0);
}

// Whether the records read from `at` on hold two markers a second apart,
// one after the other, before a byte that is no record type.
bool markersCountUp(std::span<const uint8_t> start, size_t at) {
  bool seen = false;
  int32_t last = 0;
  while (at < start.size()) {
    const size_t size = recordSize(start[at]);
    if (size == 0 || at + size > start.size()) return false;
    if (start[at] == kSecondMarker) {
      const int32_t time = Record<kSecondMarker>::read(start.data() + at + 1).time;
      if (seen && int64_t{time} == int64_t{last} + 1) return true;
      seen = true;
      last = time;
    }
    at += size;
  }
  return false;
}

}  // namespace

bool readsAsRecording(std::span<const uint8_t> start) {
  if (startsWithHeader(start)) return true;
  // A file may begin inside a record: a recording cut into pieces.
  const std::span<const uint8_t> looked = start.first(std::min(start.size(), kRecordingLook));
  for (size_t at = 0; at < kLargestRecord && at < looked.size(); ++at) {
    if (markersCountUp(looked, at)) return true;
  }
  return false;
}

bool startsAsRecording(const Input& input) {
  InputBlocks blocks(input);
  if (blocks.openError().failed()) return false;
  const InputBlocks::Bytes bytes = blocks.next(nullptr);
  return bytes.begin != nullptr && readsAsRecording({bytes.begin, bytes.end});
}

bool holdsRecording(const std::string& path) {
  const FileStatus status = fileStatus(path);
  return status.kind == FileKind::kRegular && status.size > 0 && startsAsRecording(Input::path(path));
}

Error recordingNotReplaced() {
  return {Errc::kCannotOpen, EEXIST, "it holds records of this logger, and a recording is never replaced"};
}

}  // namespace zolt
