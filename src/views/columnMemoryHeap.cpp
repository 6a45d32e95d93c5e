// Windows and WebAssembly: every column comes from the C runtime's heap,
// grown by realloc; the system's own large blocks would need a layer of
// their own for what realloc already does well enough there.
#include <cstdlib>

#include "views/columnMemory.h"
#include "zolt/tables.h"

namespace zolt {

namespace {

// In front of the values.
constexpr size_t kHeaderRoom = 64;

void* valuesOf(void* block) { return static_cast<char*>(block) + kHeaderRoom; }
void* blockOf(void* values) { return static_cast<char*>(values) - kHeaderRoom; }

}  // namespace

// The heap commits what it hands out.
bool reservingIsCheap() { return false; }

void* allocateColumn(size_t bytes) {
  void* const block = std::malloc(kHeaderRoom + bytes);
  return block == nullptr ? nullptr : valuesOf(block);
}

void* resizeColumn(void* values, size_t bytes) {
  if (values == nullptr) return allocateColumn(bytes);
  void* const block = std::realloc(blockOf(values), kHeaderRoom + bytes);
  return block == nullptr ? nullptr : valuesOf(block);
}

void freeColumnBlock(void* values) noexcept {
  if (values != nullptr) std::free(blockOf(values));
}

}  // namespace zolt
