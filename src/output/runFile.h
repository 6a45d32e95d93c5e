// A whole run written into one file, whole or not at all: the shared part
// of every writer of a run. The run is looked at first, then read once into
// the format's tables a chunk at a time; the file is written under a
// temporary name beside its path and renamed when complete, and given up
// on any failure. A format says what the file holds.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "output/replacedFile.h"
#include "views/tableStream.h"

namespace zolt {

// What is known once every input has been read.
struct RunEnd {
  std::span<const Input> inputs;
  std::span<const FileOutcome> outcomes;  // one for each input
  const std::optional<FileHeader>& firstHeader;
};

class RunFileFormat : public ChunkSink {
 public:
  // Begins the file, which `file` has made under its temporary name.
  virtual Error begin(ReplacedFile& file, const RunStart& start) = 0;
  // Ends the file once every row is written; it is renamed into place if
  // this goes well.
  virtual Error end(const RunEnd& run) = 0;
  // Gives the file up after a failure, after begin() went well.
  virtual void abandon() = 0;
};

struct RunFileOptions {
  std::vector<StreamedTable> tables;
  TimeWindow window;
  KeepGoing keepGoing;
  bool salvage = false;
  // Write nothing unless every input could be read to its end.
  bool allOrNothing = false;
};

struct RunFileResult {
  Error error;                      // why the file is not there; inputs that failed are in `inputs`
  std::vector<FileOutcome> inputs;  // one for each input read
  bool written = false;             // false too when no input could be read
};

RunFileResult writeRunFile(const std::string& path, std::span<const Input> inputs, const RunFileOptions& options,
                           RunFileFormat& format);

}  // namespace zolt
