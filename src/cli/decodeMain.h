// The decode program: parses the command line, runs the view it asks for
// over every named file, and returns the exit status.
#pragma once

int decodeMain(int argc, char** argv);
