// Messages on standard error, one line each, in the program's name.
#pragma once

#include <string>
#include <string_view>

// Prints "decode: " and the formatted text as one line.
[[gnu::format(printf, 1, 2)]] void complain(const char* format, ...);

// A file name as a message can show it: one line, valid UTF-8.
std::string shownName(std::string_view name);
