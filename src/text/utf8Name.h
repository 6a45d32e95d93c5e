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

// A name as every output shows it to people (titles, headings, the check's
// text, messages) and as the tables give it (escapedName): printable
// characters in well-formed UTF-8 as they are, a backslash doubled, and
// any other byte (a control character, a terminal's escape, a byte that is
// not UTF-8) as \xHH. One line of valid UTF-8 that a terminal only prints.
std::string displayName(std::string_view bytes);

}  // namespace zolt
