#include "html/columnCodec.h"

// WebAssembly has no zlib to link: its pages carry the columns as they are.
#if defined(DECODE_HAS_ZLIB)
#include <zlib.h>
#endif

namespace zolt {

namespace {

uint8_t* putVarint(uint8_t* out, uint64_t value) {
  while (value >= 0x80) {
    *out++ = static_cast<uint8_t>(value | 0x80);
    value >>= 7;
  }
  *out++ = static_cast<uint8_t>(value);
  return out;
}

uint64_t folded(int64_t value) { return (static_cast<uint64_t>(value) << 1) ^ (value < 0 ? ~uint64_t{0} : 0); }

// Deflates raw, matching runs only: the columns hold runs of one
// difference far more than repeated phrases. Its state is made once for
// each thread, and reset for each column.
#if defined(DECODE_HAS_ZLIB)
class Deflater {
 public:
  Deflater() {
    constexpr int kRawWindow = -15;
    ready_ = deflateInit2(&stream_, 1, Z_DEFLATED, kRawWindow, 8, Z_RLE) == Z_OK;
  }
  ~Deflater() {
    if (ready_) deflateEnd(&stream_);
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Empty when zlib cannot; valid until the next call, which reuses the
  // room of this one.
  std::span<const uint8_t> deflated(const uint8_t* bytes, size_t size) {
    if (!ready_ || deflateReset(&stream_) != Z_OK) return {};
    const size_t bound = deflateBound(&stream_, static_cast<uLong>(size));
    if (room_.size() < bound) room_.resize(bound);
    stream_.next_in = const_cast<Bytef*>(bytes);
    stream_.avail_in = static_cast<uInt>(size);
    stream_.next_out = room_.data();
    stream_.avail_out = static_cast<uInt>(bound);
    if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) return {};
    return {room_.data(), stream_.total_out};
  }

 private:
  z_stream stream_{};
  bool ready_ = false;
  std::vector<uint8_t> room_;
};

#else
class Deflater {
 public:
  std::vector<uint8_t> deflated(const uint8_t* /*bytes*/, size_t /*size*/) { return {}; }
};
#endif

// One for each thread that packs columns.
Deflater& threadDeflater() {
  thread_local Deflater deflater;
  return deflater;
}

}  // namespace

std::vector<uint8_t> packColumn(std::span<const int64_t> values, ColumnOrder order) {
  constexpr size_t kMostVarintBytes = 10;
  // Room for the worst case, kept for the thread's next column: a fresh
  // one each time costs more in clearing and faulting in its pages than
  // the packing does.
  thread_local std::vector<uint8_t> room;
  if (room.size() < values.size() * kMostVarintBytes) room.resize(values.size() * kMostVarintBytes);
  uint8_t* at = room.data();
  uint64_t previous = 0;
  uint64_t previousStep = 0;
  for (const int64_t value : values) {
    // Differences wrap in unsigned arithmetic; the page adds them back in
    // doubles, exact as the values stay within 2^53.
    const uint64_t step = static_cast<uint64_t>(value) - previous;
    const uint64_t difference = order == ColumnOrder::kValues ? step : step - previousStep;
    at = putVarint(at, folded(static_cast<int64_t>(difference)));
    previous = static_cast<uint64_t>(value);
    previousStep = step;
  }
  return {room.data(), at};
}

PackedColumn encodeForPage(const std::vector<uint8_t>& packed) {
  // Deflating is worth its time when it takes a quarter off: the noise of
  // the accelerations takes a tenth or so, which the page does not need.
  const auto pays = [](size_t from, std::span<const uint8_t> to) { return !to.empty() && to.size() * 4 < from * 3; };
  Deflater& deflater = threadDeflater();
  // A column whose first bytes do not pay is not tried whole: trying costs
  // as much as succeeding.
  constexpr size_t kProbe = 16384;
  if (packed.size() > kProbe && !pays(kProbe, deflater.deflated(packed.data(), kProbe))) return {base64(packed), false};
  // A column that zlib's 32-bit counts cannot take whole is left as it is.
  if (packed.size() < (size_t{1} << 31)) {
    const std::span<const uint8_t> smaller = deflater.deflated(packed.data(), packed.size());
    if (pays(packed.size(), smaller)) return {base64(smaller), true};
  }
  return {base64(packed), false};
}

std::string base64(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t at = 0;
  for (; at + 3 <= bytes.size(); at += 3) {
    const uint32_t group = uint32_t{bytes[at]} << 16 | uint32_t{bytes[at + 1]} << 8 | bytes[at + 2];
    out += kDigits[group >> 18];
    out += kDigits[(group >> 12) & 63];
    out += kDigits[(group >> 6) & 63];
    out += kDigits[group & 63];
  }
  if (const size_t left = bytes.size() - at; left > 0) {
    const uint32_t group = uint32_t{bytes[at]} << 16 | (left == 2 ? uint32_t{bytes[at + 1]} << 8 : 0);
    out += kDigits[group >> 18];
    out += kDigits[(group >> 12) & 63];
    out += left == 2 ? kDigits[(group >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace zolt
