#include "views/columnMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
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
// The size of a huge page on x86-64 and arm64 (4 KiB base pages).
constexpr size_t kHugePage = size_t{2} << 20;
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

size_t hugeRounded(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

// A mapping that starts on a huge page's boundary, as the kernel can back
// with huge pages only whole aligned ones: mapped a huge page larger, its
// ends cut off. Pages are only ever touched as values are written, so
// room reserved and never used costs address space alone.
void* alignedMapping(size_t size) {
  const size_t over = size + kHugePage;
  void* const mapping = mmap(nullptr, over, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapping == MAP_FAILED) return nullptr;
  auto* const bytes = static_cast<char*>(mapping);
  const size_t lead = (kHugePage - reinterpret_cast<uintptr_t>(mapping) % kHugePage) % kHugePage;
  char* const aligned = bytes + lead;
  if (lead > 0) munmap(bytes, lead);
  const size_t tail = over - lead - size;
  if (tail > 0) munmap(aligned + size, tail);
  return aligned;
}

void* mapped(size_t bytes) {
  size_t size = pageRounded(kHeaderRoom + bytes);
  if (size >= kHugeFrom) size = hugeRounded(size);
  void* const block = alignedMapping(size);
  if (block == nullptr) return nullptr;
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

bool reservingIsCheap() { return true; }

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
