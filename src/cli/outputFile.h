// The files the program writes besides standard output.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "zolt/sink.h"

// How a picture reaches a path that is given: a regular file (or a name
// not yet taken) is replaced whole, written under a temporary name and
// renamed; a FIFO or a character device (a terminal, /dev/full) is written
// directly, as it cannot be replaced; anything else is refused.
enum class OutputKind : uint8_t { kReplaced, kDirect, kRefused };
OutputKind outputKind(const char* path);

// Writes `content` to `path` as outputKind says. Says what went wrong and
// returns false on failure.
bool writeOutputFile(const char* path, std::string_view content);

// What makes an output: 0 once it is written to the sink, an error number
// when writing failed, or kNothingMade when there is nothing to write (a
// file to be replaced is then left as it was).
constexpr int kNothingMade = -1;
using MakeOutput = std::function<int(zolt::Sink&)>;
// Writes what `make` writes to `path` as outputKind says: a page streamed
// as it is made, never held whole.
bool writeOutputWith(const char* path, const MakeOutput& make);

// Whether `output` names the same existing file as the input `name` ("-"
// for standard input).
bool isSameFile(const char* output, const char* name);

// Whether standard output is a regular file that is also the input `name`:
// the program would read back what it writes.
bool isStandardOutput(const char* name);
