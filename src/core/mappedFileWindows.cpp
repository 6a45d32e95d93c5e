// Windows: files are read, never mapped. A mapping there would keep the
// file from being replaced or deleted while it is read, and the program
// has no bus error to recover from; reading costs a copy of each byte.
#include "core/mappedFile.h"
#include "zolt/input.h"

namespace zolt {

MappedFile::MappedFile(int fd, uint64_t size) : fd_(fd), size_(size) {}

MappedFile::~MappedFile() = default;

void MappedFile::unmap() {}

bool MappedFile::mapFrom(uint64_t /*from*/) { return false; }

bool MappedFile::recover(const uint8_t* /*address*/) { return false; }

bool recoverFromBusError(const void* /*address*/) noexcept { return false; }

}  // namespace zolt
