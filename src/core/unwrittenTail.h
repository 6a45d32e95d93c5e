// The end of a card that the logger never wrote: a file made at its full
// size in advance, whose unwritten part reads as zeros. Zero bytes parse as
// file headers of all zeros, so such a file would turn into millions of
// header rows. A run of all-zero headers is held back, and handed on only
// when a byte that is not zero shows that records follow; one that reaches
// the end of the input is the unwritten end, and holds no records.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/recordCatalogue.h"
#include "zolt/error.h"

namespace zolt {

template <typename View>
class UnwrittenTail {
 public:
  explicit UnwrittenTail(View& view) : view_(view) {}

  void piece(const uint8_t* begin, uint64_t offset) {
    pieceBegin_ = begin;
    pieceOffset_ = offset;
    if constexpr (requires { view_.piece(begin, offset); }) view_.piece(begin, offset);
  }
  void record(RecordBody<kFileHeader> body) {
    const uint8_t* const record = body.bytes - 1;
    if (allZero(record, kRecordSize[kFileHeader])) {
      if (held_++ == 0) heldOffset_ = pieceOffset_ + static_cast<uint64_t>(record - pieceBegin_);
      return;
    }
    release();
    view_.record(body);
  }
  template <RecordType Type>
  void record(RecordBody<Type> body) {
    release();
    view_.record(body);
  }
  void dataRecords(const uint8_t* records, size_t count) {
    release();
    view_.dataRecords(records, count);
  }
  void unknownType(uint8_t type, uint64_t offset) {
    release();
    view_.unknownType(type, offset);
  }
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset) {
    if (held_ > 0 && allZero(bytes, size)) {
      heldCut_ = size;
      return;
    }
    release();
    view_.cutRecord(bytes, size, offset);
  }
  Error failure() const {
    if constexpr (requires { view_.failure(); }) return view_.failure();
    return {};
  }

  // Once the input has ended: the zero bytes held back up to its end.
  uint64_t unwrittenBytes() const { return held_ * kRecordSize[kFileHeader] + heldCut_; }
  uint64_t unwrittenOffset() const { return heldOffset_; }
  // An input that ended early says nothing of what followed: the headers
  // held back are records after all.
  void release() {
    if (held_ == 0) return;
    static constexpr uint8_t kZeros[kLargestRecord] = {};
    for (uint64_t i = 0; i < held_; ++i) {
      // Views that place records by the piece they lie in find each one at
      // its own offset.
      if constexpr (requires { view_.piece(kZeros, 0); }) {
        view_.piece(kZeros, heldOffset_ + i * kRecordSize[kFileHeader]);
      }
      view_.record(RecordBody<kFileHeader>{kZeros + 1});
    }
    if constexpr (requires { view_.piece(kZeros, 0); }) view_.piece(pieceBegin_, pieceOffset_);
    held_ = 0;
  }

 private:
  static bool allZero(const uint8_t* bytes, size_t size) {
    return std::all_of(bytes, bytes + size, [](uint8_t byte) { return byte == 0; });
  }

  View& view_;
  const uint8_t* pieceBegin_ = nullptr;
  uint64_t pieceOffset_ = 0;
  uint64_t held_ = 0;  // all-zero headers held back, one after the other
  uint64_t heldOffset_ = 0;
  size_t heldCut_ = 0;  // zero bytes of a cut record after them
};

}  // namespace zolt
