// Writing a file whole or not at all.
#pragma once

#include <string_view>

// Writes `content` under a temporary name beside `path` and renames it to
// `path` once complete, so that a failure never leaves half a file; an
// existing file is replaced. Says what went wrong and returns false on
// failure.
bool writeWholeFile(const char* path, std::string_view content);

// Whether `output` names the same existing file as the input `name` ("-"
// for standard input).
bool isSameFile(const char* output, const char* name);
