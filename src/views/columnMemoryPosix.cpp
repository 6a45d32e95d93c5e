#include "views/columnMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "zolt/tables.h"

namespace zolt {

namespace {

// In front of the values, keeping them 64-byte aligned.
struct Header {
  size_t mappedBytes;  // of the whole mapping; 0 for a block from malloc
  size_t valueBytes;
};
constexpr size_t kHeaderRoom = 64;
static_assert(sizeof(Header) <= kHeaderRoom);

// Below this a mapping of its own would cost more than it saves.
constexpr size_t kMapFrom = size_t{1} << 20;
// From this size on a column is one the caller keeps whole (a table for
// numpy), where huge pages save faults and clearing. Below it a column is
// more likely a buffer used over and over (the netCDF writer's chunks),
// where a huge page would hold memory the buffer never touches.
constexpr size_t kHugeFrom = size_t{8} << 20;

size_t pageRounded(size_t bytes) {
  const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

Header* headerOf(void* values) { return reinterpret_cast<Header*>(static_cast<char*>(values) - kHeaderRoom); }

void* valuesOf(void* block) { return static_cast<char*>(block) + kHeaderRoom; }

// A refusal only costs speed.
void adviseHugePages(void* block, size_t size) {
  if (size >= kHugeFrom) (void)madvise(block, size, MADV_HUGEPAGE);
}

void* mapped(size_t bytes) {
  const size_t size = pageRounded(kHeaderRoom + bytes);
  void* const block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  adviseHugePages(block, size);
  *static_cast<Header*>(block) = {size, bytes};
  return valuesOf(block);
}

void* allocated(size_t bytes) {
  void* const block = std::malloc(kHeaderRoom + bytes);
  if (block == nullptr) return nullptr;
  *static_cast<Header*>(block) = {0, bytes};
  return valuesOf(block);
}

}  // namespace

void* allocateColumn(size_t bytes) { return bytes >= kMapFrom ? mapped(bytes) : allocated(bytes); }

void* resizeColumn(void* values, size_t bytes) {
  if (values == nullptr) return allocateColumn(bytes);
  Header* const header = headerOf(values);
  if (header->mappedBytes != 0) {
    const size_t size = pageRounded(kHeaderRoom + bytes);
    const size_t wasMapped = header->mappedBytes;
    void* const block = mremap(header, wasMapped, size, MREMAP_MAYMOVE);
    if (block == MAP_FAILED) return nullptr;
    if (wasMapped < kHugeFrom) adviseHugePages(block, size);
    *static_cast<Header*>(block) = {size, bytes};
    return valuesOf(block);
  }
  if (bytes < kMapFrom) {
    void* const block = std::realloc(header, kHeaderRoom + bytes);
    if (block == nullptr) return nullptr;
    static_cast<Header*>(block)->valueBytes = bytes;
    return valuesOf(block);
  }
  // From malloc to a mapping of its own, once.
  void* const moved = mapped(bytes);
  if (moved == nullptr) return nullptr;
  std::memcpy(moved, values, std::min(header->valueBytes, bytes));
  std::free(header);
  return moved;
}

void freeColumnBlock(void* values) noexcept {
  if (values == nullptr) return;
  Header* const header = headerOf(values);
  if (header->mappedBytes != 0) {
    munmap(header, header->mappedBytes);
  } else {
    std::free(header);
  }
}

}  // namespace zolt
