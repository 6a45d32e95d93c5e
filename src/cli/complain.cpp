#include "cli/complain.h"

#include <cstdarg>
#include <cstdio>

#include "text/utf8Name.h"

// A printf-style helper: the compiler checks each call's arguments against
// its format.
void complain(const char* format, ...) {  // NOLINT(cert-dcl50-cpp)
  va_list arguments;
  va_start(arguments, format);
  // Nothing is left to do if standard error cannot take the line.
  (void)std::fputs("decode: ", stderr);
  (void)std::vfprintf(stderr, format, arguments);  // NOLINT(clang-analyzer-valist.Uninitialized): started above
  (void)std::fputc('\n', stderr);
  va_end(arguments);
}

std::string shownName(std::string_view name) { return zolt::displayName(name); }
