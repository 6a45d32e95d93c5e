// Record bytes in, exact report lines out: one table per record type.
#include <gtest/gtest.h>

#include "runDecode.h"

namespace {

struct RecordCase {
  const char* what;
  std::vector<std::string> switches;
  const char* hex;
  const char* lines;  // the report between the announcement and the end
};

void expectReports(const std::vector<RecordCase>& cases) {
  Scratch scratch;
  for (const RecordCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = c.switches;
    args.push_back(scratch.file("r.zlt", hexBytes(c.hex)));
    const RunResult result = scratch.run(args);
    EXPECT_EQ(result.out, fileReport("r.zlt", c.lines));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
  }
}

TEST(FileHeader, PrintsEveryField) {
  expectReports({
      {"reference header", {}, "00 00 0002 012C 0064 51465A90 007B 0036EE80",
       "FileHdr ver=2 ID=300 rate=100 03/18/2013 00:06:40.123 dur=3600.000\n"},
      {"pad byte ignored, largest fields", {}, "00 A5 FFFF FFFF FFFF 00000000 0000 FFFFFFFF",
       "FileHdr ver=65535 ID=65535 rate=65535 01/01/1970 00:00:00.000 dur=4294967.295\n"},
      {"ms padded to three digits", {}, "00 00 0001 0002 0003 00000000 0005 000004D2",
       "FileHdr ver=1 ID=2 rate=3 01/01/1970 00:00:00.005 dur=1.234\n"},
      {"ms is a signed 16-bit number", {}, "00 00 0000 0000 0000 00000000 9C40 00000000",
       "FileHdr ver=0 ID=0 rate=0 01/01/1970 00:00:00.-25536 dur=0.000\n"},
      {"ms of all ones", {}, "00 00 0000 0000 0000 00000000 FFFF 00000000",
       "FileHdr ver=0 ID=0 rate=0 01/01/1970 00:00:00.-01 dur=0.000\n"},
      {"one second before the epoch", {}, "00 00 0000 0000 0000 FFFFFFFF 0000 00000000",
       "FileHdr ver=0 ID=0 rate=0 12/31/1969 23:59:59.000 dur=0.000\n"},
      {"earliest time", {}, "00 00 0000 0000 0000 80000000 0000 00000000",
       "FileHdr ver=0 ID=0 rate=0 12/13/1901 20:45:52.000 dur=0.000\n"},
      {"latest time", {}, "00 00 0000 0000 0000 7FFFFFFF 0000 00000000",
       "FileHdr ver=0 ID=0 rate=0 01/19/2038 03:14:07.000 dur=0.000\n"},
      {"leap day", {}, "00 00 0000 0000 0000 38BBBCD4 03E7 00000001",
       "FileHdr ver=0 ID=0 rate=0 02/29/2000 12:34:28.999 dur=0.001\n"},
      {"every switch prints it", {"-d", "-t", "-s", "-p"}, "00 00 0002 012C 0064 51465A90 007B 0036EE80",
       "FileHdr ver=2 ID=300 rate=100 03/18/2013 00:06:40.123 dur=3600.000\n"},
      {"two headers", {}, "00 00 0001 0001 0001 00000000 0000 00000000 00 00 0002 0002 0002 00000001 0000 00000000",
       "FileHdr ver=1 ID=1 rate=1 01/01/1970 00:00:00.000 dur=0.000\n"
       "FileHdr ver=2 ID=2 rate=2 01/01/1970 00:00:01.000 dur=0.000\n"},
  });
}

TEST(DataRecord, PrintsFixedPointValuesUnderD) {
  const char* closing = "File r.zlt: 1 data records in 0.000 seconds\n";
  auto line = [&](const std::string& values) { return "Inertial Data  " + values + "\n" + closing; };
  const std::string reference = line("acc: -0.50000  1.00000  0.00002  quat:  1.00000  0.00000 -0.50000  0.50000");
  const std::string extremes = line("acc: 127.99998 -128.00000 -0.00002  quat:  1.99994 -2.00000 -1.00000 -0.00006");
  const std::string ties = line("acc:  0.01562  0.04688 -0.01562  quat:  0.01562  0.04688 -0.01562 -0.04688");
  expectReports({
      {"reference record", {"-d"}, "02 FF8000 010000 000001 4000 0000 E000 2000", reference.c_str()},
      {"extremes", {"-d"}, "02 7FFFFF 800000 FFFFFF 7FFF 8000 C000 FFFF", extremes.c_str()},
      {"ties go to the even digit", {"-d"}, "02 000400 000C00 FFFC00 0100 0300 FF00 FD00", ties.c_str()},
  });
}

TEST(DataRecord, IsCountedWithoutSwitches) {
  expectReports({
      {"a run of data records", {}, "02 000000000000000000 0000000000000000 02 000000000000000000 0000000000000000",
       "2 Data Records\nFile r.zlt: 2 data records in 0.000 seconds\n"},
      {"an unknown type does not end the run", {},
       "02 000000000000000000 0000000000000000 06 02 000000000000000000 0000000000000000",
       "Unknown Record type: 6\n2 Data Records\nFile r.zlt: 2 data records in 0.000 seconds\n"},
      {"a file header does not end the run", {},
       "02 000000000000000000 0000000000000000 00 00 0002 012C 0064 51465A90 007B 0036EE80 "
       "02 000000000000000000 0000000000000000",
       "FileHdr ver=2 ID=300 rate=100 03/18/2013 00:06:40.123 dur=3600.000\n"
       "2 Data Records\nFile r.zlt: 2 data records in 3600.000 seconds\n"},
  });
}

std::string repeat(const std::string& hex, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += hex + " ";
  return all;
}

TEST(SecondMarker, FramesTheCountLines) {
  const std::string data = "02 000000 000000 000000 0000 0000 0000 0000";
  const std::string file = "00 00 0002 012C 0064 51465A90 007B 0036EE80 01 00 51465A90 " + repeat(data, 25) +
                           "01 FF 51465A91 " + repeat(data, 3);
  expectReports({
      {"a minute of markers and data", {}, file.c_str(),
       "FileHdr ver=2 ID=300 rate=100 03/18/2013 00:06:40.123 dur=3600.000\n"
       "Second Marker 03/18/2013 00:06:40\n25 Data Records\nSecond Marker 03/18/2013 00:06:41\n"
       "3 Data Records\nFile r.zlt: 28 data records in 3600.000 seconds\n"},
      {"before the epoch", {}, "01 00 FFFFFFFF", "Second Marker 12/31/1969 23:59:59\n"},
      {"epoch", {"-d"}, "01 00 00000000", "Second Marker 01/01/1970 00:00:00\n"},
      {"suppressed but consumed under -t", {"-t"}, "01 00 00000006 07", "Unknown Record type: 7\n"},
      {"suppressed but consumed under -s", {"-s"}, "01 00 00000006 07", "Unknown Record type: 7\n"},
      {"suppressed but consumed under -p", {"-d", "-p"}, "01 00 00000006 07", "Unknown Record type: 7\n"},
  });
}

TEST(IndexRecord, PrintsTimeDurationMaximumAndName) {
  const std::string name = "64303030312E646174 00000000000000";  // d0001.dat
  const std::string reference = "04 00 51465A90 007B 000004D2 00018000 " + name;
  const std::string single = "04 00 00000000 0000 00000000 12345678 " + name;
  const std::string rounded = "04 00 00000000 FFFF FFFFFFFF FFFFFFFF " + name;
  const std::string longName = "04 00 00000000 0000 00000000 00000000 41424344454647484950515253545556";
  const std::string referenceThenSix = reference + " 06";
  const std::string dataThenIndex = "02 000000 000000 000000 0000 0000 0000 0000 " + single;
  expectReports({
      {"reference record", {}, reference.c_str(),
       "Index 03/18/2013 00:06:40.123 dur=1.234 maxVal=1.5000 file=d0001.dat\n"},
      {"maxVal in single precision", {}, single.c_str(),
       "Index 01/01/1970 00:00:00.000 dur=0.000 maxVal=4660.3379 file=d0001.dat\n"},
      {"largest fields", {}, rounded.c_str(),
       "Index 01/01/1970 00:00:00.-01 dur=4294967.295 maxVal=65536.0000 file=d0001.dat\n"},
      {"a name without an end shows 15 characters", {}, longName.c_str(),
       "Index 01/01/1970 00:00:00.000 dur=0.000 maxVal=0.0000 file=ABCDEFGHIPQRSTU\n"},
      {"kept under -s", {"-s"}, reference.c_str(),
       "Index 03/18/2013 00:06:40.123 dur=1.234 maxVal=1.5000 file=d0001.dat\n"},
      {"kept under -p", {"-p", "-d"}, reference.c_str(),
       "Index 03/18/2013 00:06:40.123 dur=1.234 maxVal=1.5000 file=d0001.dat\n"},
      {"suppressed but consumed under -t", {"-t"}, referenceThenSix.c_str(), "Unknown Record type: 6\n"},
      {"ends a run of data records", {}, dataThenIndex.c_str(),
       "1 Data Records\nIndex 01/01/1970 00:00:00.000 dur=0.000 maxVal=4660.3379 file=d0001.dat\n"
       "File r.zlt: 1 data records in 0.000 seconds\n"},
  });
}

TEST(PressureRecord, PrintsCountsVoltsAndBar) {
  expectReports({
      {"mid scale", {}, "03 00 8000", "Ext Pressure 32768 counts  1.25 volts 35.000 bar\n"},
      {"zero is converted, not clamped", {}, "03 00 0000", "Ext Pressure 0 counts  0.00 volts -8.750 bar\n"},
      {"volts tie goes to the even digit", {}, "03 5A 4000", "Ext Pressure 16384 counts  0.62 volts 13.125 bar\n"},
      {"volts tie rounds up to even", {}, "03 00 C000", "Ext Pressure 49152 counts  1.88 volts 56.875 bar\n"},
      {"full scale", {}, "03 00 FFFF", "Ext Pressure 65535 counts  2.50 volts 78.749 bar\n"},
      {"kept under -p", {"-p"}, "03 00 8000", "Ext Pressure 32768 counts  1.25 volts 35.000 bar\n"},
      {"suppressed but consumed under -s", {"-s"}, "03 00 0006 06", "Unknown Record type: 6\n"},
      {"suppressed but consumed under -t", {"-t", "-p"}, "03 00 0006 06", "Unknown Record type: 6\n"},
      {"ends a run of data records", {}, "02 000000 000000 000000 0000 0000 0000 0000 03 00 8000",
       "1 Data Records\nExt Pressure 32768 counts  1.25 volts 35.000 bar\n"
       "File r.zlt: 1 data records in 0.000 seconds\n"},
  });
}

TEST(SystemRecord, PrintsHousekeepingInEngineeringUnits) {
  expectReports({
      {"reference record", {}, "05 00 51465A90 8000 6590 8000 3333 9C40 8000",
       "Sys Rcd 03/18/2013 00:06:40 Batt 15.14V Vmodem 12.01V ExtPress 35.000 bar IntPress 12.50 psia "
       "Temp 102.6 degC Hum 35.1%\n"},
      {"single precision ties and the double supply law", {}, "05 00 00000000 C142 0000 0000 0000 3333 B225",
       "Sys Rcd 01/01/1970 00:00:00 Batt 22.86V Vmodem  0.00V ExtPress -8.750 bar IntPress -12.50 psia "
       "Temp -0.0 degC Hum 58.2%\n"},
      {"full scale", {}, "05 00 FFFFFFFF FFFF FFFF FFFF FFFF FFFF FFFF",
       "Sys Rcd 12/31/1969 23:59:59 Batt 30.27V Vmodem 30.27V ExtPress 78.749 bar IntPress 112.50 psia "
       "Temp 200.0 degC Hum 94.1%\n"},
      {"kept under -s", {"-s"}, "05 00 00000000 0000 0000 0000 0000 0000 7448",
       "Sys Rcd 01/01/1970 00:00:00 Batt  0.00V Vmodem  0.00V ExtPress -8.750 bar IntPress -12.50 psia "
       "Temp -50.0 degC Hum 29.8%\n"},
      {"suppressed but consumed under -p", {"-p"}, "05 00 00000000 0000 0000 0000 0000 0000 0006 06",
       "Unknown Record type: 6\n"},
      {"suppressed but consumed under -t", {"-t"}, "05 00 00000000 0000 0000 0000 0000 0000 0006 06",
       "Unknown Record type: 6\n"},
  });
}

TEST(UnknownType, IsReportedByteByByte) {
  expectReports({
      {"every byte above 5 alone", {}, "06 FF 80", "Unknown Record type: 6\nUnknown Record type: 255\nUnknown Record type: 128\n"},
      {"under every switch", {"-t", "-s"}, "07", "Unknown Record type: 7\n"},
      {"empty file", {}, "", ""},
  });
}

}  // namespace
