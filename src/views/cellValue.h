// A record's cell as the value of a typed column: the double that its text
// in the tables reads back as, so that both forms of a table agree.
#pragma once

#include <cmath>

#include "core/recordCatalogue.h"
#include "core/shortestDecimal.h"

namespace zolt {

inline double valueOf(const Cell& cell) {
  switch (cell.kind) {
    case Cell::kFraction: return std::ldexp(static_cast<double>(cell.integer), -cell.bits);
    case Cell::kThousandths: return static_cast<double>(cell.integer) / 1000.0;
    case Cell::kSingle: return shortestDecimal(cell.single);
    case Cell::kDouble: return cell.real;
    case Cell::kInteger:
    case Cell::kText: break;
  }
  return static_cast<double>(cell.integer);
}

}  // namespace zolt
