// Room for a page's entries, taken in one block once their number is
// foreseen: a month's buckets are tens of megabytes, and one block can be
// backed by huge pages where a dozen vectors of a megabyte each cannot, at
// a fault for every 4 KiB. What does not fit, or comes before the block,
// is the heap's. Threads may take room from it at once.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory_resource>

namespace zolt {

class ReservedRoom : public std::pmr::memory_resource {
 public:
  ReservedRoom() = default;
  ~ReservedRoom() override;
  ReservedRoom(const ReservedRoom&) = delete;
  ReservedRoom& operator=(const ReservedRoom&) = delete;

  // Takes a block of `bytes` for the allocations that follow; false when
  // one is held already or none can be had (the heap serves then).
  bool reserve(size_t bytes);
  // Frees the block, which nothing may lie in any longer; the heap serves
  // from then on.
  void giveBack();

 private:
  void* do_allocate(size_t bytes, size_t alignment) override;
  void do_deallocate(void* pointer, size_t bytes, size_t alignment) override;
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }
  bool holds(const void* pointer) const;

  char* block_ = nullptr;
  size_t size_ = 0;
  std::atomic<size_t> used_ = 0;
};

}  // namespace zolt
