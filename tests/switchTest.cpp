// Which lines each combination of switches keeps.
#include <gtest/gtest.h>

#include "runDecode.h"

namespace {

struct SwitchCase {
  std::vector<std::string> switches;
  const char* lines;
};

TEST(Switches, DataRecordsAndCounts) {
  Scratch scratch;
  const std::string name = scratch.file(
      "s.zlt", hexBytes("00 00 0002 012C 0064 51465A90 007B 0036EE80 02 000400 000000 000000 4000 0000 0000 0000"));
  const char* header = "FileHdr ver=2 ID=300 rate=100 03/18/2013 00:06:40.123 dur=3600.000\n";
  const char* closing = "File s.zlt: 1 data records in 3600.000 seconds\n";
  const std::string counted = std::string(header) + "1 Data Records\n" + closing;
  const std::string full = std::string(header) +
                           "Inertial Data  acc:  0.01562  0.00000  0.00000  quat:  1.00000  0.00000  0.00000  0.00000\n" +
                           closing;
  const std::string quiet = std::string(header) + closing;
  const std::vector<SwitchCase> cases = {
      {{}, counted.c_str()},          {{"-d"}, full.c_str()},         {{"-d", "-d"}, full.c_str()},
      {{"-t"}, quiet.c_str()},        {{"-s"}, quiet.c_str()},        {{"-p"}, quiet.c_str()},
      {{"-d", "-t"}, quiet.c_str()},  {{"-ds"}, quiet.c_str()},       {{"-p", "-d"}, quiet.c_str()},
  };
  for (const SwitchCase& c : cases) {
    std::vector<std::string> args = c.switches;
    args.push_back(name);
    EXPECT_EQ(scratch.run(args).out, fileReport(name, c.lines)) << testing::PrintToString(c.switches);
  }
}

}  // namespace
