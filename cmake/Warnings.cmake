# Warning flags live in one interface target and sanitizer flags in another,
# so each is chosen in a single place and every target links what it needs.
add_library(decode_warnings INTERFACE)
target_compile_options(decode_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
  -Wformat=2 -Wcast-qual -Wold-style-cast)
if(DECODE_WERROR)
  target_compile_options(decode_warnings INTERFACE -Werror)
endif()

add_library(decode_sanitizers INTERFACE)
if(DECODE_SANITIZE AND DECODE_TSAN)
  message(FATAL_ERROR "DECODE_SANITIZE and DECODE_TSAN cannot be combined")
endif()
if(DECODE_TSAN)
  target_compile_options(decode_sanitizers INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(decode_sanitizers INTERFACE -fsanitize=thread)
endif()
if(DECODE_SANITIZE)
  target_compile_options(decode_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(decode_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
