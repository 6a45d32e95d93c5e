// One table as CSV text: exact values, ISO 8601 times in UTC, a header row.
// What `decode --csv=TABLE` prints.
#pragma once

#include <memory>

#include "zolt/averages.h"
#include "zolt/sink.h"
#include "zolt/tables.h"

namespace zolt {

struct CsvOptions {
  TableKind table = TableKind::kData;
  TimeWindow window;
  KeepGoing keepGoing;
  bool salvage = false;  // only the records on each input's true framing
  // With an interval: its averages (zolt/averages.h) instead of the rows.
  Averaging averaging{};
};

class CsvRun {
 public:
  CsvRun(Sink& sink, CsvOptions options);
  ~CsvRun();
  CsvRun(CsvRun&& other) noexcept;
  CsvRun& operator=(CsvRun&& other) noexcept;

  // Appends the rows of one input, after the header row the first time;
  // the rate carries from input to input.
  FileOutcome add(const Input& input);
  // The header row if no input was added: every table has one, even
  // without rows; with averages, the last interval.
  Error finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zolt
