// From the logger's converter counts to engineering units.
#pragma once

#include <cstdint>

namespace zolt {

// The converter's channels that the records use.
enum class AdcChannel : uint16_t { kExtPressure = 2, kIntPressure = 3, kTemperature = 4, kHumidity = 5 };

// A 16-bit converter count on `channel` in engineering units, rounded once
// to single precision as the logger's firmware does. When `units` is not
// null it receives the channel's unit text. Channels above 6 read as 6.
float adcEngValue(uint16_t channel, uint16_t count, const char** units);
inline float adcEngValue(AdcChannel channel, uint16_t count, const char** units) {
  return adcEngValue(static_cast<uint16_t>(channel), count, units);
}

// The same law in double precision, unrounded, for a count that need not be
// whole: a mean.
double channelLaw(uint16_t channel, double count);

// The converter's 2.5 V full scale over 65536 counts.
inline double converterVolts(uint16_t counts) { return counts * 2.5 / 65536.0; }

// The supply voltages go through a divider of 12.11 that the firmware applies
// in double precision, unlike the single-precision channel table.
inline double supplyVolts(double counts) { return counts * 12.11 * 2.5 / 65536.0; }

}  // namespace zolt
