// A record table's interval averages over the files of a run as typed
// columns: what zolt.read(every=) gives, from the same rows and the same
// sums as `decode --csv --every` prints.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zolt/averages.h"
#include "zolt/records.h"
#include "zolt/tables.h"

namespace zolt {

struct AveragedTable {
  std::vector<int64_t> start;   // us since 1970
  std::vector<int64_t> count;
  std::vector<std::string> names;  // of the figures, as averagedNames() gives them
  std::vector<std::vector<double>> figures;  // by name, a value per interval
};

struct AverageOptions {
  TimeWindow window;
  KeepGoing keepGoing;
  bool salvage = false;
  Averaging averaging{};
};

class AverageRun {
 public:
  AverageRun(TableKind kind, AverageOptions options);
  ~AverageRun();
  AverageRun(const AverageRun&) = delete;
  AverageRun& operator=(const AverageRun&) = delete;

  // Adds the rows of one input; an interval may span inputs.
  FileOutcome add(const Input& input);
  // Closes the last interval: the table of every interval.
  AveragedTable finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zolt
