// --netcdf through the program: what is refused before anything is written,
// the statuses of unreadable inputs, and a file written whole or not at all.
// What the file holds is read back by the Python tests.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "runDecode.h"

namespace {

namespace fs = std::filesystem;

const Bytes kRecording = hexBytes(
    "00 00 0002 012C 0064 51465A90 007B 0036EE80 01 00 51465A90 02 FF8000 010000 000001 4000 0000 E000 2000 "
    "03 00 8000");

std::set<std::string> entries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Refusal {
  std::vector<std::string> args;
  const char* says;
};

TEST(Netcdf, BadRequestsAreRefusedBeforeAnythingIsWritten) {
  Scratch scratch;
  const std::string input = scratch.file("a.zlt", kRecording);
  scratch.file("bad.json", hexBytes("7B 22 74 69 74 6C 65 22 3A 20 22 78 22 2C 0A 20 22 62 61 64 22 3A 20 74 72 75 65 7D"));
  fs::create_directory(scratch.path() + "/folder");
  const std::vector<Refusal> refusals = {
      {{"--netcdf=-", input}, "cannot write to standard output"},
      {{"--netcdf=", input}, "needs a file name"},
      {{"--netcdf=./a.zlt", input}, "would overwrite the input a.zlt"},
      {{"--netcdf=folder", input}, "--netcdf=folder exists and is not a regular file"},
      {{"--netcdf=out.nc", "-d", input}, "cannot be combined with -d"},
      {{"--netcdf=out.nc", "--csv=data", input}, "cannot be combined with --info, --csv or --plot"},
      {{"--meta=bad.json", input}, "--meta needs --netcdf"},
      {{"--netcdf=out.nc", "--meta=missing.json", input}, "--meta=missing.json: No such file or directory"},
      {{"--netcdf=out.nc", "--meta=bad.json", input}, "--meta=bad.json: line 2: expected a string or a number"},
      {{"--netcdf=out.nc"}, "no input file named"},
      {{"--netcdf=out.nc", "--from=yesterday", input}, "is not a UTC time"},
  };
  const std::set<std::string> before = entries(scratch.path());
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(testing::PrintToString(refusal.args));
    const RunResult result = scratch.run(refusal.args);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(refusal.says), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    std::set<std::string> after = entries(scratch.path());
    after.erase(".stdout");
    after.erase(".stderr");
    EXPECT_EQ(after, before);
  }
}

TEST(Netcdf, UnreadableInputsAreToldAndTheOthersWritten) {
  Scratch scratch;
  const std::string input = scratch.file("a.zlt", kRecording);
  const RunResult some = scratch.run({"--netcdf=out.nc", "missing.zlt", input});
  EXPECT_EQ(some.status, 1);
  EXPECT_EQ(some.err, "decode: cannot open missing.zlt: No such file or directory\n");
  EXPECT_EQ(slurp(scratch.path() + "/out.nc").substr(1, 3), "HDF");
  // Nothing read is nothing to replace a file with.
  scratch.file("old.nc", hexBytes("6F6C64"));
  const RunResult none = scratch.run({"--netcdf=old.nc", "missing.zlt"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(slurp(scratch.path() + "/old.nc"), "old");
}

TEST(Netcdf, AFileIsReplacedWholeKeepingItsMode) {
  Scratch scratch;
  const std::string input = scratch.file("a.zlt", kRecording);
  const std::string out = scratch.path() + "/out.nc";
  scratch.file("out.nc", hexBytes("6F6C64"));
  ASSERT_EQ(chmod(out.c_str(), 0640), 0);
  const RunResult damaged = scratch.run({"--netcdf=out.nc", scratch.file("b.zlt", concat({kRecording, hexBytes("0E 02 00")}))});
  EXPECT_EQ(damaged.status, 0);
  EXPECT_EQ(damaged.err,
            "decode: b.zlt: 1 byte of unknown record type, the first at offset 46\n"
            "decode: b.zlt: record of type 2 cut short at offset 47 (2 of 18 bytes), not written\n");
  struct stat info{};
  ASSERT_EQ(stat(out.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(slurp(out).substr(1, 3), "HDF");
  std::set<std::string> left = entries(scratch.path());
  EXPECT_EQ(left, (std::set<std::string>{".stderr", ".stdout", "a.zlt", "b.zlt", "out.nc"}));
}

}  // namespace
