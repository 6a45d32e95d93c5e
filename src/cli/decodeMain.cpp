// The program: the command line checked, then the view it chose run over
// the named files.
#include "cli/decodeMain.h"

#include <string>
#include <string_view>

#include "cli/options.h"
#include "cli/processSetup.h"

namespace {

// The command line as a shell would take it back, for the file's history.
std::string commandLine(int argc, char** argv) {
  std::string line = "decode";
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    const bool plain = !word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                                "0123456789-_=./:,+@%") == std::string_view::npos;
    line += ' ';
    if (plain) {
      line += word;
      continue;
    }
    line += '\'';
    for (const char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += '\'';
  }
  return line;
}

int carryOut(int argc, char** argv) {
  const Request request = parseCommandLine(argc, argv);
  if (request.stop) return kExitOk;
  ViewChoice choice;
  if (const int refused = checkViewRequest(request, choice); refused != 0) return refused;
  choice.history = commandLine(argc, argv);
  return choice.run(choice);
}

}  // namespace

int decodeMain(int argc, char** argv) {
  prepareProcess();
  return carryOut(argc, argv);
}
