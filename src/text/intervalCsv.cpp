#include "text/intervalCsv.h"

#include <cmath>

#include "text/textFormat.h"

namespace zolt {

std::string intervalHeaderRow(std::span<const std::string_view> columns, const Averaging& averaging) {
  std::string row = "time,count";
  for (const std::string& name : averagedNames(columns, averaging)) row.append(",").append(name);
  return row + "\n";
}

namespace {

char* putFigure(char* out, double value) {
  *out++ = ',';
  return std::isnan(value) ? out : putShortest(out, value);
}

}  // namespace

void IntervalCsv::interval(const IntervalRow& row) {
  // Each figure takes at most 25 characters; the row is written in pieces
  // of a column each, as a table may have many.
  constexpr size_t kColumnRoom = size_t{3} * 26;
  char* out = putIsoTime(out_.reserve(64), row.start, 3, seconds_);
  out_.commit(putUnsigned(putText(out, ","), row.count));
  for (size_t i = 0; i < row.mean.size(); ++i) {
    out = out_.reserve(kColumnRoom);
    if (averaging_.mean) out = putFigure(out, row.mean[i]);
    if (averaging_.min) out = putFigure(out, row.min[i]);
    if (averaging_.max) out = putFigure(out, row.max[i]);
    out_.commit(out);
  }
  out_.commit(putText(out_.reserve(1), "\n"));
}

}  // namespace zolt
