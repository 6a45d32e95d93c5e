// --netcdf through the program: what is refused before anything is written,
// the statuses of unreadable inputs, and a file written whole or not at all.
// What the file holds is read back by the Python tests.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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
  std::string says;
};

TEST(Netcdf, BadRequestsAreRefusedBeforeAnythingIsWritten) {
  Scratch scratch;
  const std::string input = scratch.file("a.zlt", kRecording);
  scratch.file("bad.json", hexBytes("7B 22 74 69 74 6C 65 22 3A 20 22 78 22 2C 0A 20 22 62 61 64 22 3A 20 74 72 75 65 7D"));
  fs::create_directory(scratch.path() + "/folder");
  auto meta = [&](const std::string& name, const std::string& json) {
    std::ofstream(scratch.path() + "/" + name, std::ios::binary) << json;
    return "--meta=" + name;
  };
  std::string many = "{";
  for (int i = 0; i <= 1000; ++i) many += (i > 0 ? ",\"k" : "\"k") + std::to_string(i) + "\": 1";
  const std::vector<Refusal> refusals = {
      {{"--netcdf=out.nc", "--meta=folder", input}, "--meta=folder: Is a directory"},
      {{"--netcdf=out.nc", "--meta=/dev/zero", input}, "--meta=/dev/zero: not a regular file"},
      {{"--netcdf=out.nc", meta("big.json", "{\"title\": \"" + std::string(1 << 20, 'x') + "\"}"), input},
       "larger than 1 MiB"},
      {{"--netcdf=out.nc", meta("many.json", many + "}"), input}, "line 1: more than 1000 attributes"},
      {{"--netcdf=out.nc", meta("long.json", "{\"" + std::string(300, 'a') + "\": 1}"), input},
       std::string("'").append(60, 'a').append("...' cannot name a netCDF attribute: it is longer than 256 bytes")},
      {{"--netcdf=out.nc", meta("props.json", "{\"_NCProperties\": \"x\"}"), input}, "netCDF keeps it for itself"},
      {{"--netcdf=out.nc", meta("dimid.json", "{\"_Netcdf4Dimid\": 1}"), input}, "netCDF keeps it for itself"},
      {{"--netcdf=out.nc", meta("class.json", "{\"CLASS\": 1}"), input}, "netCDF keeps it for itself"},
      {{"--netcdf=out.nc", meta("nul.json", "{\"ti\\u0000tle\": 1}"), input}, "'ti\\x00tle' cannot name"},
      {{"--netcdf=out.nc", meta("tab.json", "{\"a\\tb\": 1}"), input}, "'a\\x09b' cannot name"},
      {{"--netcdf=a.nc", "--netcdf=b.nc", input}, "--netcdf is given more than once"},
      {{"--netcdf=a.nc", "--meta=bad.json", "--meta=bad.json", input}, "--meta is given more than once"},
      {{"--csv=data", "--csv=marker", input}, "--csv is given more than once"},
      {{"--netcdf=out.nc", "--salvage", "--salvage", input}, "--salvage is given more than once"},
      {{"--netcdf=-", input}, "cannot write to standard output"},
      {{"--netcdf=", input}, "needs a file name"},
      {{"--netcdf=./a.zlt", input}, "would overwrite the input a.zlt"},
      {{"--netcdf=folder", input}, "--netcdf=folder exists and is not a regular file"},
      {{"--netcdf=out.nc", "-d", input}, "cannot be combined with -d"},
      {{"--netcdf=out.nc", "--csv=data", input}, "cannot be combined with --info, --csv, --plot or --html"},
      {{"--meta=bad.json", input}, "--meta needs --netcdf"},
      {{"--netcdf=out.nc", "--meta=missing.json", input}, "--meta=missing.json: No such file or directory"},
      {{"--netcdf=out.nc", "--meta=bad.json", input}, "--meta=bad.json: line 2: expected a string or a number"},
      {{"--netcdf=out.nc"}, "no input file named"},
      {{"--netcdf=out.nc", "--from=yesterday", input}, "is not a UTC time"},
  };
  std::set<std::string> before = entries(scratch.path());
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(testing::PrintToString(refusal.args));
    const RunResult result = scratch.run(refusal.args);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(refusal.says), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    std::set<std::string> after = entries(scratch.path());
    after.erase(".stdout");
    after.erase(".stderr");
    for (const std::string& name : after) before.insert(name.ends_with(".json") ? name : "");
    before.erase("");
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
            "decode: b.zlt: record of type 2 cut short at offset 47 (2 bytes there), not written\n");
  struct stat info{};
  ASSERT_EQ(stat(out.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(slurp(out).substr(1, 3), "HDF");
  std::set<std::string> left = entries(scratch.path());
  EXPECT_EQ(left, (std::set<std::string>{".stderr", ".stdout", "a.zlt", "b.zlt", "out.nc"}));
}

// Many data records whose values do not repeat, as a recording's do not.
Bytes manyRecords(size_t count) {
  Bytes file = kRecording;
  uint32_t state = 1;
  for (size_t i = 0; i < count; ++i) {
    file.push_back(2);
    for (int byte = 0; byte < 17; ++byte) file.push_back(static_cast<uint8_t>((state = state * 1664525u + 1013904223u) >> 24));
  }
  return file;
}

// A file system of its own, as small as a nearly full disk; only root may
// make one.
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& path) : path_(path) {
    fs::create_directory(path);
    mounted_ = mount("tmpfs", path.c_str(), "tmpfs", 0, "size=2m") == 0;
  }
  ~SmallDisk() {
    if (mounted_) umount(path_.c_str());
  }
  bool mounted() const { return mounted_; }

 private:
  std::string path_;
  bool mounted_;
};

TEST(Netcdf, AFullDiskIsToldAndLeavesNothingBehind) {
  Scratch scratch;
  const SmallDisk disk(scratch.path() + "/small");
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small file system here (needs root)";
  const std::string big = scratch.file("big.zlt", manyRecords(400000));
  const RunResult full = scratch.run({"--netcdf=small/a.nc", big});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "decode: cannot write small/a.nc: No space left on device\n");
  EXPECT_TRUE(entries(scratch.path() + "/small").empty());
  // A run that fits is still written there.
  const RunResult fits = scratch.run({"--netcdf=small/a.nc", scratch.file("a.zlt", kRecording)});
  EXPECT_EQ(fits.status, 0) << fits.err;
  EXPECT_EQ(entries(scratch.path() + "/small"), (std::set<std::string>{"a.nc"}));
}

TEST(Netcdf, AWriteKilledHalfWayIsClearedByTheNext) {
  Scratch scratch;
  const std::string input = scratch.file("a.zlt", kRecording);
  const std::string fifo = scratch.path() + "/in.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The writer waits for its input with its temporary file made.
  const std::string out = scratch.path() + "/out.nc";
  const std::string option = "--netcdf=" + out;
  const char* const argv[] = {DECODE_BINARY, option.c_str(), fifo.c_str(), nullptr};
  pid_t writer = 0;
  ASSERT_EQ(posix_spawn(&writer, DECODE_BINARY, nullptr, nullptr, const_cast<char* const*>(argv), environ), 0);
  auto temporaries = [&] {
    std::set<std::string> found;
    for (const std::string& name : entries(scratch.path())) {
      if (name.starts_with(".out.nc~")) found.insert(name);
    }
    return found;
  };
  for (int tries = 0; tries < 500 && temporaries().empty(); ++tries) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const size_t left = temporaries().size();
  kill(writer, SIGKILL);
  waitpid(writer, nullptr, 0);
  ASSERT_EQ(left, 1u);
  const RunResult next = scratch.run({"--netcdf=out.nc", input});
  EXPECT_EQ(next.status, 0) << next.err;
  EXPECT_TRUE(temporaries().empty());
  EXPECT_EQ(slurp(out).substr(1, 3), "HDF");
}

}  // namespace
