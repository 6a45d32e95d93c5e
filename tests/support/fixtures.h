// Inputs that several test files decode.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "runDecode.h"

// One record of every type, each with a field worth checking.
inline const Bytes kEveryType = hexBytes(
    "00 A5 0002 012C 0064 51465A90 007B 0036EE80 "
    "01 5A 51465A90 "
    "02 FF8000 010000 000001 4000 0000 E000 2000 "
    "03 5A 8000 "
    "04 5A 51465A90 007B 000004D2 00018000 64303030312E646174 00000000000000 "
    "05 5A 51465A90 8000 6590 8000 3333 9C40 8000");

#ifdef SOURCE_DIR
// The bundled one-minute recording.
inline Bytes sampleRecording() {
  std::ifstream in(std::string(SOURCE_DIR) + "/examples/d0001.dat", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
#endif
