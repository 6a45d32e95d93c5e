// Names of any bytes, as UTF-8 text that gives the bytes back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zolt {

// The length of the well-formed UTF-8 sequence at `at`, or 0.
size_t utf8SequenceLength(std::string_view text, size_t at);

// Well-formed UTF-8 as it is, a backslash doubled, and each other byte as
// the text \xHH: valid UTF-8 however the name was damaged, and the name's
// bytes can be recovered from it.
std::string recoverableName(std::string_view bytes);

}  // namespace zolt
