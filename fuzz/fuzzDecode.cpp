// libFuzzer entry: the first byte picks the switches (bits for d, t, s, p),
// the rest is a record file, decoded through the same path as a named file.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "decode.h"
#include "reportWriter.h"

namespace {

uint16_t switchFrom(uint8_t selector, unsigned bit) { return (selector >> bit & 1) != 0 ? 0xFFFF : 0; }

int memoryFile() {
  const int fd = memfd_create("record-file", MFD_CLOEXEC);
  if (fd < 0) {
    std::perror("memfd_create");
    std::abort();
  }
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The report itself is of no interest here, only that making it is sound.
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  close(null);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  printDataRecs = switchFrom(data[0], 0);
  totalsOnly = switchFrom(data[0], 1);
  sysRecOnly = switchFrom(data[0], 2);
  pressOnly = switchFrom(data[0], 3);

  static const int fd = memoryFile();
  static char name[64];
  std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data + 1, size - 1, 0) != static_cast<ssize_t>(size - 1)) {
    std::abort();
  }
  decodeFile(name);
  reportOut().flush();
  return 0;
}
