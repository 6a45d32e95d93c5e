#include "cli/decodeMain.h"

int main(int argc, char** argv) { return decodeMain(argc, argv); }
