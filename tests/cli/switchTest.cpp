// Which lines each combination of switches keeps.
#include <gtest/gtest.h>

#include "runDecode.h"

namespace {

// One file with every record type, and the lines that each combination keeps.
TEST(Switches, FollowTheMatrixForEveryRecordType) {
  const std::string data1 = "02 000400 000000 000000 4000 0000 0000 0000 ";
  const std::string data2 = "02 FF8000 010000 000001 4000 0000 E000 2000 ";
  Scratch scratch;
  const std::string name = scratch.file(
      "m.zlt", hexBytes("00 00 0002 012C 0064 51465A90 007B 0036EE80 01 00 51465A90 " + data1 + data2 +
                        "03 00 8000 04 00 51465A90 007B 000004D2 00018000 64303030312E646174 00000000000000 "
                        "05 00 51465A90 8000 6590 8000 3333 9C40 8000 01 00 51465A91 " + data1));
  const std::string H = "FileHdr ver=2 ID=300 rate=100 03/18/2013 00:06:40.123 dur=3600.000\n";
  const std::string M1 = "Second Marker 03/18/2013 00:06:40\n";
  const std::string M2 = "Second Marker 03/18/2013 00:06:41\n";
  const std::string D1 = "Inertial Data  acc:  0.01562  0.00000  0.00000  quat:  1.00000  0.00000  0.00000  0.00000\n";
  const std::string D2 = "Inertial Data  acc: -0.50000  1.00000  0.00002  quat:  1.00000  0.00000 -0.50000  0.50000\n";
  const std::string P = "Ext Pressure 32768 counts  1.25 volts 35.000 bar\n";
  const std::string I = "Index 03/18/2013 00:06:40.123 dur=1.234 maxVal=1.5000 file=d0001.dat\n";
  const std::string S =
      "Sys Rcd 03/18/2013 00:06:40 Batt 15.14V Vmodem 12.01V ExtPress 35.000 bar IntPress 12.50 psia "
      "Temp 102.6 degC Hum 35.1%\n";
  const std::string E = "File m.zlt: 3 data records in 3600.000 seconds\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, H + M1 + "2 Data Records\n" + P + I + S + M2 + "1 Data Records\n" + E},
      {{"-d"}, H + M1 + D1 + D2 + P + I + S + M2 + D1 + E},
      {{"-d", "-d"}, H + M1 + D1 + D2 + P + I + S + M2 + D1 + E},
      {{"-t"}, H + E},
      {{"-s"}, H + I + S + E},
      {{"-p"}, H + P + I + E},
      {{"-s", "-p"}, H + I + E},
      {{"-t", "-s"}, H + E},
      {{"-d", "-s"}, H + I + S + E},
      {{"-dp"}, H + P + I + E},
      {{"-d", "-t"}, H + E},
      {{"-dtsp"}, H + E},
  };
  for (const auto& [switches, lines] : cases) {
    std::vector<std::string> args = switches;
    args.push_back(name);
    const RunResult result = scratch.run(args);
    EXPECT_EQ(result.out, fileReport(name, lines)) << testing::PrintToString(switches);
    EXPECT_EQ(result.status, 0);
  }
}

}  // namespace
