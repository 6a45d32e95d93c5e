// Interval averages as CSV rows: the start in ISO 8601 UTC to the
// millisecond, the count, then each figure in the fewest digits that read
// back as it; a figure no row knew (an empty interval's) is an empty field.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "text/exactFormat.h"
#include "text/textOut.h"
#include "views/intervalAverages.h"

namespace zolt {

// "time,count,acc_x,acc_x_min,...\n"
std::string intervalHeaderRow(std::span<const std::string_view> columns, const Averaging& averaging);

class IntervalCsv final : public IntervalSink {
 public:
  IntervalCsv(TextOut& out, const Averaging& averaging) : out_(out), averaging_(averaging) {}
  void interval(const IntervalRow& row) override;
  Error failure() const override { return out_.failure(); }

 private:
  TextOut& out_;
  Averaging averaging_;
  SecondCache seconds_;
};

}  // namespace zolt
