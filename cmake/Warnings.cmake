# Every target links this one interface target, so warning and sanitizer
# flags are chosen in a single place.
add_library(decode_warnings INTERFACE)
target_compile_options(decode_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
  -Wformat=2 -Wcast-qual -Wold-style-cast)
if(DECODE_WERROR)
  target_compile_options(decode_warnings INTERFACE -Werror)
endif()
if(DECODE_SANITIZE)
  target_compile_options(decode_warnings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(decode_warnings INTERFACE -fsanitize=address,undefined)
endif()
