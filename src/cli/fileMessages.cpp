#include "cli/fileMessages.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "cli/complain.h"
#include "cli/options.h"
#include "cli/outputFile.h"
#include "cli/standardOutput.h"

zolt::Input inputNamed(const char* name) {
  if (std::strcmp(name, "-") == 0) return zolt::Input::descriptor(STDIN_FILENO);
  return zolt::Input::mappedPath(name);
}

bool told(const char* name, const zolt::Error& error) {
  stopIfWriteFailed(error);
  if (error.ok()) return true;
  const char* verb = error.code == zolt::Errc::kCannotOpen ? "open" : "read";
  complain("cannot %s %s: %s", verb, shownName(name).c_str(), zolt::describe(error).c_str());
  return false;
}

void tellDamage(const char* name, const zolt::Damage& damage) {
  for (const std::string& note : zolt::damageNotes(damage)) complain("%s: %s", shownName(name).c_str(), note.c_str());
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
