// The deployment check as labelled rows, before any layout: the text of
// --info wraps them in 80 columns, the interactive page puts them in a
// table. A row with no label goes on from the one before.
#pragma once

#include <string>
#include <vector>

#include "zolt/summary.h"

namespace zolt {

struct InfoRow {
  std::string label;
  std::string value;
  bool wrapped;  // long text, wrapped under its label in the text
};
using InfoRows = std::vector<InfoRow>;

// `ofAFile`: a file's summary, rather than a run's.
InfoRows infoRows(const Summary& summary, bool ofAFile);

}  // namespace zolt
