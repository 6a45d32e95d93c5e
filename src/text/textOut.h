// Collects text in one large buffer and hands it to a sink in big pieces.
// A failed write is kept: later text is dropped, and failure() tells the
// scan to stop.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "zolt/error.h"
#include "zolt/sink.h"

namespace zolt {

class TextOut {
 public:
  // The longest piece `reserve` hands out.
  static constexpr size_t kMaxReserve = 4096;

  explicit TextOut(Sink& sink) : sink_(sink) {}

  // Room for at least `n` (at most kMaxReserve) characters; hand the end of
  // what was written to `commit`.
  char* reserve(size_t n) {
    if (kCapacity - used_ < n) makeRoom();
    return buffer_.get() + used_;
  }
  void commit(const char* end) { used_ = static_cast<size_t>(end - buffer_.get()); }

  void text(std::string_view text);
  // Hands everything so far to the sink.
  Error flush();
  Error failure() const { return failure_; }

 private:
  static constexpr size_t kCapacity = size_t{256} * 1024;

  void makeRoom();

  Sink& sink_;
  // Allocated when first needed, and left uninitialised: only the part in
  // use is ever touched.
  std::unique_ptr<char[]> buffer_;
  // Full until allocated, so that the first reserve allocates it.
  size_t used_ = kCapacity;
  Error failure_;
};

}  // namespace zolt
