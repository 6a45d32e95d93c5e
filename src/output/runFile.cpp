#include "output/runFile.h"

#include <algorithm>
#include <new>

#include "core/readInput.h"

namespace zolt {

namespace {

// Reads every input into the format and ends it; the outcomes go into
// `result`.
Error writeInputs(std::span<const Input> inputs, const RunFileOptions& options, RunFileFormat& format,
                  RunFileResult& result) {
  TableStream stream({options.tables, options.window, options.keepGoing, options.salvage, false}, format);
  for (const Input& input : inputs) {
    FileOutcome outcome = stream.add(input);
    // The format's own failure ends the run; an input's only that input.
    if (stream.sinkFailure().failed()) return stream.sinkFailure();
    if (outcome.error.code == Errc::kStopped || outcome.error.code == Errc::kOutOfMemory) return outcome.error;
    if (outcome.ok()) result.written = true;
    result.inputs.push_back(std::move(outcome));
  }
  if (Error rest = stream.finish(); rest.failed()) return rest;
  return format.end({inputs, result.inputs, stream.firstHeader()});
}

}  // namespace

RunFileResult writeRunFile(const std::string& path, std::span<const Input> inputs, const RunFileOptions& options,
                           RunFileFormat& format) {
  RunFileResult result;
  try {
    ReplacedFile file(path);
    if (file.error().failed()) {
      result.error = file.error();
      return result;
    }
    const RunStart start = lookAtStarts(inputs, options.window, options.salvage);
    if (Error begun = format.begin(file, start); begun.failed()) {
      result.error = std::move(begun);
      return result;
    }
    if (Error written = writeInputs(inputs, options, format, result); written.failed()) {
      format.abandon();
      result.error = std::move(written);
      result.written = false;
      return result;
    }
    // Nothing read is nothing to replace a file with.
    const bool allRead = std::all_of(result.inputs.begin(), result.inputs.end(), [](const FileOutcome& each) { return each.ok(); });
    if (options.allOrNothing && !allRead) result.written = false;
    if (result.written) {
      result.error = file.commit();
      result.written = result.error.ok();
    }
  } catch (const std::bad_alloc&) {
    format.abandon();
    result.error = outOfMemory();
    result.written = false;
  }
  return result;
}

}  // namespace zolt
