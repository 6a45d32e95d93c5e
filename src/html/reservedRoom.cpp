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
  const size_t at = (used_ + alignment - 1) / alignment * alignment;
  if (block_ != nullptr && at <= size_ && bytes <= size_ - at) {
    used_ = at + bytes;
    return block_ + at;
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
