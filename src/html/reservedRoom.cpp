#include "html/reservedRoom.h"

#include <functional>

#include "views/columnMemory.h"
#include "zolt/tables.h"

namespace zolt {

ReservedRoom::~ReservedRoom() { freeColumnBlock(block_); }

bool ReservedRoom::reserve(size_t bytes) {
  if (block_ != nullptr) return false;
  block_ = static_cast<char*>(allocateColumn(bytes));
  size_ = block_ != nullptr ? bytes : 0;
  return block_ != nullptr;
}

void ReservedRoom::giveBack() {
  freeColumnBlock(block_);
  block_ = nullptr;
  size_ = 0;
  used_ = 0;
}

void* ReservedRoom::do_allocate(size_t bytes, size_t alignment) {
  size_t used = used_.load(std::memory_order_relaxed);
  while (block_ != nullptr) {
    const size_t at = (used + alignment - 1) / alignment * alignment;
    if (at > size_ || bytes > size_ - at) break;
    if (used_.compare_exchange_weak(used, at + bytes, std::memory_order_relaxed)) return block_ + at;
  }
  return std::pmr::new_delete_resource()->allocate(bytes, alignment);
}

void ReservedRoom::do_deallocate(void* pointer, size_t bytes, size_t alignment) {
  // The block is given back whole, with the room.
  if (holds(pointer)) return;
  std::pmr::new_delete_resource()->deallocate(pointer, bytes, alignment);
}

bool ReservedRoom::holds(const void* pointer) const {
  const std::less_equal<const void*> atOrBefore;
  return block_ != nullptr && atOrBefore(block_, pointer) && std::less<const void*>()(pointer, block_ + size_);
}

}  // namespace zolt
