# WebAssembly for the browser: clang's wasm32 target on the WASI C library,
# with LLVM's C++ library for wasm32 (Debian: clang-16, lld-16, wasi-libc,
# libc++-16-dev-wasm32, libc++abi-16-dev-wasm32, libclang-rt-16-dev-wasm32).
# The library's sources need a C++ library with C++20's charconv for
# doubles, which these have.
# CMake 3.25 knows no WASI platform; Generic is a bare one, and the
# project asks for DECODE_WASI.
set(CMAKE_SYSTEM_NAME Generic)
set(DECODE_WASI ON)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER clang++-16)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_SYSROOT /usr)
set(wasiCxxHeaders /usr/lib/llvm-16/include/wasm32-wasi/c++/v1)
set(wasiLibraries /usr/lib/llvm-16/lib/wasm32-wasi)
# Exceptions compile to WebAssembly's own, which the browsers run; the C++
# runtime for wasm32 cannot unwind, so a throw ends the run
# (src/web/noUnwinding.cpp).
set(CMAKE_CXX_FLAGS_INIT "-isystem ${wasiCxxHeaders} -fwasm-exceptions -D_WASI_EMULATED_MMAN")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-L${wasiLibraries} -mexec-model=command -lwasi-emulated-mman -Wl,-z,stack-size=1048576")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
