// One table as CSV text: exact values, ISO 8601 times in UTC, a header row.
// What `decode --csv=TABLE` prints.
#pragma once

#include <memory>

#include "zolt/sink.h"
#include "zolt/tables.h"

namespace zolt {

class CsvRun {
 public:
  CsvRun(TableKind table, const TimeWindow& window, Sink& sink);
  ~CsvRun();

  // The header row, which every table has even without rows.
  Error writeHeaderRow();
  // Appends the rows of one input; the rate carries from input to input.
  FileOutcome file(const Input& input, const KeepGoing& keepGoing = {});

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zolt
