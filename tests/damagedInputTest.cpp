// Files cut short: missing bytes read as zero and the report stays whole.
#include <gtest/gtest.h>

#include "runDecode.h"

namespace {

TEST(DamagedInput, HeaderCutAfterThreeBytes) {
  Scratch scratch;
  const RunResult result = scratch.run({scratch.file("c.zlt", hexBytes("00 00 02"))});
  EXPECT_EQ(result.out, fileReport("c.zlt", "FileHdr ver=512 ID=0 rate=0 01/01/1970 00:00:00.000 dur=0.000\n"));
  EXPECT_EQ(result.status, 0);
}

}  // namespace
