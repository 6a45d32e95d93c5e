// Inputs larger than one read: records cut by a block boundary at every
// offset, input that arrives a few bytes at a time, and a large file cut
// inside its last record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "runDecode.h"

namespace {

constexpr size_t kRecords = 20000;  // 360 KB of data records: more than one block

Bytes dataRecord(uint32_t n) {
  const uint32_t acc = n * 2654435761u;
  const auto quat = static_cast<uint16_t>(n * 40503u);
  return {2,
          static_cast<uint8_t>(acc >> 24), static_cast<uint8_t>(acc >> 16), static_cast<uint8_t>(acc >> 8),
          static_cast<uint8_t>(acc >> 16), static_cast<uint8_t>(acc >> 8), static_cast<uint8_t>(acc),
          static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n),
          static_cast<uint8_t>(quat >> 8), static_cast<uint8_t>(quat), static_cast<uint8_t>(n >> 8),
          static_cast<uint8_t>(n), static_cast<uint8_t>(quat), static_cast<uint8_t>(quat >> 8),
          static_cast<uint8_t>(~n >> 8), static_cast<uint8_t>(~n)};
}

int32_t s24(const uint8_t* b) { return static_cast<int32_t>(static_cast<uint32_t>(b[0] << 24 | b[1] << 16 | b[2] << 8)) >> 8; }
int16_t s16(const uint8_t* b) { return static_cast<int16_t>(b[0] << 8 | b[1]); }

// The line printf itself makes of a data record.
std::string expectedDataLine(const Bytes& record) {
  const uint8_t* b = record.data() + 1;
  char line[160];
  std::snprintf(line, sizeof line, "Inertial Data  acc: %8.5f %8.5f %8.5f  quat: %8.5f %8.5f %8.5f %8.5f\n",
                double{static_cast<float>(s24(b)) / 65536.0f}, double{static_cast<float>(s24(b + 3)) / 65536.0f},
                double{static_cast<float>(s24(b + 6)) / 65536.0f}, double{static_cast<float>(s16(b + 9)) / 16384.0f},
                double{static_cast<float>(s16(b + 11)) / 16384.0f}, double{static_cast<float>(s16(b + 13)) / 16384.0f},
                double{static_cast<float>(s16(b + 15)) / 16384.0f});
  return line;
}

TEST(BlockBoundary, DataRecordsCutAtEveryOffsetMatchPrintf) {
  Bytes records;
  std::string lines;
  for (uint32_t n = 0; n < kRecords; ++n) {
    const Bytes record = dataRecord(n);
    records.insert(records.end(), record.begin(), record.end());
    lines += expectedDataLine(record);
  }
  Scratch scratch;
  for (size_t shift = 0; shift < 18; ++shift) {
    SCOPED_TRACE("shifted by " + std::to_string(shift));
    Bytes file(shift, 6);
    file.insert(file.end(), records.begin(), records.end());
    std::string unknown;
    for (size_t i = 0; i < shift; ++i) unknown += "Unknown Record type: 6\n";
    const RunResult result = scratch.run({"-d", scratch.file("big.zlt", file)});
    ASSERT_EQ(result.out, fileReport("big.zlt", unknown + lines + "File big.zlt: 20000 data records in 0.000 seconds\n"));
  }
}

const Bytes kEveryType = hexBytes(
    "00 A5 0002 012C 0064 51465A90 007B 0036EE80 01 5A 51465A90 02 FF8000 010000 000001 4000 0000 E000 2000 "
    "03 5A 8000 04 5A 51465A90 007B 000004D2 00018000 64303030312E646174 00000000000000 "
    "05 5A 51465A90 8000 6590 8000 3333 9C40 8000");

Bytes repeated(const Bytes& unit, size_t times) {
  Bytes all;
  for (size_t i = 0; i < times; ++i) all.insert(all.end(), unit.begin(), unit.end());
  return all;
}

TEST(BlockBoundary, EveryRecordTypeReadsTheSameWhereverTheBoundaryFalls) {
  const Bytes cycle = repeated(kEveryType, 3000);  // 288 KB
  Scratch scratch;
  const std::string reference = scratch.run({scratch.file("all.zlt", cycle)}).out;
  for (size_t shift = 1; shift <= kEveryType.size(); ++shift) {
    Bytes file(shift, 0xFF);
    file.insert(file.end(), cycle.begin(), cycle.end());
    std::string unknown;
    for (size_t i = 0; i < shift; ++i) unknown += "Unknown Record type: 255\n";
    const RunResult result = scratch.run({scratch.file("all.zlt", file)});
    ASSERT_EQ(result.out, std::string(reference).insert(fileReport("all.zlt", "").size(), unknown))
        << "shifted by " << shift;
  }
}

TEST(BlockBoundary, ShortReadsFromAPipeGiveTheSameReport) {
  const Bytes file = repeated(kEveryType, 40);
  Scratch scratch;
  for (const auto& switches : {std::vector<std::string>{}, std::vector<std::string>{"-d"}}) {
    std::vector<std::string> fromFile = switches, fromPipe = switches;
    fromFile.push_back(scratch.file("p.zlt", file));
    fromPipe.push_back("/dev/stdin");
    std::string expected = scratch.run(fromFile).out;
    for (size_t at; (at = expected.find("p.zlt")) != std::string::npos;) expected.replace(at, 5, "/dev/stdin");
    for (size_t pieceMax : {1u, 5u, 31u}) {
      const RunResult result = scratch.run(fromPipe, {.stdinBytes = file, .stdinPieceMax = pieceMax});
      ASSERT_EQ(result.out, expected) << "pieces of up to " << pieceMax;
      ASSERT_EQ(result.status, 0);
    }
  }
}

TEST(BlockBoundary, LargeFileCutInsideItsLastRecord) {
  const Bytes whole = repeated(kEveryType, 3000);  // ends with an 18-byte system record
  Scratch scratch;
  for (size_t cut = 1; cut < 18; ++cut) {
    const Bytes cutFile(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut));
    Bytes zeroed = whole;
    std::fill(zeroed.end() - static_cast<std::ptrdiff_t>(cut), zeroed.end(), 0);
    const RunResult fromCut = scratch.run({"-d", scratch.file("c.zlt", cutFile)});
    const RunResult fromZeroed = scratch.run({"-d", scratch.file("c.zlt", zeroed)});
    ASSERT_EQ(fromCut.out, fromZeroed.out) << "cut " << cut;
  }
}

}  // namespace
