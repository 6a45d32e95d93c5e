// Keeps a file open with no sharing, as an editor or a copy in progress
// can, so that no other process may open it: says "locked" (a text line,
// which ends in "\r\n" here) once it holds it, and lets go when its
// standard input ends.
//
//   holdLocked FILE
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const HANDLE file = CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::puts("locked");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  CloseHandle(file);
  return 0;
}
