// Where the bytes come from must not matter: memory, a descriptor and a
// named file give the same records with the same offsets, the damage is
// told where it lies for every cut of a file, and what cannot be read says
// why.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "fixtures.h"
#include "runDecode.h"
#include "zolt/records.h"

namespace {

using namespace zolt;

// Every record as a line of text with its offset.
class RecordLog : public RecordSink {
 public:
  void fileHeader(const FileHeader& r, uint64_t at) override {
    add(at, "header", {r.ver, r.id, r.rate, r.time, r.ms, static_cast<int64_t>(r.durationMs)});
  }
  void secondMarker(const SecondMarker& r, uint64_t at) override { add(at, "marker", {r.time}); }
  void data(const DataRecord& r, uint64_t at) override {
    add(at, "data", {r.acc[0], r.acc[1], r.acc[2], r.quat[0], r.quat[1], r.quat[2], r.quat[3]});
  }
  void pressure(const PressureRecord& r, uint64_t at) override { add(at, "pressure", {r.counts}); }
  void index(const IndexRecord& r, uint64_t at) override {
    add(at, "index " + std::string(r.file), {r.time, r.ms, static_cast<int64_t>(r.durationMs), static_cast<int64_t>(r.maxVal)});
  }
  void system(const SystemRecord& r, uint64_t at) override {
    add(at, "system", {r.time, r.batt, r.vmodem, r.extPress, r.intPress, r.temp, r.hum});
  }
  void unknownType(uint8_t type, uint64_t at) override { add(at, "unknown", {type}); }
  void cutRecord(uint8_t type, size_t size, uint64_t at) override {
    add(at, "cut", {type, static_cast<int64_t>(size)});
  }
  void unwritten(uint64_t size, uint64_t at) override { add(at, "unwritten", {static_cast<int64_t>(size)}); }
  std::string text;

 private:
  void add(uint64_t at, const std::string& what, std::initializer_list<int64_t> fields) {
    text += std::to_string(at) + " " + what;
    for (const int64_t field : fields) text.append(" ").append(std::to_string(field));
    text += "\n";
  }
};

std::string logOf(const Input& input, FileOutcome* outcome = nullptr) {
  RecordLog log;
  const FileOutcome got = scan(input, log);
  if (outcome != nullptr) *outcome = got;
  return log.text;
}

// A file of many blocks, with records cut by block and piece edges at every
// offset, unknown bytes, and a last record cut short.
Bytes largeFile() {
  Bytes file;
  for (int i = 0; file.size() < 400 * 1024; ++i) {
    file.insert(file.end(), kEveryType.begin(), kEveryType.end());
    if (i % 7 == 0) file.push_back(0xEE);
  }
  file.insert(file.end(), kEveryType.begin(), kEveryType.begin() + 40);
  return file;
}

TEST(Input, MemoryDescriptorAndNamedFileGiveTheSameRecords) {
  Scratch scratch;
  for (const Bytes& bytes : {Bytes{}, kEveryType, largeFile()}) {
    const std::string path = scratch.path() + "/" + scratch.file("f.zlt", bytes);
    FileOutcome fromMemory;
    const std::string expected = logOf(Input::memory(bytes), &fromMemory);
    FileOutcome fromPath;
    EXPECT_EQ(logOf(Input::path(path), &fromPath), expected);
    const int fd = open(path.c_str(), O_RDONLY);
    FileOutcome fromDescriptor;
    EXPECT_EQ(logOf(Input::descriptor(fd), &fromDescriptor), expected);
    close(fd);
    for (const FileOutcome& outcome : {fromMemory, fromPath, fromDescriptor}) {
      EXPECT_TRUE(outcome.ok());
      EXPECT_EQ(outcome.damage.unknownBytes, fromMemory.damage.unknownBytes);
      EXPECT_EQ(outcome.damage.cutOffset, fromMemory.damage.cutOffset);
    }
  }
}

TEST(Input, DescriptorIsReadFromWhereItStands) {
  Scratch scratch;
  const std::string path = scratch.path() + "/" + scratch.file("f.zlt", kEveryType);
  const int fd = open(path.c_str(), O_RDONLY);
  ASSERT_EQ(lseek(fd, 18, SEEK_SET), 18);
  const Bytes rest(kEveryType.begin() + 18, kEveryType.end());
  EXPECT_EQ(logOf(Input::descriptor(fd)), logOf(Input::memory(rest)));
  close(fd);
}

// Where the framing says each record starts, and how long it is.
struct Framed {
  uint64_t offset;
  size_t size;  // 1 for an unknown byte
};
std::vector<Framed> framing(const Bytes& file) {
  std::vector<Framed> records;
  for (size_t at = 0; at < file.size();) {
    const size_t size = recordSize(file[at]) == 0 ? 1 : recordSize(file[at]);
    records.push_back({at, size});
    at += size;
  }
  return records;
}

TEST(Input, DamageIsToldWhereItLiesForEveryCut) {
  Bytes file = kEveryType;
  file.insert(file.begin() + 24, {0x09, 0xFF});  // two unknown bytes after the marker
  for (size_t length = 0; length <= file.size(); ++length) {
    SCOPED_TRACE("cut after " + std::to_string(length) + " bytes");
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
    Damage expected;
    for (const Framed& record : framing(cut)) {
      if (record.size == 1 && recordSize(cut[record.offset]) == 0) {
        if (expected.unknownBytes++ == 0) expected.firstUnknownOffset = record.offset;
      } else if (record.offset + record.size > length) {
        expected.cutSize = length - record.offset;
        expected.cutType = cut[record.offset];
        expected.cutOffset = record.offset;
      }
    }
    RecordLog log;
    const FileOutcome outcome = scan(Input::memory(cut), log);
    EXPECT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.damage.unknownBytes, expected.unknownBytes);
    EXPECT_EQ(outcome.damage.firstUnknownOffset, expected.firstUnknownOffset);
    EXPECT_EQ(outcome.damage.cutSize, expected.cutSize);
    EXPECT_EQ(outcome.damage.cutType, expected.cutType);
    EXPECT_EQ(outcome.damage.cutOffset, expected.cutOffset);
  }
}

// The log of zero bytes read as records of all zeros.
std::string zeroHeaders(uint64_t from, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += std::to_string(from + 18 * i) + " header 0 0 0 0 0 0\n";
  return text;
}

TEST(Input, ZerosToTheEndAreTheUnwrittenEndWhereverTheyStart) {
  const std::string sample = logOf(Input::memory(kEveryType));
  const uint64_t end = kEveryType.size();
  struct Case {
    const char* what;
    Bytes file;
    std::string log;
  };
  const Bytes zeros(300 * 1024 + 5, 0);  // across blocks and pieces, and a cut header
  const std::vector<Case> cases = {
      {"after the records", concat({kEveryType, zeros}), sample + std::to_string(end) + " unwritten 307205\n"},
      {"a whole file", zeros, "0 unwritten 307205\n"},
      {"followed by a record: headers after all", concat({zeros, Bytes(1, 0), hexBytes("01 00 51465A90")}),
       zeroHeaders(0, 17067) + "307206 marker 1363565200\n"},
      {"shorter than a header: a cut one", concat({kEveryType, Bytes(10, 0)}), sample + std::to_string(end) + " cut 0 10\n"},
  };
  Scratch scratch;
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    const std::string path = scratch.path() + "/" + scratch.file("z.zlt", each.file);
    EXPECT_EQ(logOf(Input::memory(each.file)), each.log);
    const int fd = open(path.c_str(), O_RDONLY);
    EXPECT_EQ(logOf(Input::descriptor(fd)), each.log);
    close(fd);
    FileOutcome outcome;
    EXPECT_EQ(logOf(Input::mappedPath(path), &outcome), each.log);
    EXPECT_EQ(outcome.damage.any(), each.log.find(" unwritten ") != std::string::npos || each.log.find(" cut ") != std::string::npos);
  }
}

TEST(Input, WhatCannotBeReadSaysWhy) {
  Scratch scratch;
  RecordLog log;
  EXPECT_EQ(scan(Input::path(scratch.path() + std::string("/\0other", 7)), log).error, (Error{Errc::kCannotOpen, EINVAL}));
  EXPECT_EQ(scan(Input::path(scratch.path() + "/missing.zlt"), log).error, (Error{Errc::kCannotOpen, ENOENT}));
  EXPECT_EQ(scan(Input::path(scratch.path()), log).error, (Error{Errc::kCannotRead, EISDIR}));
  EXPECT_EQ(scan(Input::descriptor(-1), log).error, (Error{Errc::kCannotRead, EBADF}));
  EXPECT_EQ(describe({Errc::kCannotOpen, ENOENT}), "No such file or directory");
}

TEST(Input, TheCallerCanStopARead) {
  const Bytes file = largeFile();
  RecordLog log;
  int asked = 0;
  const FileOutcome outcome = scan(Input::memory(file), log, {[&] { return ++asked < 2; }});
  EXPECT_EQ(outcome.error.code, Errc::kStopped);
  EXPECT_FALSE(log.text.empty());
  EXPECT_LT(log.text.size(), logOf(Input::memory(file)).size());
}

}  // namespace
