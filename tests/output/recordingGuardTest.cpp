// What a writer takes for a recording it must not replace: a file's first
// bytes in, the verdict out. A recording missed is lost; anything else
// taken for one is only refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/recordingGuard.h"
#include "runDecode.h"

namespace {

const std::string kHeader = "00 00 0002 012C 0064 51465A90 007B 0036EE80 ";
const std::string kData = "02 FF8000 010000 000001 4000 0000 E000 2000 ";
std::string marker(const char* time) { return std::string("01 00 ") + time + " "; }

TEST(RecordingGuard, WhatReadsAsARecording) {
  struct Case {
    const char* what;
    std::string hex;
    bool recording;
  };
  const std::vector<Case> cases = {
      {"a header alone", kHeader, true},
      {"a header and a marker", kHeader + marker("51465A90"), true},
      {"a header of rate 0", "00 00 0002 012C 0000 51465A90 007B 0036EE80 " + marker("51465A90"), false},
      {"a header followed by no record", kHeader + "FF", false},
      {"markers a second apart, no header", marker("51465A90") + kData + marker("51465A91"), true},
      {"the same, from inside a data record", kData.substr(9) + kData + marker("51465A90") + kData + marker("51465A91"),
       true},
      {"markers of one second", marker("51465A90") + kData + marker("51465A90"), false},
      {"markers a minute apart", marker("51465A90") + kData + marker("51465ACC"), false},
      {"text", "74 69 6D 65 2C 78 0A 31 2C 32 0A", false},
      {"a picture", "89504E470D0A1A0A 0000000D49484452 0000010000000100 0806000000", false},
      {"zeros", std::string(3 * 18, '0'), false},
      {"nothing", "", false},
  };
  for (const Case& c : cases) {
    const Bytes bytes = hexBytes(c.hex);
    EXPECT_EQ(zolt::readsAsRecording(bytes), c.recording) << c.what;
  }
}

}  // namespace
