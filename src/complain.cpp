#include "complain.h"

#include <cstdarg>
#include <cstdio>

#include "exactFormat.h"

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

std::string shownName(std::string_view name) {
  std::string shown(escapedNameRoom(name.size()), '\0');
  shown.resize(static_cast<size_t>(putEscapedName(shown.data(), name) - shown.data()));
  return shown;
}
