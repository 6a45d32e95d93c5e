// What a careful and then a hostile user tried: every kind of path a
// picture can be written to, the input as the output, a file that shrinks
// while it is read, and names the option parser would take for switches.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <thread>

#include "runDecode.h"

namespace {

namespace fs = std::filesystem;

const Bytes kRecording = hexBytes(
    "00 00 0002 012C 0004 51465A90 007B 0036EE80 01 00 51465A90 02 000400 000000 000000 4000 0000 0000 0000 "
    "02 000800 000000 000000 4000 0000 0000 0000 03 00 8000 05 00 51465A90 C142 6590 1C90 3333 B220 B225");

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool isPicture(const std::string& text) { return text.rfind("<?xml", 0) == 0 && text.find("</svg>") != std::string::npos; }

struct OutCase {
  const char* what;
  std::string out;                        // --plot=out, in the scratch folder
  std::function<void(Scratch&)> prepare;  // before the run
  int status;
  const char* says;                                     // on standard error
  std::function<void(Scratch&)> check = [](Scratch&) {};  // afterwards
};

TEST(Hostile, EveryKindOfPathThePictureGoesTo) {
  const std::string longName(250, 'a');
  const std::vector<OutCase> cases = {
      {"a new file", "new.svg", [](Scratch&) {}, 0, "",
       [](Scratch& s) { EXPECT_TRUE(isPicture(slurp(s.path() + "/new.svg"))); }},
      {"a file keeps its mode", "kept.svg",
       [](Scratch& s) {
         s.file("kept.svg", hexBytes("6F6C64"));
         chmod((s.path() + "/kept.svg").c_str(), 0600);
       },
       0, "",
       [](Scratch& s) {
         struct stat info{};
         stat((s.path() + "/kept.svg").c_str(), &info);
         EXPECT_EQ(info.st_mode & 07777, 0600u);
         EXPECT_TRUE(isPicture(slurp(s.path() + "/kept.svg")));
       }},
      {"a symbolic link is followed", "link.svg",
       [](Scratch& s) {
         s.file("target.svg", hexBytes("6F6C64"));
         fs::create_symlink("target.svg", s.path() + "/link.svg");
       },
       0, "",
       [](Scratch& s) {
         EXPECT_TRUE(fs::is_symlink(s.path() + "/link.svg"));
         EXPECT_TRUE(isPicture(slurp(s.path() + "/target.svg")));
       }},
      {"a hard link keeps the old content", "one.svg",
       [](Scratch& s) {
         s.file("one.svg", hexBytes("6F6C64"));
         fs::create_hard_link(s.path() + "/one.svg", s.path() + "/two.svg");
       },
       0, "",
       [](Scratch& s) {
         EXPECT_TRUE(isPicture(slurp(s.path() + "/one.svg")));
         EXPECT_EQ(slurp(s.path() + "/two.svg"), "old");
       }},
      {"a name as long as the system allows", longName, [](Scratch&) {}, 0, "",
       [longName](Scratch& s) { EXPECT_TRUE(isPicture(slurp(s.path() + "/" + longName))); }},
      {"a device is written, not replaced", "/dev/full", [](Scratch&) {}, 1,
       "decode: cannot write /dev/full: No space left on device\n",
       [](Scratch&) {
         struct stat info{};
         stat("/dev/full", &info);
         EXPECT_TRUE(S_ISCHR(info.st_mode));
       }},
      {"a folder is refused", "folder", [](Scratch& s) { fs::create_directory(s.path() + "/folder"); }, 2,
       "decode: --plot=folder cannot take a picture: it is not a file, a FIFO or a terminal (see man decode)\n"},
  };
  for (const OutCase& c : cases) {
    SCOPED_TRACE(c.what);
    Scratch scratch;
    const std::string input = scratch.file("in.zlt", kRecording);
    c.prepare(scratch);
    const RunResult result = scratch.run({"--plot=" + c.out, input});
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, c.says);
    EXPECT_EQ(result.out, "");
    c.check(scratch);
    // No temporary file is left beside it.
    for (const auto& entry : fs::directory_iterator(scratch.path())) {
      EXPECT_EQ(entry.path().filename().string().find('~'), std::string::npos) << entry.path();
    }
  }
}

TEST(Hostile, APictureNeedsAFileReadAndNoStandardOutput) {
  Scratch scratch;
  const std::string input = scratch.file("in.zlt", kRecording);
  ASSERT_EQ(scratch.run({"--plot=good.svg", input}).status, 0);
  const std::string good = slurp(scratch.path() + "/good.svg");
  const RunResult typo = scratch.run({"--plot=good.svg", "typo.zlt"});
  EXPECT_EQ(typo.status, 1);
  EXPECT_EQ(slurp(scratch.path() + "/good.svg"), good);
  const RunResult closed = scratch.run({"--plot=closed.svg", input}, {.closeStdout = true});
  EXPECT_EQ(closed.status, 0);
  EXPECT_EQ(closed.err, "");
  EXPECT_EQ(slurp(scratch.path() + "/closed.svg"), good);
  // The title names the files read, and the span ends at the last sample.
  const RunResult titled = scratch.run({"--plot=-", input, "missing.zlt"});
  EXPECT_NE(titled.out.find(">in.zlt | 2013-03-18T00:06:40.000Z to 2013-03-18T00:06:40.250Z | ID 300, rate 4<"),
            std::string::npos);
  // Which colour is which, where a panel has more than one.
  for (const char* name : {">x<", ">y<", ">z<", ">humidity<", ">internal pressure<", ">battery<", ">modem<"}) {
    EXPECT_NE(titled.out.find(name), std::string::npos) << name;
  }
}

TEST(Hostile, TheInputAsTheOutputIsRefused) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-d"}, {"--csv=data"}, {"--info"}, {"--plot=-"}}) {
    SCOPED_TRACE(args.front());
    Scratch scratch;
    const std::string input = scratch.file("dep.zlt", kRecording);
    std::vector<std::string> all = args;
    all.push_back(input);
    const RunResult result = scratch.run(all, {.stdoutPath = input});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "decode: dep.zlt: input file is output file\n");
  }
}

TEST(Hostile, AFileThatShrinksWhileItIsReadIsAReadError) {
  Bytes big;
  while (big.size() < 4 * 1024 * 1024) big.insert(big.end(), kRecording.begin(), kRecording.end());
  Scratch scratch;
  const std::string input = scratch.file("big.zlt", big);
  const std::string fifo = scratch.path() + "/out";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string report;
  // Reads a little of the report, cuts the file down to half, reads the rest.
  std::thread reader([&] {
    const int fd = open(fifo.c_str(), O_RDONLY);
    char buffer[65536];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
      if (report.empty()) {
        EXPECT_EQ(truncate((scratch.path() + "/" + input).c_str(), static_cast<off_t>(big.size() / 2)), 0);
      }
      report.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
  });
  const RunResult result = scratch.run({"-d", input}, {.stdoutPath = "out"});
  reader.join();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(report.find("Could not read file big.zlt\n"), std::string::npos);
}

TEST(Hostile, ANameThatLooksLikeSwitchesIsToldOf) {
  Scratch scratch;
  const std::string input = scratch.file("-lead.zlt", kRecording);
  const RunResult table = scratch.run({"--csv=marker", input});
  EXPECT_EQ(table.status, 2);
  EXPECT_NE(table.err.find("decode: '-lead.zlt' was taken for switches: a file name that starts with '-' needs -- "
                           "before it, or ./ in front (see man decode)\n"),
            std::string::npos);
  EXPECT_EQ(table.out, "");
  EXPECT_EQ(scratch.run({"--csv=marker", "--", input}).out, "time\n2013-03-18T00:06:40.000Z\n");
  EXPECT_EQ(scratch.run({"-x", "./-lead.zlt"}).err.find("was taken for switches"), std::string::npos);
}

// A name in UTF-8 is shown as it is wherever the output is UTF-8; what a
// terminal would act on (an escape, a line end) or cannot show (a byte that
// is not UTF-8) stays escaped, as in the tables.
TEST(Hostile, NamesAreShownAsTheyAreWhereTheyAreText) {
  struct NameCase {
    std::vector<std::string> args;  // before the name
    std::string shown;              // where the name must stand
  };
  const std::vector<std::pair<std::string, std::string>> names = {
      {"caf\xC3\xA9.zlt", "caf\xC3\xA9.zlt"},
      {"\x1B[2Jred\nx.zlt", "\\x1B[2Jred\\x0Ax.zlt"},
      {"\xC2\x9B" "1m\xFF.zlt", "\\xC2\\x9B1m\\xFF.zlt"},
  };
  const std::vector<NameCase> views = {
      {{"--info"}, "\n@: "},
      {{"--plot=-"}, "font-weight=\"bold\">@ | "},
      {{"--html=-"}, "<title>@ | "},
      {{"--html=-"}, "<h1>@ | "},
  };
  for (const auto& [name, shown] : names) {
    Scratch scratch;
    const std::string input = scratch.file(name, kRecording);
    for (const NameCase& view : views) {
      SCOPED_TRACE(view.args.front() + " " + shown);
      std::vector<std::string> args = view.args;
      args.push_back(input);
      const RunResult result = scratch.run(args);
      EXPECT_EQ(result.status, 0);
      std::string expected = view.shown;
      expected.replace(expected.find('@'), 1, shown);
      EXPECT_NE(("\n" + result.out).find(expected), std::string::npos);
    }
  }
  // The page's script takes its title from JSON, in UTF-8 too.
  Scratch scratch;
  const RunResult page = scratch.run({"--html=-", scratch.file("caf\xC3\xA9.zlt", kRecording)});
  EXPECT_NE(page.out.find("\"title\":\"caf\xC3\xA9.zlt | "), std::string::npos);
}

}  // namespace
