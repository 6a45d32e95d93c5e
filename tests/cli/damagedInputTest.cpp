// Files cut short: the record that the end falls in is decoded as if its
// missing bytes were zero, and the report around it stays whole.
#include <gtest/gtest.h>

#include "fixtures.h"
#include "runDecode.h"

namespace {

TEST(DamagedInput, HeaderCutAfterThreeBytes) {
  Scratch scratch;
  const RunResult result = scratch.run({scratch.file("c.zlt", hexBytes("00 00 02"))});
  EXPECT_EQ(result.out, fileReport("c.zlt", "FileHdr ver=512 ID=0 rate=0 01/01/1970 00:00:00.000 dur=0.000\n"));
  EXPECT_EQ(result.status, 0);
}

TEST(DamagedInput, IndexNameCutShort) {
  Scratch scratch;
  const RunResult result = scratch.run({scratch.file("c.zlt", hexBytes("04 00 00000000 0000 00000000 00010000 4142"))});
  EXPECT_EQ(result.out, fileReport("c.zlt", "Index 01/01/1970 00:00:00.000 dur=0.000 maxVal=1.0000 file=AB\n"));
}

// Record sizes with the type byte, by type.
constexpr size_t kRecordSize[] = {18, 6, 18, 4, 32, 18};

// The file cut after `length` bytes, with the record the cut falls in filled
// up with zero bytes to its full size.
Bytes zeroFilledCut(const Bytes& file, size_t length) {
  size_t start = 0;
  while (start < length) {
    const size_t end = start + kRecordSize[file[start]];
    if (end >= length) {
      Bytes filled(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
      filled.resize(end, 0);
      return filled;
    }
    start = end;
  }
  return Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
}

TEST(DamagedInput, EveryCutOfEveryRecordTypeReadsMissingBytesAsZero) {
  Scratch scratch;
  const std::vector<std::vector<std::string>> switchSets = {{}, {"-d"}, {"-t"}, {"-s"}, {"-p"}};
  for (const auto& switches : switchSets) {
    for (size_t length = 0; length <= kEveryType.size(); ++length) {
      SCOPED_TRACE("cut after " + std::to_string(length) + " bytes, switches " + testing::PrintToString(switches));
      const Bytes cut(kEveryType.begin(), kEveryType.begin() + static_cast<std::ptrdiff_t>(length));
      std::vector<std::string> cutArgs = switches, filledArgs = switches;
      cutArgs.push_back(scratch.file("cut.zlt", cut));
      filledArgs.push_back(scratch.file("cut.zlt.full", zeroFilledCut(kEveryType, length)));
      const RunResult fromCut = scratch.run(cutArgs);
      RunResult fromFilled = scratch.run(filledArgs);
      ASSERT_EQ(fromCut.status, 0);
      ASSERT_EQ(fromCut.err, "");
      // Both reports name their own file; compare them under one name.
      std::string expected = fromFilled.out;
      for (size_t at; (at = expected.find("cut.zlt.full")) != std::string::npos;) expected.erase(at + 7, 5);
      ASSERT_EQ(fromCut.out, expected);
    }
  }
}

// A card's file made at its full size and written only in part: the views
// leave out its zeros, the report reads them as it reads any bytes.
TEST(DamagedInput, TheUnwrittenEndOfAFileIsToldOnceAndHoldsNoRecords) {
  Scratch scratch;
  const std::string name = scratch.file("card.zlt", concat({kEveryType, Bytes(1 << 20, 0)}));
  const std::string told = "decode: card.zlt: 1048576 zero bytes at offset 96: unwritten\n";
  const RunResult header = scratch.run({"--csv=header", name});
  EXPECT_EQ(header.out, "time,ver,id,rate,duration_s\n2013-03-18T00:06:40.123Z,2,300,100,3600.0\n");
  EXPECT_EQ(header.err, told);
  EXPECT_EQ(header.status, 0);
  const RunResult info = scratch.run({"--info=json", name});
  EXPECT_NE(info.out.find("\"problems\":[\"1048576 zero bytes at offset 96: unwritten\"],\"unwritten_bytes\":1048576,"),
            std::string::npos)
      << info.out;
  EXPECT_NE(info.out.find("\"header\":1,"), std::string::npos);
  const RunResult report = scratch.run({"-t", name});
  EXPECT_NE(report.out.find("FileHdr ver=0 ID=0 rate=0 01/01/1970 00:00:00.000 dur=0.000\n"), std::string::npos);
}

}  // namespace
