// The page reads its columns with atob() and its own varint reader: the
// padding of every length, and the fold of differences around zero.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "html/columnCodec.h"

namespace {

using namespace zolt;

TEST(ColumnCodec, Base64OfEveryRemainder) {
  const struct {
    std::string bytes;
    std::string digits;
  } cases[] = {
      {"", ""},           {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe\xfd", "//79"},
  };
  for (const auto& [bytes, digits] : cases) {
    const std::vector<uint8_t> raw(bytes.begin(), bytes.end());
    EXPECT_EQ(base64(raw), digits) << bytes;
  }
}

TEST(ColumnCodec, DifferencesFoldAroundZero) {
  const struct {
    std::vector<int64_t> values;
    ColumnOrder order;
    std::vector<uint8_t> packed;
  } cases[] = {
      {{0, -1, 1, -2}, ColumnOrder::kValues, {0, 1, 4, 5}},
      {{64}, ColumnOrder::kValues, {0x80, 0x01}},
      // A steady step is zero after the first.
      {{10, 20, 30, 40}, ColumnOrder::kTimes, {20, 0, 0, 0}},
      {{INT64_MIN}, ColumnOrder::kValues, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x01}},
  };
  for (const auto& [values, order, packed] : cases) {
    const std::span<const uint8_t> bytes = packColumn(values, order);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), packed);
  }
}

}  // namespace
