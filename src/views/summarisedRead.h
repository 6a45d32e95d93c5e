// One input read as the deployment check reads it: salvaged, or literally
// with what salvage would keep of it beside. The check of --info and the
// page's table come from this one read, so that they say the same; a view
// that draws the input rides along on the same records.
#pragma once

#include "core/readInput.h"
#include "views/deploymentSummary.h"

namespace zolt {

// What salvage would keep of a file read literally, in its summary and its
// run's.
void addSalvageCheck(const CheckedOutcome& checked, Summary& file, Summary& run);
// What salvage kept, in its summary and its run's.
void addSalvaged(Summary& file, Summary& run);

// `view` feeds `file` and `run` (a SummaryView of them, alone or teed with
// others).
template <TimedView View>
FileOutcome readSummarised(const Input& input, RunClock& clock, View& view, Summary& file, Summary& run,
                           const KeepGoing& keepGoing, bool salvage) {
  if (salvage) {
    FileOutcome outcome = readInput(input, clock, view, keepGoing, true);
    addSalvaged(file, run);
    return outcome;
  }
  const CheckedOutcome checked = readInputChecked(input, clock, view, keepGoing);
  addSalvageCheck(checked, file, run);
  return checked.literal;
}

}  // namespace zolt
