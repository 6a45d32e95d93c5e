// When each table's rows of a file lie, found without decoding the file:
// one pass over its record framing that reads only times and counts. For
// deciding which files a time window needs, and whether files lie in order.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "zolt/records.h"
#include "zolt/tables.h"

namespace zolt {

// The earliest and latest time of the rows that have one.
struct TimeSpan {
  int64_t first = INT64_MAX;
  int64_t last = INT64_MIN;
  bool inOrder = true;  // every row's time at or after the one before
  bool empty() const { return first > last; }
};

struct FileSpans {
  TimeSpan tables[kTableKinds];
  // The rate of the latest file header in the file, which the next file of
  // a run carries in.
  std::optional<uint16_t> lastRate;
  // Data records with a time come before the file's first header, so their
  // times use the rate carried in.
  bool usesCarriedRate = false;
};

// The spans of `input`'s tables when the rate carried in from the files
// before it is `carriedRate`, as TableRun would time its rows; with
// `salvage`, of the records salvage keeps.
FileOutcome spansOf(const Input& input, uint16_t carriedRate, FileSpans& spans, const KeepGoing& keepGoing = {},
                    bool salvage = false);

// Whether the first bytes of a file show that it times data records by
// the rate carried in (a data record after a second marker comes before the
// file's first header); nothing when they do not tell.
std::optional<bool> usesCarriedRate(std::span<const uint8_t> start);

}  // namespace zolt
