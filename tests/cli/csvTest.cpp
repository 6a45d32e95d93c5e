// CSV tables through the binary: bytes in, rows out, one table per record
// type; the time window; and every way a run can be refused or hurt.
#include <gtest/gtest.h>

#include "runDecode.h"

namespace {

const std::string kHeader = "00 00 0002 012C 0064 51465A90 007B 0036EE80 ";  // rate 100
const std::string kMarker = "01 00 51465A90 ";                               // 2013-03-18T00:06:40Z
const std::string kData = "02 FF8000 010000 000001 4000 0000 E000 2000 ";
const std::string kName = "64303030312E646174 00000000000000";  // d0001.dat

struct TableCase {
  const char* what;
  std::vector<std::string> args;  // before the file name
  std::string hex;
  std::string rows;  // after the header row
};

void expectTables(const std::string& headerRow, const std::vector<TableCase>& cases) {
  Scratch scratch;
  for (const TableCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = c.args;
    args.push_back(scratch.file("r.zlt", hexBytes(c.hex)));
    const RunResult result = scratch.run(args);
    EXPECT_EQ(result.out, headerRow + c.rows);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
  }
}

TEST(CsvTables, Header) {
  expectTables("time,ver,id,rate,duration_s\n", {
      {"reference", {"--csv=header"}, kHeader, "2013-03-18T00:06:40.123Z,2,300,100,3600.0\n"},
      {"ms over 999 carries into the seconds", {"--csv=header"}, "00 00 0001 0002 0003 7FFFFFFF FFFF FFFFFFFF",
       "2038-01-19T03:15:12.535Z,1,2,3,4294967.295\n"},
      {"before the epoch", {"--csv=header"}, "00 00 FFFF FFFF FFFF 80000000 0005 000004D0",
       "1901-12-13T20:45:52.005Z,65535,65535,65535,1.232\n"},
      {"no other record type", {"--csv=header"}, kMarker + kData + "03 00 8000", ""},
  });
}

TEST(CsvTables, Marker) {
  expectTables("time\n", {
      {"each marker", {"--csv=marker"}, kMarker + kData + "01 00 FFFFFFFF 01 00 00000000",
       "2013-03-18T00:06:40.000Z\n1969-12-31T23:59:59.000Z\n1970-01-01T00:00:00.000Z\n"},
  });
}

TEST(CsvTables, Data) {
  const std::string zero = "02 000000 000000 000000 0000 0000 0000 0000 ";
  const std::string rate3 = "00 00 0002 012C 0003 51465A90 007B 0036EE80 ";
  const std::string rate0 = "00 00 0002 012C 0000 51465A90 007B 0036EE80 ";
  expectTables("time,sample,acc_x,acc_y,acc_z,quat_0,quat_1,quat_2,quat_3\n", {
      {"exact values", {"--csv=data"}, kHeader + kMarker + kData,
       "2013-03-18T00:06:40.000000Z,0,-0.5,1.0,0.0000152587890625,1.0,0.0,-0.5,0.5\n"},
      {"extremes", {"--csv=data"}, "02 7FFFFF 800000 FFFFFF 7FFF 8000 C000 FFFF",
       ",0,127.9999847412109375,-128.0,-0.0000152587890625,1.99993896484375,-2.0,-1.0,-0.00006103515625\n"},
      {"samples count from each marker at the header's rate", {"--csv=data"},
       kHeader + zero + kMarker + zero + zero + "01 00 51465A91 " + zero,
       ",0,0.0,0.0,0.0,0.0,0.0,0.0,0.0\n"
       "2013-03-18T00:06:40.000000Z,0,0.0,0.0,0.0,0.0,0.0,0.0,0.0\n"
       "2013-03-18T00:06:40.010000Z,1,0.0,0.0,0.0,0.0,0.0,0.0,0.0\n"
       "2013-03-18T00:06:41.000000Z,0,0.0,0.0,0.0,0.0,0.0,0.0,0.0\n"},
      {"to the nearest microsecond", {"--csv=data"}, rate3 + kMarker + zero + zero + zero + zero,
       "2013-03-18T00:06:40.000000Z,0,0.0,0.0,0.0,0.0,0.0,0.0,0.0\n"
       "2013-03-18T00:06:40.333333Z,1,0.0,0.0,0.0,0.0,0.0,0.0,0.0\n"
       "2013-03-18T00:06:40.666667Z,2,0.0,0.0,0.0,0.0,0.0,0.0,0.0\n"
       "2013-03-18T00:06:41.000000Z,3,0.0,0.0,0.0,0.0,0.0,0.0,0.0\n"},
      {"rate 0 keeps the marker's time", {"--csv=data"}, rate0 + kMarker + zero + zero,
       "2013-03-18T00:06:40.000000Z,0,0.0,0.0,0.0,0.0,0.0,0.0,0.0\n"
       "2013-03-18T00:06:40.000000Z,1,0.0,0.0,0.0,0.0,0.0,0.0,0.0\n"},
  });
}

TEST(CsvTables, Pressure) {
  expectTables("time,counts,volts,ext_press_bar\n", {
      {"before and after a marker", {"--csv=pressure"}, "03 00 8000 " + kMarker + "03 5A 0001 03 00 FFFF",
       ",32768,1.25,35.0\n"
       "2013-03-18T00:06:40.000Z,1,0.00003814697265625,-8.748665\n"
       "2013-03-18T00:06:40.000Z,65535,2.49996185302734375,78.748665\n"},
  });
}

TEST(CsvTables, Index) {
  const std::string hostile = "612C62225C E9 0A 7A 0000000000000000";  // a,b"\ é newline z
  expectTables("time,duration_s,max_val,file\n", {
      {"reference", {"--csv=index"}, "04 00 51465A90 007B 000004D2 00018000 " + kName,
       "2013-03-18T00:06:40.123Z,1.234,1.5,d0001.dat\n"},
      {"largest values, 15-byte name", {"--csv=index"},
       "04 00 00000000 FFFF FFFFFFFF FFFFFFFF 41424344454647484950515253545556",
       "1970-01-01T00:01:05.535Z,4294967.295,65535.9999847412109375,ABCDEFGHIPQRSTU\n"},
      {"a name that needs escaping and quoting", {"--csv=index"}, "04 00 00000000 0000 00000000 00000000 " + hostile,
       "1970-01-01T00:00:00.000Z,0.0,0.0,\"a,b\"\"\\\\\\xE9\\x0Az\"\n"},
  });
}

TEST(CsvTables, System) {
  expectTables("time,batt_V,vmodem_V,ext_press_bar,int_press_psia,temp_degC,hum_pct\n", {
      {"reference", {"--csv=system"}, "05 00 51465A90 8000 6590 8000 3333 9C40 8000",
       "2013-03-18T00:06:40.000Z,15.1375,12.010955810546875,35.0,12.499619,102.58789,35.14875\n"},
      {"zero counts", {"--csv=system"}, "05 00 00000000 0000 0000 0000 0000 0000 B225",
       "1970-01-01T00:00:00.000Z,0.0,0.0,-8.75,-12.5,-50.0,58.25\n"},
  });
}

TEST(CsvTables, RowsOfEveryFileFormOneTable) {
  Scratch scratch;
  const std::string first = scratch.file("a.zlt", hexBytes(kHeader + kMarker + kData));
  const std::string second = scratch.file("b.zlt", hexBytes(kData + "01 00 51465A91 " + kData));
  const RunResult result = scratch.run({"--csv=data", first, second});
  EXPECT_EQ(result.out,
            "time,sample,acc_x,acc_y,acc_z,quat_0,quat_1,quat_2,quat_3\n"
            "2013-03-18T00:06:40.000000Z,0,-0.5,1.0,0.0000152587890625,1.0,0.0,-0.5,0.5\n"
            ",0,-0.5,1.0,0.0000152587890625,1.0,0.0,-0.5,0.5\n"
            "2013-03-18T00:06:41.000000Z,0,-0.5,1.0,0.0000152587890625,1.0,0.0,-0.5,0.5\n");
  EXPECT_EQ(result.status, 0);
}

TEST(CsvTables, WindowKeepsFromAndDropsTo) {
  Scratch scratch;
  const std::string zero = "02 000000 000000 000000 0000 0000 0000 0000 ";
  const std::string name = scratch.file("w.zlt", hexBytes(kHeader + zero + kMarker + zero + zero + zero));
  const std::string headerRow = "time,sample\n";
  auto times = [&](const std::vector<std::string>& window) {
    std::vector<std::string> args = {"--csv=data"};
    args.insert(args.end(), window.begin(), window.end());
    args.push_back(name);
    const RunResult result = scratch.run(args);
    EXPECT_EQ(result.status, 0);
    std::string kept;  // time and sample of each row
    for (size_t at = result.out.find('\n') + 1; at < result.out.size(); at = result.out.find('\n', at) + 1) {
      kept += result.out.substr(at, result.out.find(',', result.out.find(',', at) + 1) - at) + ";";
    }
    return kept;
  };
  EXPECT_EQ(times({}), ",0;2013-03-18T00:06:40.000000Z,0;2013-03-18T00:06:40.010000Z,1;2013-03-18T00:06:40.020000Z,2;");
  EXPECT_EQ(times({"--from=2013-03-18T00:06:40.010Z"}), "2013-03-18T00:06:40.010000Z,1;2013-03-18T00:06:40.020000Z,2;");
  EXPECT_EQ(times({"--to=2013-03-18T00:06:40.01"}), "2013-03-18T00:06:40.000000Z,0;");
  EXPECT_EQ(times({"--from=2013-03-18T00:06:40.000001", "--to=2013-03-18T00:06:40.020001"}),
            "2013-03-18T00:06:40.010000Z,1;2013-03-18T00:06:40.020000Z,2;");
  EXPECT_EQ(times({"--from=2013-03-18", "--to=2013-03-18T00:06"}), "");
  EXPECT_EQ(times({"--from=2013-03-18T00:06Z"}), times({"--from=2013-03-18T00:06:00.000"}));
}

TEST(CsvTables, BadOptionsAreRefusedBeforeAnythingIsDecoded) {
  Scratch scratch;
  const std::string name = scratch.file("a.zlt", hexBytes(kHeader + kMarker + kData));
  const std::vector<std::vector<std::string>> refused = {
      {"--csv=datum", name},
      {"--csv=data", "--from=2026-02-29", name},
      {"--csv=data", "--from=2026-12-01T24:00", name},
      {"--csv=data", "--to=2026-12-01 00:00", name},
      {"--csv=data", "--to=2026-12-01T00:00:00.1234567", name},
      {"--csv=data", "--to=26-12-01", name},
      {"--csv=data", "--from=2026-12-01", "--to=2026-12-01", name},
      {"--from=2026-12-01", name},
      {"--to=2026-12-01", "-t", name},
      {"--csv=data", "-d", name},
      {"-s", "--csv=index", name},
      {"--csv=data", "--form=2026-12-01", name},
      {"--csv=data"},
  };
  for (const auto& args : refused) {
    SCOPED_TRACE(testing::PrintToString(args));
    const RunResult result = scratch.run(args);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("man decode)\n"), std::string::npos) << result.err;
  }
}

TEST(CsvTables, DamageIsToldOnStandardErrorAndNothingInvented) {
  Scratch scratch;
  const std::string good = scratch.file("good.zlt", hexBytes(kMarker));
  const std::string odd = scratch.file("odd.zlt", hexBytes(kHeader + "07 " + kMarker + "FF FE 01 00 5146"));
  const RunResult result = scratch.run({"--csv=marker", good, "missing.zlt", odd, good});
  EXPECT_EQ(result.out, "time\n2013-03-18T00:06:40.000Z\n2013-03-18T00:06:40.000Z\n2013-03-18T00:06:40.000Z\n");
  EXPECT_EQ(result.err,
            "decode: cannot open missing.zlt: No such file or directory\n"
            "decode: odd.zlt: 3 bytes of unknown record type, the first at offset 18\n"
            "decode: odd.zlt: record of type 1 cut short at offset 27 (4 bytes there), not written\n");
  EXPECT_EQ(result.status, 1);
}

// Record sizes with the type byte, by type.
constexpr size_t kRecordSize[] = {18, 6, 18, 4, 32, 18};

TEST(CsvTables, EveryCutGivesTheRowsOfTheWholeRecordsBeforeIt) {
  const Bytes file = hexBytes(kHeader + kMarker + kData + "03 5A 8000 04 5A 51465A90 007B 000004D2 00018000 " +
                              kName + " 05 5A 51465A90 8000 6590 8000 3333 9C40 8000");
  Scratch scratch;
  for (const char* table : {"--csv=header", "--csv=marker", "--csv=data", "--csv=pressure", "--csv=index",
                            "--csv=system"}) {
    size_t whole = 0;  // bytes of the records that end at or before the cut
    for (size_t length = 0; length <= file.size(); ++length) {
      SCOPED_TRACE(std::string(table) + " cut after " + std::to_string(length));
      if (whole < length && whole + kRecordSize[file[whole]] == length) whole = length;
      const RunResult cut = scratch.run({table, scratch.file("cut.zlt", Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)))});
      const RunResult kept = scratch.run({table, scratch.file("cut.zlt", Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(whole)))});
      ASSERT_EQ(cut.out, kept.out);
      ASSERT_EQ(cut.status, 0);
      ASSERT_EQ(cut.err.empty(), whole == length) << cut.err;
    }
  }
}

}  // namespace
