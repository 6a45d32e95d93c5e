// Names of any bytes, as text that gives the bytes back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zolt {

// The length of the well-formed UTF-8 sequence at `at`, or 0.
size_t utf8SequenceLength(std::string_view text, size_t at);

// How many bytes from `at` a table keeps as they are: a printable
// character in well-formed UTF-8; 0 for a byte that is written \xHH (a
// control character, a byte that is not UTF-8) or a backslash.
size_t keptLength(std::string_view text, size_t at);

// Well-formed UTF-8 as it is, a backslash doubled, and each other byte as
// the text \xHH: valid UTF-8 however the name was damaged, and the name's
// bytes can be recovered from it.
std::string recoverableName(std::string_view bytes);

// Printable ASCII as it is, a backslash doubled, any other byte as \xHH:
// a name as a message or a title shows it, on one line in any terminal.
std::string asciiName(std::string_view bytes);

}  // namespace zolt
