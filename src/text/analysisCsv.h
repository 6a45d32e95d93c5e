// The tables made from the analysis of a deployment as CSV text, as
// `decode --csv=depth`, `--csv=dives` and `--csv=activity` print them: a
// header row, then the rows of every input of the run, analysed as one
// deployment. The analysis reads every record; the window keeps the rows
// whose time (a dive's start) lies in it.
#pragma once

#include <memory>

#include "analysis/analysisSettings.h"
#include "analysis/derivedTables.h"
#include "zolt/averages.h"
#include "zolt/records.h"
#include "zolt/sink.h"
#include "zolt/time.h"

namespace zolt {

struct AnalysisCsvOptions {
  DerivedTable table = DerivedTable::kDepth;
  TimeWindow window;
  KeepGoing keepGoing;
  bool salvage = false;
  AnalysisSettings settings;  // sound: each component takes them
  // With an interval, the averages of the values as the table gives them
  // (zolt/averages.h), for the depth and activity tables; the dives are
  // no series in time and have none.
  Averaging averaging{};
};

class AnalysisCsvRun {
 public:
  AnalysisCsvRun(Sink& sink, const AnalysisCsvOptions& options);
  ~AnalysisCsvRun();

  // Analyses one input, after the header row the first time, and writes
  // the rows that are known so far.
  FileOutcome add(const Input& input);
  // Writes the rows still held (a dive open at the end, cut) and the
  // header row if no input was added.
  Error finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zolt
