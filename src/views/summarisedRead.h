// One input read as the deployment check reads it: salvaged, or literally
// with what salvage would keep of it beside. The check of --info and the
// page's table come from this one read, so that they say the same; a view
// that draws the input rides along on the same records.
#pragma once

#include "core/readInput.h"
#include "views/deploymentSummary.h"
#include "views/teeView.h"

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

// A view that takes nothing, for a summary that needs no other.
struct NoFurtherView : TimedViewBase {
  template <RecordType Type>
  void record(TimedRecord<Type> /*record*/) {}
  void samples(const Samples& /*samples*/) {}
};

// Summarises one input into its file's tally and its run's, in one read with
// `further`, which sees every record too.
template <TimedView Further>
FileOutcome summariseInput(const Input& input, RunClock& clock, SummaryTally& file, SummaryTally& run,
                           const SummaryOptions& options, Further& further) {
  SummaryView summary(file, run);
  TeeView<SummaryView, Further> view(summary, further);
  return readSummarised(input, clock, view, file.summary, run.summary, options.keepGoing, options.salvage);
}

}  // namespace zolt
