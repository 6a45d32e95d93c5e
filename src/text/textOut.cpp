#include "text/textOut.h"

#include <algorithm>
#include <cstring>

namespace zolt {

void TextOut::makeRoom() {
  if (buffer_ == nullptr) {
    buffer_ = std::make_unique_for_overwrite<char[]>(kCapacity);
    used_ = 0;
    return;
  }
  flush();
}

void TextOut::text(std::string_view text) {
  while (!text.empty()) {
    const size_t piece = std::min(text.size(), kMaxReserve);
    char* out = reserve(piece);
    std::memcpy(out, text.data(), piece);
    commit(out + piece);
    text.remove_prefix(piece);
  }
}

Error TextOut::flush() {
  if (buffer_ == nullptr) return failure_;
  if (used_ > 0 && failure_.ok()) {
    if (const int error = sink_.write(buffer_.get(), used_); error != 0) failure_ = {Errc::kWriteFailed, error};
  }
  used_ = 0;
  return failure_;
}

}  // namespace zolt
