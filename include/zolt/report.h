// The plain-text report: one line per record of interest, counts in
// engineering units, times in UTC. What `decode [-d] [-t] [-s] [-p]` prints.
#pragma once

#include <memory>

#include "zolt/input.h"
#include "zolt/records.h"
#include "zolt/sink.h"

namespace zolt {

struct ReportSwitches {
  bool printDataRecs = false;  // each data record in full (only alone)
  bool totalsOnly = false;
  bool pressOnly = false;
  bool sysRecOnly = false;
};

struct ReportOptions {
  ReportSwitches switches;
  KeepGoing keepGoing;
};

class Report {
 public:
  explicit Report(Sink& sink, ReportOptions options = {});
  ~Report();
  Report(Report&& other) noexcept;
  Report& operator=(Report&& other) noexcept;

  // The report of one input, announced under its name. A failure to open
  // or read it is told in the report itself ("Could not open file ...") and
  // in the outcome. The recording duration of the latest file header
  // carries over to later files.
  FileOutcome add(const Input& input);
  // Nothing is left to write; there for every run alike.
  Error finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zolt
