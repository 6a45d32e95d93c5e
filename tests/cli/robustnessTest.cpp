// Hostile surroundings: closed or unusual streams, inputs that must stay
// untouched, and files of random bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <set>

#include "runDecode.h"

namespace {

namespace fs = std::filesystem;

const Bytes kEveryType = hexBytes(
    "00 A5 0002 012C 0064 51465A90 007B 0036EE80 01 5A 51465A90 02 FF8000 010000 000001 4000 0000 E000 2000 "
    "03 5A 8000 04 5A 51465A90 007B 000004D2 00018000 64303030312E646174 00000000000000 "
    "05 5A 51465A90 8000 6590 8000 3333 9C40 8000");

TEST(Robustness, ClosedStandardOutputIsAWriteError) {
  Scratch scratch;
  const std::string name = scratch.file("a.zlt", kEveryType);
  for (const auto& args : {std::vector<std::string>{name}, std::vector<std::string>{"-h"},
                           std::vector<std::string>{}}) {
    const RunResult result = scratch.run(args, {.closeStdout = true});
    EXPECT_EQ(result.err, "decode: write error: Bad file descriptor\n");
    EXPECT_EQ(result.status, 1);
  }
}

TEST(Robustness, FifoIsReadLikeAFile) {
  Scratch scratch;
  const std::string expected = scratch.run({"-d", scratch.file("a.zlt", kEveryType)}).out;
  const RunResult result = scratch.run({"-d", "fifo"}, {.stdinBytes = kEveryType, .stdinPieceMax = 7, .fifoPath = "fifo"});
  EXPECT_EQ(result.out, std::regex_replace(expected, std::regex("a\\.zlt"), "fifo"));
  EXPECT_EQ(result.status, 0);
}

// The views that look at a run's start before they read it look only where
// the bytes come again: a FIFO named on the command line (as a shell's
// <(...) is) gives its whole run, once.
TEST(Robustness, FifoGivesTheLookingViewsItsWholeRun) {
  std::ifstream in(std::string(SOURCE_DIR) + "/examples/d0001.dat", std::ios::binary);
  const Bytes sample{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  Scratch scratch;
  const std::string file = scratch.file("a.dat", sample);
  const std::vector<std::vector<std::string>> views = {{"--html=-"}, {"--html-budget=1", "--html=-"}};
  for (size_t i = 0; i < views.size(); ++i) {
    const std::string fifo = "fifo" + std::to_string(i);
    std::vector<std::string> fromFile = views[i], fromFifo = views[i];
    fromFile.push_back(file);
    fromFifo.push_back(fifo);
    const std::string expected = scratch.run(fromFile).out;
    const RunResult result = scratch.run(fromFifo, {.stdinBytes = sample, .stdinPieceMax = 4096, .fifoPath = fifo});
    EXPECT_EQ(result.err, "") << views[i].front();
    EXPECT_EQ(result.status, 0) << views[i].front();
    EXPECT_TRUE(result.out == std::regex_replace(expected, std::regex("a\\.dat"), fifo)) << views[i].front();
  }
}

TEST(Robustness, SmallStackIsEnough) {
  Bytes large;
  for (int i = 0; i < 4000; ++i) large.insert(large.end(), kEveryType.begin(), kEveryType.end());
  Scratch scratch;
  const std::string name = scratch.file("large.zlt", large);  // more than one window of the mapping
  const std::string expected = scratch.run({"-d", name}).out;
  const RunResult result = scratch.run({"-d", name}, {.stackLimitKiB = 256});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, expected);
}

std::set<std::string> folderEntries(const std::string& path) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(path)) names.insert(entry.path().filename().string());
  return names;
}

TEST(Robustness, InputIsNeverChangedAndNothingElseIsWritten) {
  Scratch scratch;
  const std::string name = scratch.file("a.zlt", kEveryType);
  const std::string path = scratch.path() + "/" + name;
  ASSERT_EQ(chmod(path.c_str(), 0400), 0);
  struct stat before{};
  stat(path.c_str(), &before);
  scratch.run({name});  // leaves the harness's own capture files
  const std::set<std::string> entries = folderEntries(scratch.path());
  for (const auto& switches : {"-d", "-t", "-s", "-p"}) {
    EXPECT_EQ(scratch.run({switches, name, name}).status, 0);
  }
  struct stat after{};
  stat(path.c_str(), &after);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_size, before.st_size);
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), kEveryType);
  EXPECT_EQ(folderEntries(scratch.path()), entries);
}

// What the report of any byte sequence must look like, predicted from the
// record framing alone: one pattern per line, in order.
class ReportShape {
 public:
  ReportShape(bool full, bool totals, bool sys, bool press)
      : full_(full && !totals && !sys && !press), totals_(totals), sys_(sys), press_(press),
        anySwitch_(full || totals || sys || press) {}

  std::vector<std::string> predict(const Bytes& file) {
    static constexpr size_t kSize[] = {18, 6, 18, 4, 32, 18};
    for (size_t at = 0; at < file.size();) {
      const uint8_t type = file[at];
      if (type > 5) {
        line("Unknown Record type: " + std::to_string(type));
        ++at;
        continue;
      }
      Bytes record(file.begin() + static_cast<std::ptrdiff_t>(at),
                   file.begin() + static_cast<std::ptrdiff_t>(std::min(file.size(), at + kSize[type])));
      record.resize(kSize[type], 0);
      expectRecord(record);
      at += kSize[type];
    }
    flushCount();
    if (total_ > 0) line("File r\\.zlt: " + std::to_string(total_) + " data records in " + kSeconds + " seconds");
    return lines_;
  }

 private:
  static constexpr const char* kDate = "\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d";
  static constexpr const char* kSeconds = "\\d+\\.\\d{3}";
  static std::string fixed(int decimals) { return " *-?\\d+\\.\\d{" + std::to_string(decimals) + "}"; }

  void line(const std::string& pattern) { lines_.push_back(pattern + "\n"); }
  void flushCount() {
    if (!anySwitch_ && pending_ > 0) line(std::to_string(pending_) + " Data Records");
    pending_ = 0;
  }

  void expectRecord(const Bytes& r) {
    const bool quiet = totals_ || sys_ || press_;
    switch (r[0]) {
      case 0:
        line("FileHdr ver=\\d+ ID=\\d+ rate=\\d+ " + std::string(kDate) + "\\.-?\\d{2,5} dur=" + kSeconds);
        return;
      case 1:
        flushCount();
        if (!quiet) line(std::string("Second Marker ") + kDate);
        return;
      case 2:
        ++total_;
        if (full_) {
          line("Inertial Data  acc:" + repeat(" " + fixed(5), 3) + "  quat:" + repeat(" " + fixed(5), 4));
        } else {
          ++pending_;
        }
        return;
      case 3:
        flushCount();
        if (!totals_ && !sys_) line("Ext Pressure \\d+ counts" + fixed(2) + " volts" + fixed(3) + " bar");
        return;
      case 4:
        flushCount();
        if (!totals_) {
          line("Index " + std::string(kDate) + "\\.-?\\d{2,5} dur=" + kSeconds + " maxVal=" + fixed(4) +
               " file=" + literal(r, 16, 15));
        }
        return;
      default:
        flushCount();
        if (!totals_ && !press_) {
          line("Sys Rcd " + std::string(kDate) + " Batt" + fixed(2) + "V Vmodem" + fixed(2) + "V ExtPress" +
               fixed(3) + " bar IntPress" + fixed(2) + " psia Temp" + fixed(1) + " degC Hum" + fixed(1) + "%");
        }
    }
  }

  static std::string repeat(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
  }

  // The name field up to its first zero byte, as an exact pattern.
  static std::string literal(const Bytes& r, size_t from, size_t most) {
    std::string text;
    for (size_t i = from; i < from + most && r[i] != 0; ++i) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", r[i]);
      text += escaped;
    }
    return text;
  }

  const bool full_, totals_, sys_, press_, anySwitch_;
  uint64_t pending_ = 0, total_ = 0;
  std::vector<std::string> lines_;
};

// Matches the report line by line: one pattern over a whole report would
// overflow the stack of std::regex.
bool matchesLineByLine(const std::string& report, const std::vector<std::string>& lines) {
  static std::map<std::string, std::regex> compiled;  // the same shapes come again and again
  auto at = report.cbegin();
  for (const std::string& pattern : lines) {
    auto [entry, added] = compiled.try_emplace(pattern);
    if (added) entry->second = std::regex(pattern);
    std::smatch match;
    if (!std::regex_search(at, report.cend(), match, entry->second, std::regex_constants::match_continuous)) {
      ADD_FAILURE() << "no match for " << pattern << " at: " << std::string(at, std::min(at + 120, report.cend()));
      return false;
    }
    at += match.length(0);
  }
  return at == report.cend();
}

TEST(Robustness, RandomBytesGiveAWellFormedReport) {
  Scratch scratch;
  std::mt19937 random(7);
  for (int file = 0; file < 4; ++file) {
    Bytes bytes(16384);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    if (file == 1) for (uint8_t& byte : bytes) byte %= 6;  // record types only
    const std::string name = scratch.file("r.zlt", bytes);
    for (unsigned switches = 0; switches < 16; ++switches) {
      std::vector<std::string> args;
      const bool full = switches & 1, totals = switches & 2, sys = switches & 4, press = switches & 8;
      if (full) args.push_back("-d");
      if (totals) args.push_back("-t");
      if (sys) args.push_back("-s");
      if (press) args.push_back("-p");
      args.push_back(name);
      const RunResult result = scratch.run(args);
      std::vector<std::string> lines = ReportShape(full, totals, sys, press).predict(bytes);
      lines.insert(lines.begin(), "\nDecoding file r\\.zlt:\n");
      ASSERT_TRUE(matchesLineByLine(result.out, lines)) << "file " << file << " switches " << switches;
      ASSERT_EQ(result.status, 0);
      ASSERT_EQ(result.err, "");
    }
  }
}

}  // namespace
