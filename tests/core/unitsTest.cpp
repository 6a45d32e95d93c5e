// Channel conversion where the report cannot reach it: the unused rows, the
// channels above the table and the unit texts.
#include <gtest/gtest.h>

#include <string>

#include "zolt/units.h"

namespace {

using namespace zolt;

struct ChannelCase {
  uint16_t channel;
  uint16_t count;
  double value;
  const char* units;
};

TEST(AdcEngValue, ConvertsEveryRowAndClampsHighChannels) {
  const ChannelCase cases[] = {
      {0, 0, 0.0, "Batt Volts"},
      {0, 49474, 22.854999542236328, "Batt Volts"},
      {1, 32768, 15.137499809265137, "Batt Volts"},
      {2, 32768, 35.0, "bar"},
      {2, 65535, 78.74866485595703, "bar"},
      {2, 0, -8.75, "bar"},
      {3, 32768, 50.0, "psia"},
      {4, 65535, 199.99618530273438, "degC"},
      {4, 13107, -0.000762939453125, "degC"},
      {5, 32768, 35.14875030517578, "%"},
      {5, 45605, 58.25, "%"},
      {6, 32768, 1.25, "Volts"},
      {7, 65535, 65535 * 2.5 / 65536, "Volts"},
      {100, 1, 2.5 / 65536, "Volts"},
      {65535, 16384, 0.625, "Volts"},
  };
  for (const ChannelCase& c : cases) {
    const char* units = nullptr;
    EXPECT_EQ(double{adcEngValue(c.channel, c.count, &units)}, c.value)
        << "channel " << c.channel << " count " << c.count;
    EXPECT_STREQ(units, c.units) << "channel " << c.channel;
  }
}

TEST(AdcEngValue, UnitTextIsOptional) {
  EXPECT_EQ(adcEngValue(4, 32768, nullptr), 75.0f);
}

}  // namespace
