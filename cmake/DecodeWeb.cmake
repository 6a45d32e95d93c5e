# decode-web.html: the program built for WebAssembly (cmake/Wasm32Wasi.cmake)
# in a page that decodes the files dropped on it, offline. It is part of the
# build wherever the WebAssembly toolchain is installed (tools/packages.txt),
# and left out, with a note, where it is not.
set(wasiParts /usr/lib/llvm-16/lib/wasm32-wasi/libc++.a /usr/lib/llvm-16/lib/wasm32-wasi/libc++abi.a
              /usr/lib/wasm32-wasi/libc.a /usr/lib/llvm-16/lib/clang/16/lib/wasi/libclang_rt.builtins-wasm32.a)
find_program(WASM_CXX clang++-16)
find_program(WASM_LD wasm-ld-16)
find_program(WASM_OPT wasm-opt)
find_program(GZIP gzip)
set(wasmToolchain ON)
foreach(part IN LISTS wasiParts)
  if(NOT EXISTS ${part})
    set(wasmToolchain OFF)
  endif()
endforeach()
if(NOT wasmToolchain OR NOT WASM_CXX OR NOT WASM_LD OR NOT WASM_OPT OR NOT GZIP)
  message(STATUS "decode-web.html is left out: the WebAssembly toolchain is not installed "
                 "(Debian: clang-16 lld-16 wasi-libc libc++-16-dev-wasm32 libc++abi-16-dev-wasm32 "
                 "libclang-rt-16-dev-wasm32 binaryen)")
  return()
endif()

include(ExternalProject)
set(wasmBuild ${CMAKE_BINARY_DIR}/wasm)
ExternalProject_Add(decodeWasm
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${wasmBuild}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/Wasm32Wasi.cmake -DCMAKE_BUILD_TYPE=Release
             -DDECODE_WERROR=${DECODE_WERROR}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${wasmBuild}/decode.wasm
  EXCLUDE_FROM_ALL ON)

add_executable(decodeWebPage tools/decodeWebPage.cpp)
target_include_directories(decodeWebPage PRIVATE src)
target_link_libraries(decodeWebPage PRIVATE zolt_html decode_warnings)

set(webSources ${PROJECT_SOURCE_DIR}/web/decoder/decoder.html ${PROJECT_SOURCE_DIR}/web/decoder/decoder.css
               ${PROJECT_SOURCE_DIR}/web/decoder/decoder.js ${PROJECT_SOURCE_DIR}/web/decoder/wasiWorker.js)
# Optimised for size, and gzipped: the page inflates it with the browser's
# own DecompressionStream.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/decode-web.wasm.gz
  COMMAND ${WASM_OPT} --enable-sign-ext --enable-mutable-globals --enable-exception-handling -Oz
          ${wasmBuild}/decode.wasm -o ${CMAKE_BINARY_DIR}/decode-web.wasm
  COMMAND ${GZIP} -9 -n -f ${CMAKE_BINARY_DIR}/decode-web.wasm
  DEPENDS decodeWasm ${wasmBuild}/decode.wasm)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/decode-web.html
  COMMAND decodeWebPage ${webSources} ${CMAKE_BINARY_DIR}/decode-web.wasm.gz ${CMAKE_BINARY_DIR}/decode-web.html
  DEPENDS decodeWebPage ${webSources} ${CMAKE_BINARY_DIR}/decode-web.wasm.gz)
add_custom_target(decode-web ALL DEPENDS ${CMAKE_BINARY_DIR}/decode-web.html)
set(DECODE_WEB_PAGE ${CMAKE_BINARY_DIR}/decode-web.html)
# Beside the manual in the Debian package.
install(FILES ${DECODE_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT decode)
