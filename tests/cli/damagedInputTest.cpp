// Files cut short: the record that the end falls in is decoded as if its
// missing bytes were zero, and the report around it stays whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

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

// Where the record that holds byte `offset` begins and ends.
std::pair<size_t, size_t> recordAround(const Bytes& file, size_t offset) {
  size_t start = 0;
  while (start + kRecordSize[file[start]] <= offset) start += kRecordSize[file[start]];
  return {start, start + kRecordSize[file[start]]};
}

TEST(DamagedInput, SalvageTellsWhatItSkippedAndTheCheckWhatItWouldKeep) {
  Scratch scratch;
  Bytes file = sampleRecording();
  const size_t from = 20000;
  const size_t to = from + 512;
  std::fill(file.begin() + from, file.begin() + to, uint8_t{0});
  const size_t first = recordAround(file, from).first;
  const size_t last = recordAround(sampleRecording(), to - 1).second;
  const std::string stretch = std::to_string(last - first) + " bytes at offset " + std::to_string(first);
  const std::string name = scratch.file("wiped.zlt", file);

  const RunResult salvaged = scratch.run({"--csv=data", "--salvage", name});
  EXPECT_EQ(salvaged.err, "decode: wiped.zlt: skipped " + stretch + ": no records there sit on the file's framing\n");
  EXPECT_EQ(salvaged.status, 0);

  const RunResult check = scratch.run({"--info", name});
  EXPECT_NE(check.out.find("\n  suspect stretches    1, " + std::to_string(last - first) + " bytes: at " +
                           std::to_string(first) + " (" + std::to_string(last - first) + " bytes)\n  salvage keeps"),
            std::string::npos)
      << check.out;
  const RunResult json = scratch.run({"--info=json", name});
  EXPECT_NE(json.out.find(",\"suspect\":{\"stretches\":1,\"bytes\":" + std::to_string(last - first) +
                          ",\"first\":[{\"offset\":" + std::to_string(first) + ",\"bytes\":" +
                          std::to_string(last - first) + "}]},\"salvage_records\":{"),
            std::string::npos)
      << json.out;
}

// On an undamaged file salvage is the plain reading, view by view.
TEST(DamagedInput, SalvageOfAnUndamagedFileIsThePlainReading) {
  Scratch scratch;
  const std::string name = scratch.file("d0001.dat", sampleRecording());
  const std::vector<std::vector<std::string>> views = {
      {"--csv=header"}, {"--csv=marker"}, {"--csv=data"}, {"--csv=pressure"},
      {"--csv=index"},  {"--csv=system"}, {"--info"},     {"--csv=data", "--from=2026-12-01T00:00:10Z"}};
  for (std::vector<std::string> view : views) {
    SCOPED_TRACE(view.front());
    view.push_back(name);
    const RunResult plain = scratch.run(view);
    view.insert(view.begin(), "--salvage");
    const RunResult salvaged = scratch.run(view);
    EXPECT_EQ(salvaged.out, plain.out);
    EXPECT_EQ(salvaged.err, "");
    EXPECT_EQ(salvaged.status, 0);
  }
  ASSERT_EQ(scratch.run({"--plot=plain.svg", name}).status, 0);
  ASSERT_EQ(scratch.run({"--plot=salvaged.svg", "--salvage", name}).status, 0);
  auto contents = [&](const std::string& file) {
    std::ifstream in(scratch.path() + "/" + file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  EXPECT_EQ(contents("salvaged.svg"), contents("plain.svg"));
  EXPECT_FALSE(contents("plain.svg").empty());
}

}  // namespace
