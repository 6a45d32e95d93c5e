// The page's reads of its inputs. Where the inputs can be read twice (files
// and memory, not a pipe) and there are threads, the data records' buckets,
// most of the reading's work, are drawn by a second read of each input on
// another thread, while this one checks the input and gathers the rest:
// the check and the page's table still come from one read.
#pragma once

#include <span>
#include <vector>

#include "html/pageSeries.h"
#include "zolt/input.h"

namespace zolt {

// Each input's outcome, in order, as gatherForPage gives it.
std::vector<FileOutcome> gatherInputs(PageRun& run, std::span<const Input> inputs, const KeepGoing& keepGoing,
                                      bool salvage, PageCheck& check);

}  // namespace zolt
