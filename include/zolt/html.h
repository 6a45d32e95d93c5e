// The interactive page of a run: one self-contained HTML file that opens
// from anywhere, offline, and zooms from the whole run down to single
// samples (or, for a run too long for the page's size budget, to envelopes
// of a length the page states). What `decode --html` writes. Link with
// zolt::html.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "zolt/records.h"
#include "zolt/time.h"

namespace zolt {

struct HtmlOptions {
  TimeWindow window;
  KeepGoing keepGoing;
  bool salvage = false;  // only the records on each input's true framing
  // The most bytes the page may take; it holds every sample when they fit.
  uint64_t budgetBytes = 20000000;
};

// The least budget a page can keep to: its scripts and styles.
constexpr uint64_t kLeastHtmlBudget = 1000000;

struct HtmlPage {
  // Why there is no page: an input that cannot be read twice (standard
  // input), or a budget below kLeastHtmlBudget (Errc::kInvalidArgument);
  // the inputs that failed are in `inputs`.
  Error error;
  std::vector<FileOutcome> inputs;
  std::string page;  // empty when no input could be read
};

// The page of the inputs as one run. Each input is read twice, first to
// size the page, so none may be a descriptor.
HtmlPage makeHtml(std::span<const Input> inputs, const HtmlOptions& options);

// The page written to `path`, whole or not at all, as writeNetcdf writes:
// `page` is left empty.
HtmlPage writeHtml(const std::string& path, std::span<const Input> inputs, const HtmlOptions& options);

}  // namespace zolt
