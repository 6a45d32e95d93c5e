// No writer ever replaces a recording: an output path that names a record
// file of this logger is refused, whatever asked for it (an option that
// took a recording's name for its value, a script's slip). What a file's
// start must hold to be taken for one is what a logger writes and other
// files almost never hold: a plausible file header as its first record,
// or second markers that count up a second at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "zolt/error.h"
#include "zolt/input.h"

namespace zolt {

// How much of a file's start is looked at.
constexpr size_t kRecordingLook = size_t{128} * 1024;

// Whether these bytes, a file's first, read as a record file of this
// logger.
bool readsAsRecording(std::span<const uint8_t> start);

// Whether `path` names a regular file whose start reads as one; false for
// anything that cannot be read.
bool holdsRecording(const std::string& path);
// The same of an input that is known to be a regular file, which may be
// mapped rather than read.
bool startsAsRecording(const Input& input);

// What a writer gives for such a path: Errc::kCannotOpen with EEXIST.
Error recordingNotReplaced();

}  // namespace zolt
