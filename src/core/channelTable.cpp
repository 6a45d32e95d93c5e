#include "zolt/units.h"

#include <algorithm>
#include <iterator>

namespace zolt {

namespace {

struct ChannelConversion {
  float mult;
  float offset;
  const char* units;
};

// Linear laws from converter volts to engineering units, by channel. The last
// row serves every channel above it.
constexpr ChannelConversion adConv[] = {
    {12.11f, 0.0f, "Batt Volts"}, {12.11f, 0.0f, "Batt Volts"}, {35.0f, 8.75f, "bar"},
    {50.0f, 12.5f, "psia"},       {100.0f, 50.0f, "degC"},      {47.175f, 23.82f, "%"},
    {1.0f, 0.0f, "Volts"},
};
constexpr uint16_t kLastChannel = std::size(adConv) - 1;

}  // namespace

float adcEngValue(uint16_t channel, uint16_t count, const char** units) {
  if (units != nullptr) *units = adConv[std::min(channel, kLastChannel)].units;
  // Exact in double for every count and row; the single rounding to float
  // is what the logger's own firmware reports.
  return static_cast<float>(channelLaw(channel, count));
}

double channelLaw(uint16_t channel, double count) {
  const ChannelConversion& row = adConv[std::min(channel, kLastChannel)];
  return count * 2.5 / 65536.0 * double{row.mult} - double{row.offset};
}

}  // namespace zolt
