#include "cli/fileMessages.h"

#include <unistd.h>

#include <cstring>
#include <string>
#include <string_view>

#include "cli/complain.h"
#include "cli/options.h"
#include "cli/outputFile.h"
#include "cli/standardOutput.h"
#include "core/fileSystem.h"
#include "output/recordingGuard.h"

namespace {

bool isFolder(const char* name) {
  return std::strcmp(name, "-") != 0 && zolt::fileStatus(name).kind == zolt::FileKind::kDirectory;
}

// A folder's recordings are named by a pattern the shell expands.
std::string recordingsIn(std::string_view folder) {
  return std::string(folder) + (folder.ends_with('/') ? "" : "/") + "*.dat";
}

// Stops at the first record that salvage keeps.
class AnyRecord : public zolt::RecordSink {
 public:
  void fileHeader(const zolt::FileHeader& /*record*/, uint64_t /*offset*/) override { found = true; }
  void secondMarker(const zolt::SecondMarker& /*record*/, uint64_t /*offset*/) override { found = true; }
  void data(const zolt::DataRecord& /*record*/, uint64_t /*offset*/) override { found = true; }
  void pressure(const zolt::PressureRecord& /*record*/, uint64_t /*offset*/) override { found = true; }
  void index(const zolt::IndexRecord& /*record*/, uint64_t /*offset*/) override { found = true; }
  void system(const zolt::SystemRecord& /*record*/, uint64_t /*offset*/) override { found = true; }
  bool found = false;
};

// Stops at the first byte, read literally, that is no record type.
class AnyUnknownByte : public zolt::RecordSink {
 public:
  void unknownType(uint8_t /*type*/, uint64_t /*offset*/) override { found = true; }
  bool found = false;
};

template <typename Sink>
bool found(const char* name, bool salvage) {
  Sink sink;
  (void)zolt::scan(inputNamed(name), sink, {[&sink] { return !sink.found; }, salvage});
  return sink.found;
}

// A file whose every byte reads as records (the last may be cut short) is
// one, whatever salvage would make of it. Otherwise a file whose start does not
// read as a recording holds one only if salvage keeps something of it:
// such files are looked through whole, but only they, and they are rarely
// large.
bool holdsNothingOfTheLogger(const char* name) {
  if (std::strcmp(name, "-") == 0) return false;
  const zolt::FileStatus status = zolt::fileStatus(name);
  if (status.kind != zolt::FileKind::kRegular || status.size == 0 || zolt::startsAsRecording(inputNamed(name))) {
    return false;
  }
  return found<AnyUnknownByte>(name, false) && !found<AnyRecord>(name, true);
}

}  // namespace

zolt::Input inputNamed(const char* name) {
  if (std::strcmp(name, "-") == 0) return zolt::Input::descriptor(STDIN_FILENO);
  // Read, not mapped: where a page fault is dear (a virtual machine's
  // memory), faulting in a mapping costs twice the reading of the same
  // bytes into one reused buffer, and is no faster where faults are cheap.
  return zolt::Input::path(name);
}

bool told(const char* name, const zolt::Error& error) {
  stopIfWriteFailed(error);
  if (error.ok()) return true;
  if (isFolder(name)) {
    complain("cannot read %s: it is a folder; name the recordings in it, as %s", shownName(name).c_str(),
             shownName(recordingsIn(name)).c_str());
    return false;
  }
  const char* verb = error.code == zolt::Errc::kCannotOpen ? "open" : "read";
  complain("cannot %s %s: %s", verb, shownName(name).c_str(), zolt::describe(error).c_str());
  return false;
}

void tellDamage(const char* name, const zolt::Damage& damage) {
  for (const std::string& note : zolt::damageNotes(damage)) complain("%s: %s", shownName(name).c_str(), note.c_str());
}

std::vector<char*> recordFilesAmong(const std::vector<char*>& names, int& status) {
  std::vector<char*> kept;
  kept.reserve(names.size());
  for (char* name : names) {
    if (holdsNothingOfTheLogger(name)) {
      complain("%s: not a record file of this logger", shownName(name).c_str());
      status = kExitFileFailed;
    } else {
      kept.push_back(name);
    }
  }
  return kept;
}

bool isOutput(const char* name) {
  if (!isStandardOutput(name)) return false;
  complain("%s: input file is output file", shownName(name).c_str());
  return true;
}

int refuseNoInput() {
  complain("no input file named (see man decode)");
  return kExitUsage;
}
