// The places of the columns in columnsOf(), for the code that fills them.
#pragma once

#include <cstddef>

#include "zolt/tables.h"

namespace zolt {

constexpr size_t kTimeColumn = 0;

enum HeaderColumn : size_t { kHeaderVer = 1, kHeaderId, kHeaderRate, kHeaderDurationS, kHeaderDurationMs };

enum DataColumn : size_t {
  kDataSample = 1,
  kDataAcc,                       // three, x to z
  kDataQuat = kDataAcc + 3,       // four
  kDataAccCounts = kDataQuat + 4,  // three
  kDataQuatCounts = kDataAccCounts + 3,  // four
  kDataColumnCount = kDataQuatCounts + 4,
};

enum PressureColumn : size_t { kPressureCounts = 1, kPressureVolts, kPressureBar };

enum IndexColumn : size_t { kIndexDurationS = 1, kIndexMaxVal, kIndexFile, kIndexDurationMs, kIndexMaxValCounts, kIndexColumnCount };

// Six readings, then their six counts, in the record's order after time:
// batt, vmodem, ext. pressure, int. pressure, temperature, humidity.
enum SystemColumn : size_t { kSystemValues = 1, kSystemCounts = kSystemValues + 6, kSystemColumnCount = kSystemCounts + 6 };

}  // namespace zolt
