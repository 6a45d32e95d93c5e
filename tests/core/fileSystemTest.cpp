// The layer under the library that differs between systems: a name that is
// not ASCII, an offset past 4 GiB and a folder must behave the same on
// every one. The Windows build runs these under Wine too.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/fileSystem.h"
#include "zolt/records.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "cli/processSetup.h"
#endif

namespace {

using namespace zolt;

// A header, a marker and two data records.
const std::vector<uint8_t> kRecords = {
    0x00, 0xA5, 0x00, 0x02, 0x01, 0x2C, 0x00, 0x64, 0x51, 0x46, 0x5A, 0x90, 0x00, 0x7B, 0x00, 0x36, 0xEE, 0x80,
    0x01, 0x5A, 0x51, 0x46, 0x5A, 0x90,
    0x02, 0xFF, 0x80, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x40, 0x00, 0x00, 0x00, 0xE0, 0x00, 0x20, 0x00,
    0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x03, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

struct Offsets : RecordSink {
  void fileHeader(const FileHeader&, uint64_t at) override { seen.push_back(at); }
  void secondMarker(const SecondMarker&, uint64_t at) override { seen.push_back(at); }
  void data(const DataRecord&, uint64_t at) override { seen.push_back(at); }
  std::vector<uint64_t> seen;
};

const std::vector<uint64_t> kOffsets = {0, 18, 24, 42};

class FileSystem : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("fileSystemTest-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // The name as the library takes it: UTF-8 bytes.
  std::string utf8Name(const std::u8string& leaf) const {
    const std::u8string name = (folder_ / leaf).u8string();
    return {name.begin(), name.end()};
  }

  std::filesystem::path folder_;
};

TEST_F(FileSystem, ANameInGreekAndChineseOpensAndReadsItsBytes) {
  const std::u8string leaf = u8"δοκιμή-测试.dat";
  std::ofstream(folder_ / leaf, std::ios::binary).write(reinterpret_cast<const char*>(kRecords.data()),
                                                         static_cast<std::streamsize>(kRecords.size()));
  const std::string name = utf8Name(leaf);

  const FileStatus status = fileStatus(name);
  EXPECT_EQ(status.kind, FileKind::kRegular);
  EXPECT_EQ(status.size, kRecords.size());
  Offsets offsets;
  EXPECT_TRUE(scan(Input::path(name), offsets).ok());
  EXPECT_EQ(offsets.seen, kOffsets);
}

TEST_F(FileSystem, OffsetsPastFourGibibytesHold) {
  constexpr int64_t kFar = (int64_t{5} << 30) + 3;
  const std::string name = utf8Name(u8"far.dat");
  std::ofstream(folder_ / "far.dat", std::ios::binary).put('\0');
  std::filesystem::resize_file(folder_ / "far.dat", static_cast<uintmax_t>(kFar));  // sparse where the system can
  const int out = openForWriting(name);
  ASSERT_GE(out, 0);
  ASSERT_TRUE(seekDescriptor(out, kFar));
  ASSERT_EQ(write(out, kRecords.data(), static_cast<unsigned>(kRecords.size())), static_cast<int>(kRecords.size()));
  close(out);
  EXPECT_EQ(fileStatus(name).size, static_cast<uint64_t>(kFar) + kRecords.size());

  // A descriptor that stands far into a file is read from there to the end.
  const int in = openForReading(name);
  ASSERT_GE(in, 0);
  ASSERT_TRUE(seekDescriptor(in, kFar));
  EXPECT_EQ(descriptorOffset(in), kFar);
  Offsets offsets;
  const FileOutcome outcome = scan(Input::descriptor(in), offsets);
  close(in);
  EXPECT_TRUE(outcome.ok()) << outcome.error.system;
  EXPECT_EQ(offsets.seen, kOffsets);
}

TEST_F(FileSystem, AFolderAndAMissingFileSayWhatTheyAre) {
  EXPECT_EQ(fileStatus(folder_.string()).kind, FileKind::kDirectory);
  const FileStatus missing = fileStatus(utf8Name(u8"missing.dat"));
  EXPECT_EQ(missing.kind, FileKind::kMissing);
  EXPECT_EQ(missing.error, ENOENT);
  EXPECT_EQ(systemErrorText(ENOENT), "No such file or directory");

  Offsets offsets;
  const FileOutcome outcome = scan(Input::path(folder_.string()), offsets);
  EXPECT_EQ(outcome.error.code, Errc::kCannotRead);
  EXPECT_EQ(outcome.error.system, EISDIR);
  EXPECT_EQ(systemErrorText(outcome.error.system), "Is a directory");
}

#ifdef _WIN32
// A "\n" written to a stream in text mode would become "\r\n".
TEST(StandardStreams, AreBinaryOnceTheProcessIsPrepared) {
  prepareProcess();
  EXPECT_EQ(_setmode(_fileno(stdout), _O_BINARY), _O_BINARY);
  EXPECT_EQ(_setmode(_fileno(stdin), _O_BINARY), _O_BINARY);
}
#endif

}  // namespace
