#include "html/columnCodec.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>

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

// Room for a thread's next column, kept from one to the next and never
// cleared: it is sized for the worst case, which a column seldom comes
// near, and the pages it does not reach are then never touched.
class Room {
 public:
  uint8_t* at(size_t size) {
    // Never null, even for an empty column.
    size = std::max<size_t>(size, 1);
    if (size_ < size) {
      bytes_ = std::make_unique_for_overwrite<uint8_t[]>(size);
      size_ = size;
    }
    return bytes_.get();
  }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_ = 0;
};

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
    uint8_t* const out = room_.at(bound);
    stream_.next_in = const_cast<Bytef*>(bytes);
    stream_.avail_in = static_cast<uInt>(size);
    stream_.next_out = out;
    stream_.avail_out = static_cast<uInt>(bound);
    if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) return {};
    return {out, stream_.total_out};
  }

 private:
  z_stream stream_{};
  bool ready_ = false;
  Room room_;
};
#else
class Deflater {
 public:
  std::span<const uint8_t> deflated(const uint8_t* /*bytes*/, size_t /*size*/) { return {}; }
};
#endif

// One for each thread that packs columns.
Deflater& threadDeflater() {
  thread_local Deflater deflater;
  return deflater;
}

// Two digits for each twelve bits: a page's columns are megabytes, and a
// digit at a time was a tenth of the time it took to write one.
struct DigitPairs {
  std::array<std::array<char, 2>, 4096> pairs{};
  constexpr DigitPairs() {
    constexpr std::string_view kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < pairs.size(); ++i) pairs[i] = {kDigits[i >> 6], kDigits[i & 63]};
  }
};
constexpr DigitPairs kDigitPairs;

char* putPair(char* out, uint32_t twelveBits) {
  const std::array<char, 2>& pair = kDigitPairs.pairs[twelveBits];
  out[0] = pair[0];
  out[1] = pair[1];
  return out + 2;
}

// The digits of `bytes` from `at` on, base64Size() of them.
void putBase64(char* at, std::span<const uint8_t> bytes) {
  size_t next = 0;
  for (; next + 3 <= bytes.size(); next += 3) {
    const uint32_t group = uint32_t{bytes[next]} << 16 | uint32_t{bytes[next + 1]} << 8 | bytes[next + 2];
    at = putPair(putPair(at, group >> 12), group & 4095);
  }
  if (const size_t left = bytes.size() - next; left > 0) {
    const uint32_t group = uint32_t{bytes[next]} << 16 | (left == 2 ? uint32_t{bytes[next + 1]} << 8 : 0);
    at = putPair(at, group >> 12);
    if (left == 2) *at++ = kDigitPairs.pairs[group & 4095][0];
    std::fill_n(at, 3 - left, '=');
  }
}

}  // namespace

namespace {

// The varints of the values as `stored` gives them, in the thread's room.
template <typename Value, typename Stored>
std::span<const uint8_t> packStored(std::span<const Value> values, ColumnOrder order, const Stored& stored) {
  constexpr size_t kMostVarintBytes = 10;
  thread_local Room room;
  uint8_t* const begin = room.at(values.size() * kMostVarintBytes);
  uint8_t* at = begin;
  uint64_t previous = 0;
  uint64_t previousStep = 0;
  for (const Value value : values) {
    // Differences wrap in unsigned arithmetic; the page adds them back in
    // doubles, exact as the values stay within 2^53.
    const auto kept = static_cast<uint64_t>(stored(value));
    const uint64_t step = kept - previous;
    const uint64_t difference = order == ColumnOrder::kValues ? step : step - previousStep;
    at = putVarint(at, folded(static_cast<int64_t>(difference)));
    previous = kept;
    previousStep = step;
  }
  return {begin, at};
}

}  // namespace

std::span<const uint8_t> packColumn(std::span<const int64_t> values, ColumnOrder order) {
  return packStored(values, order, [](int64_t value) { return value; });
}

std::span<const uint8_t> packColumn(std::span<const int32_t> values, const uint16_t* rank, uint16_t lowest) {
  if (rank == nullptr) return packStored(values, ColumnOrder::kValues, [](int32_t value) { return int64_t{value}; });
  return packStored(values, ColumnOrder::kValues, [rank, lowest](int32_t value) {
    return int64_t{rank[static_cast<uint16_t>(static_cast<uint16_t>(value) - lowest)]};
  });
}

void encodeForPage(std::span<const uint8_t> packed, PackedColumn& into) {
  // Deflating is worth its time when it takes a quarter off: the noise of
  // the accelerations takes a tenth or so, which the page does not need.
  const auto pays = [](size_t from, std::span<const uint8_t> to) { return !to.empty() && to.size() * 4 < from * 3; };
  const auto keep = [&into](std::span<const uint8_t> bytes, bool deflated) {
    into.digits.resize(base64Size(bytes.size()));
    putBase64(into.digits.data(), bytes);
    into.deflated = deflated;
  };
  Deflater& deflater = threadDeflater();
  // A column whose first bytes do not pay is not tried whole: trying costs
  // as much as succeeding.
  constexpr size_t kProbe = 16384;
  if (packed.size() > kProbe && !pays(kProbe, deflater.deflated(packed.data(), kProbe))) return keep(packed, false);
  // A column that zlib's 32-bit counts cannot take whole is left as it is.
  if (packed.size() < (size_t{1} << 31)) {
    const std::span<const uint8_t> smaller = deflater.deflated(packed.data(), packed.size());
    if (pays(packed.size(), smaller)) return keep(smaller, true);
  }
  keep(packed, false);
}

std::string base64(std::span<const uint8_t> bytes) {
  std::string out(base64Size(bytes.size()), '\0');
  putBase64(out.data(), bytes);
  return out;
}

}  // namespace zolt
