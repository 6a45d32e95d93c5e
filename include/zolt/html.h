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
#include "zolt/sink.h"
#include "zolt/time.h"

namespace zolt {

// The budget of a page when none is given, and the least a page can keep
// to: its scripts and styles.
constexpr uint64_t kDefaultHtmlBudget = 20000000;
constexpr uint64_t kLeastHtmlBudget = 1000000;

struct HtmlOptions {
  TimeWindow window;
  KeepGoing keepGoing;
  bool salvage = false;  // only the records on each input's true framing
  // The most bytes the page may take; it holds every sample when they fit.
  uint64_t budgetBytes = kDefaultHtmlBudget;
};

struct HtmlPage {
  // Why there is no page: a budget below kLeastHtmlBudget, or a run that
  // does not fit its budget even in the coarsest buckets
  // (Errc::kInvalidArgument), or no memory, or a read told to stop
  // (Errc::kStopped): a page of part of the run would look whole. The
  // inputs that failed are in `inputs`.
  Error error;
  std::vector<FileOutcome> inputs;
  std::string page;  // empty when no input could be read, or when it was streamed
  uint64_t bytes = 0;  // of the page made; 0 when there is none
};

// The page of the inputs as one run. The inputs are read in order, a pipe
// once, so any may be a descriptor: a pipe gives the page its file gives,
// under its own name. Where every input can be read twice (files and
// memory), the data records are read a second time, on a thread of their
// own, beside the rest; where the two reads disagree (a file that changed
// between them), the inputs are read again, once. Before that, the first
// file header of a first input that is not a pipe (by descriptor or by
// name) is looked for in its first megabyte, to size the page's buckets
// from the start.
HtmlPage makeHtml(std::span<const Input> inputs, const HtmlOptions& options);

// The page written to `sink` as it is put together, never held whole:
// `page` is left empty. Nothing is written unless a page is made; a sink
// that fails gives Errc::kWriteFailed, with its error, and may hold part of
// the page.
HtmlPage streamHtml(Sink& sink, std::span<const Input> inputs, const HtmlOptions& options);

// The page written to `path`, whole or not at all, as writeNetcdf writes:
// `page` is left empty.
HtmlPage writeHtml(const std::string& path, std::span<const Input> inputs, const HtmlOptions& options);

}  // namespace zolt
