// The scanner on its own: a file that shrinks while it is read or mapped,
// and the -d line's fixed-width shortcut against the field formatter it
// stands for.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/recordScanner.h"
#include "runDecode.h"
#include "text/textFormat.h"

namespace {

using namespace zolt;

const Bytes kRecord = hexBytes("02 FF8000 010000 000001 4000 0000 E000 2000");
const Bytes kMarker = hexBytes("01 00 51465A90");

// Counts records, checks each is what the file held, and cuts the file
// down when it has seen a few.
struct ShrinkingView {
  std::string path;
  size_t seen = 0;
  size_t wrong = 0;
  void record(RecordBody<kSecondMarker> body) {
    if (std::memcmp(body.bytes, kMarker.data() + 1, kMarker.size() - 1) != 0) ++wrong;
    if (++seen == 100) {
      EXPECT_EQ(truncate(path.c_str(), 4096), 0);
    }
  }
  // The file holds no other record.
  template <RecordType Type>
  void record(RecordBody<Type> /*body*/) {
    ++wrong;
  }
  void unknownType(uint8_t, uint64_t) { ++wrong; }
  void cutRecord(const uint8_t*, size_t, uint64_t) { ++wrong; }
  void dataRecords(const uint8_t* records, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      if (std::memcmp(records + i * kRecord.size(), kRecord.data(), kRecord.size()) != 0) ++wrong;
    }
    seen += count;
  }
};

// What a program that maps files does: a bus error in a mapping the
// library knows is the file shrinking.
void onBusError(int /*signal*/, siginfo_t* info, void* /*context*/) {
  if (!recoverFromBusError(info->si_addr)) abort();
}

TEST(Scanner, FileThatShrinksWhileReadOrMappedIsAReadErrorNotACrash) {
  struct sigaction action{};
  action.sa_sigaction = onBusError;
  action.sa_flags = SA_SIGINFO;
  struct sigaction before{};
  ASSERT_EQ(sigaction(SIGBUS, &action, &before), 0);
  Scratch scratch;
  Bytes file;
  while (file.size() < 3 * 1024 * 1024) {
    file.insert(file.end(), kMarker.begin(), kMarker.end());
    for (int i = 0; i < 10; ++i) file.insert(file.end(), kRecord.begin(), kRecord.end());
  }
  const std::string path = scratch.path() + "/" + scratch.file("big.zlt", file);
  for (const bool mapped : {false, true}) {
    SCOPED_TRACE(mapped ? "mapped" : "read");
    scratch.file("big.zlt", file);
    ShrinkingView view{path};
    InputBlocks blocks(mapped ? Input::mappedPath(path) : Input::path(path));
    EXPECT_EQ(mapped, blocks.mapping() != nullptr);
    EXPECT_EQ(scanRecords(blocks, view), (Error{Errc::kShrank, EIO}));
    EXPECT_GT(view.seen, 0u);
    EXPECT_LT(view.seen, file.size() / kRecord.size());
    EXPECT_EQ(view.wrong, 0u);
  }
  sigaction(SIGBUS, &before, nullptr);
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
