// WebAssembly: the page that runs the program gives it its streams and
// never a mapped file, so there is nothing to guard.
#include "cli/processSetup.h"

std::vector<std::string> commandLineWords(int argc, char** argv) { return {argv, argv + argc}; }

void prepareProcess() {}
