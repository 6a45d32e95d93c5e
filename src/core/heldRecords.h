// Records held back in order, as copies, while the clock waits for the
// marker that tells where they lie: those after bytes salvage skipped. The
// input's blocks move on meanwhile, so their bytes are kept here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/recordCatalogue.h"

namespace zolt {

class HeldRecords {
 public:
  struct Entry {
    uint64_t offset;
    size_t at;       // of its bytes in the copy; skipped bytes have none
    size_t count;    // data records of a run (held in memory), 1 for any other record
    uint64_t size;   // of skipped bytes
    uint8_t type;    // kSkipped for skipped bytes
    const uint8_t* bytes(const HeldRecords& held) const { return held.bytes_.data() + at; }
  };
  static constexpr uint8_t kSkipped = 0xFF;

  bool empty() const { return entries_.empty(); }
  size_t bytes() const { return bytes_.size(); }
  const std::vector<Entry>& entries() const { return entries_; }

  void record(const uint8_t* bytes, uint64_t offset) { add(bytes, kRecordSize[*bytes], 1, offset); }
  void data(const uint8_t* records, size_t count, uint64_t offset) {
    add(records, count * kDataRecordSize, count, offset);
  }
  void skipped(uint64_t offset, uint64_t size) { entries_.push_back({offset, 0, 0, size, kSkipped}); }
  void clear() {
    entries_.clear();
    bytes_.clear();
  }

 private:
  void add(const uint8_t* bytes, size_t size, size_t count, uint64_t offset) {
    entries_.push_back({offset, bytes_.size(), count, 0, *bytes});
    bytes_.insert(bytes_.end(), bytes, bytes + size);
  }

  std::vector<Entry> entries_;
  std::vector<uint8_t> bytes_;
};

}  // namespace zolt
