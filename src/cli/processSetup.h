// What the program sets up before it reads its command line, which differs
// from system to system: one source for each.
#pragma once

#include <string>
#include <vector>

// The command line's words in UTF-8, whatever the system gives main().
std::vector<std::string> commandLineWords(int argc, char** argv);

// Standard streams made safe and binary, mapped files guarded.
void prepareProcess();
