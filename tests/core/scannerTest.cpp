// The scanner on its own: a file that shrinks while it is read, and the -d
// line's fixed-width shortcut against the field formatter it stands for.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "core/recordScanner.h"
#include "runDecode.h"
#include "text/textFormat.h"

namespace {

using namespace zolt;

// Counts data records, and cuts the file down when it sees the first.
struct ShrinkingView {
  std::string path;
  size_t seen = 0;
  void fileHeader(const uint8_t*) {}
  void secondMarker(const uint8_t*) {}
  void pressure(const uint8_t*) {}
  void index(const uint8_t*) {}
  void system(const uint8_t*) {}
  void unknownType(uint8_t, uint64_t) {}
  void cutRecord(const uint8_t*, size_t, uint64_t) {}
  void dataRecords(const uint8_t*, size_t count) {
    if (seen == 0) {
      EXPECT_EQ(truncate(path.c_str(), 4096), 0);
    }
    seen += count;
  }
};

TEST(Scanner, FileThatShrinksWhileReadIsAReadErrorNotACrash) {
  Scratch scratch;
  const Bytes record = hexBytes("02 FF8000 010000 000001 4000 0000 E000 2000");
  Bytes file;
  while (file.size() < 3 * 1024 * 1024) file.insert(file.end(), record.begin(), record.end());
  ShrinkingView view{scratch.path() + "/" + scratch.file("big.zlt", file)};
  const int fd = open(view.path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  InputBlocks blocks(Input::descriptor(fd));
  EXPECT_EQ(scanRecords(blocks, view), (Error{Errc::kShrank, EIO}));
  close(fd);
  EXPECT_GT(view.seen, 0u);
  EXPECT_LT(view.seen, file.size() / record.size());
}

TEST(Scanner, FixedWidthDataLineMatchesTheFieldFormatter) {
  char line[256];
  char field[32];
  for (int32_t count = -(10 << 16) + 1; count < (10 << 16); ++count) {
    const int32_t acc[3] = {count, -count, count >> 3};
    const int16_t quat[4] = {static_cast<int16_t>(count), static_cast<int16_t>(-count), 0,
                             static_cast<int16_t>(count >> 4)};
    putInertialData(line, acc, quat);  // fills the fraction table on first use
    const std::string text(line, putInertialData(line, acc, quat));
    std::string expected = "Inertial Data  acc:";
    for (const int32_t value : acc) expected.append(" ").append(field, putAcc(field, value));
    expected += "  quat:";
    for (const int16_t value : quat) expected.append(" ").append(field, putQuat(field, value));
    ASSERT_EQ(text, expected + "\n") << count;
  }
}

}  // namespace
