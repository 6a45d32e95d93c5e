// The engineering values of the pressure and system records, computed here
// and nowhere else: every view that shows them (report, tables, check,
// picture) takes them from these.
#pragma once

#include <cstdint>

#include "zolt/records.h"
#include "zolt/units.h"

namespace zolt {

struct PressureReadings {
  double volts;  // at the converter, exactly counts * 2.5 / 65536
  float bar;     // the channel's law, rounded once to single precision
};

inline PressureReadings pressureReadings(uint16_t counts) {
  return {converterVolts(counts), adcEngValue(AdcChannel::kExtPressure, counts, nullptr)};
}

// The supply voltages in double precision, the four channels in single
// precision, as the logger's firmware has them.
struct SystemReadings {
  double battV;
  double vmodemV;
  float extPressBar;
  float intPressPsia;
  float tempDegC;
  float humPct;
};

inline SystemReadings systemReadings(const SystemRecord& record) {
  return {supplyVolts(record.batt),
          supplyVolts(record.vmodem),
          adcEngValue(AdcChannel::kExtPressure, record.extPress, nullptr),
          adcEngValue(AdcChannel::kIntPressure, record.intPress, nullptr),
          adcEngValue(AdcChannel::kTemperature, record.temp, nullptr),
          adcEngValue(AdcChannel::kHumidity, record.hum, nullptr)};
}

}  // namespace zolt
